/* The escape scheme for free text inside messages, and the identifier rule
 * for names that travel unescaped. */
#include "message-protocol.h"

#include <pthread.h>
#include <stdlib.h>
#include <string.h>

#include "tracing.h"

/* Characters besides the ASCII letters that pass unescaped; the first is a
 * space.  Identifiers use the same set without the space. */
static const char passingSymbols[] = " 0123456789$-_.+!*'(),{}|\\^~[]`";
static const char* const identifierSymbols = passingSymbols + 1;
static const char hexDigits[] = "0123456789ABCDEF";

static int IsAsciiLetter(int c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

/* Filled once, read-only afterwards. */
static unsigned char passesUnescaped[128];
static pthread_once_t passingTableOnce = PTHREAD_ONCE_INIT;

static void FillPassingTable(void) {
    for (int c = 0; c < 128; ++c) {
        passesUnescaped[c] =
            (unsigned char)(IsAsciiLetter(c) || (c != '\0' && strchr(passingSymbols, c) != NULL));
    }
    TPRINTF(VELK_TRACE_OWN, __FILE__, __LINE__, __func__,
            "VelkXmlAllocStringAndConvertToXml:Initializing array\n");
}

static int PassesUnescaped(unsigned char c) {
    return c < 128 && passesUnescaped[c];
}

char ToHexChar(unsigned int value) {
    return hexDigits[value & 15u];
}

char* VelkXmlAllocStringAndConvertToXml(const char* text) {
    if (text == NULL) {
        return NULL;
    }
    pthread_once(&passingTableOnce, FillPassingTable);
    TPRINTF(VELK_TRACE_OWN, __FILE__, __LINE__, __func__,
            "VelkXmlAllocStringAndConvertToXml:Replacing string\n");

    size_t length = 0;
    size_t escaped = 0;
    for (const unsigned char* c = (const unsigned char*)text; *c != '\0'; ++c, ++length) {
        escaped += !PassesUnescaped(*c);
    }
    if (escaped == 0) {
        TPRINTF(VELK_TRACE_OWN, __FILE__, __LINE__, __func__,
                "VelkXmlAllocStringAndConvertToXml:No translated characters\n");
        return (char*)text;
    }
    char* converted = calloc(length + 2 * escaped + 1, 1);
    if (converted == NULL) {
        return (char*)text;
    }
    char* out = converted;
    for (const unsigned char* c = (const unsigned char*)text; *c != '\0'; ++c) {
        if (PassesUnescaped(*c)) {
            *out++ = (char)*c;
        } else {
            *out++ = '@';
            *out++ = ToHexChar(*c >> 4);
            *out++ = ToHexChar(*c);
        }
    }
    return converted;
}

static int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

char FromHexCharXml(const char* at) {
    if (at == NULL || at[0] == '\0' || at[1] == '\0') {
        return ' ';
    }
    int high = HexValue(at[1]);
    int low = at[2] != '\0' ? HexValue(at[2]) : -1;
    if (high < 0 || low < 0) {
        return ' ';
    }
    return (char)(high * 16 + low);
}

int VelkXmlConvertFromXmlToText(char* text) {
    if (text == NULL) {
        return 0;
    }
    char* in = text;
    char* out = text;
    while (*in != '\0') {
        if (*in != '@') {
            *out++ = *in++;
            continue;
        }
        *out++ = FromHexCharXml(in);
        /* "@" and up to two characters, never past the end of the text. */
        ++in;
        for (int i = 0; i < 2 && *in != '\0'; ++i) {
            ++in;
        }
    }
    *out = '\0';
    return 0;
}

int VelkIsValidIdentifierChar(int c) {
    return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '_';
}

int IsBadXmlIdentifier(const char* text) {
    if (text == NULL) {
        return 1;
    }
    for (const char* c = text; *c != '\0'; ++c) {
        if (!IsAsciiLetter((unsigned char)*c) && strchr(identifierSymbols, *c) == NULL) {
            return 2;
        }
    }
    return 0;
}
