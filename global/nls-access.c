/* NLS access: tags, variables, lookups through the NLS engine, translation of
 * whole messages and registration of module string files. */
#include "nls-access.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "client-fifo-access.h"
#include "client-messaging-engine.h"
#include "message-protocol.h"
#include "test-common.h"
#include "tracing.h"

enum {
    kProcessIdArea = 32,
};

static const char kGetStringCommand[] = "NLS_GETSTRING";
static const char kRegisterCommand[] = "NLS_REGMOD";
static const char kNlsElementEnd[] = "</NLS>";

/* Two characters and the NUL; written by the connection's owner. */
static char gLocalDefaultLanguage[VELK_LANG_ID_SIZE] = VELK_NLS_DEFAULT_LANGUAGE;

/* ------------------------------------------------------------------------ */
/* Languages                                                                */
/* ------------------------------------------------------------------------ */

int IsValidLangId(const char* lang) {
    return lang != NULL && lang[0] != '\0' && lang[1] != '\0' && lang[2] == '\0';
}

int IsNullOrBlankString(const char* text) {
    if (text == NULL) {
        return 1;
    }
    for (const unsigned char* c = (const unsigned char*)text; *c != '\0'; ++c) {
        if (!isspace(*c)) {
            return 0;
        }
    }
    return 1;
}

void VelkSetLocalDefaultLanguage(const char* code) {
    if (code == NULL) {
        gLocalDefaultLanguage[0] = '\0';
        return;
    }
    VelkSafeStrNCpy(gLocalDefaultLanguage, code, sizeof gLocalDefaultLanguage);
}

const char* VelkGetLocalDefaultLanguage(void) {
    return gLocalDefaultLanguage;
}

/* ------------------------------------------------------------------------ */
/* Tags and variables                                                       */
/* ------------------------------------------------------------------------ */

static int StartsWith(const char* text, const char* prefix) {
    return strncmp(text, prefix, strlen(prefix)) == 0;
}

static int EndsWith(const char* text, const char* suffix) {
    size_t length = strlen(text);
    size_t suffixLength = strlen(suffix);
    return length >= suffixLength && strcmp(text + length - suffixLength, suffix) == 0;
}

int VelkNlsBuildTag(const char* module, const char* id, CGenStr* tag) {
    if (tag == NULL || IsBadXmlIdentifier(id) != 0 ||
        (module != NULL && IsBadXmlIdentifier(module) != 0)) {
        return 0;
    }
    CGenStr built;
    if (!CGenStrInit(&built)) {
        return 0;
    }
    int ok = CGenStrCatChar(&built, VELK_NLS_TAG_START) &&
             (module == NULL || CGenStrCatf(&built, "mod=%s ", module)) &&
             CGenStrCatf(&built, "id=%s%s", id, VELK_NLS_TAG_END) && CGenStrAssignStr(tag, &built);
    CGenStrDelete(&built);
    return ok;
}

/* 1 when some byte of text is changed by the escape scheme. */
static int NeedsEscaping(const char* text) {
    for (const char* c = text; *c != '\0'; ++c) {
        char single[2] = {*c, '\0'};
        if (*c != ' ' && IsBadXmlIdentifier(single) != 0) {
            return 1;
        }
    }
    return 0;
}

int VelkNlsAddVariableToTagStr(CGenStr* tag, const char* name, const char* value) {
    if (IsBadXmlIdentifier(name) != 0) {
        return VELK_NLS_VAR_BAD_NAME;
    }
    if (tag == NULL || CGenStrC_Str(tag) == NULL) {
        return VELK_NLS_VAR_NULL_TAG;
    }
    if (value == NULL) {
        return VELK_NLS_VAR_NULL_VALUE;
    }
    const char* text = CGenStrC_Str(tag);
    if (!StartsWith(text, VELK_NLS_TAG_START)) {
        return VELK_NLS_VAR_NOT_A_TAG;
    }
    if (!EndsWith(text, VELK_NLS_TAG_END)) {
        return VELK_NLS_VAR_NOT_CLOSED;
    }
    char* escaped = VelkXmlAllocStringAndConvertToXml(value);
    if (escaped == value && NeedsEscaping(value)) {
        return VELK_NLS_VAR_ESCAPE_FAILED;
    }
    int result = VELK_NLS_VAR_OK;
    CGenStr extended;
    uint32_t cut = CGenStrSize(tag) - (uint32_t)strlen(VELK_NLS_TAG_END);
    if (!CGenStrInit(&extended)) {
        result = VELK_NLS_VAR_CUT_FAILED;
    } else if (!CGenStrSubstr(tag, 0, (int32_t)cut, &extended)) {
        result = VELK_NLS_VAR_CUT_FAILED;
    } else if (!CGenStrCatf(&extended, " %s=%s%s", name, escaped, VELK_NLS_TAG_END) ||
               !CGenStrAssignStr(tag, &extended)) {
        result = VELK_NLS_VAR_APPEND_FAILED;
    }
    CGenStrDelete(&extended);
    if (escaped != value) {
        free(escaped);
    }
    return result;
}

int VelkNlsAddVariableToTag(char* tag, uint32_t size, const char* name, const char* value) {
    if (tag == NULL) {
        return VELK_NLS_VAR_NULL_TAG;
    }
    size_t length = strnlen(tag, size);
    if (length >= size) {
        return VELK_NLS_VAR_NO_ROOM;
    }
    CGenStr work;
    if (!CGenStrInitFromCStr(&work, tag)) {
        return VELK_NLS_VAR_APPEND_FAILED;
    }
    int result = VelkNlsAddVariableToTagStr(&work, name, value);
    if (result == VELK_NLS_VAR_OK) {
        if (CGenStrSize(&work) + 1 > size) {
            result = VELK_NLS_VAR_NO_ROOM;
        } else {
            memcpy(tag, CGenStrC_Str(&work), CGenStrSize(&work) + 1);
        }
    }
    CGenStrDelete(&work);
    return result;
}

/* ------------------------------------------------------------------------ */
/* Looking up one tag                                                       */
/* ------------------------------------------------------------------------ */

int VelkNlsBuildGetStringCommand(const char* lang, const char* tag, char* buffer, uint32_t size) {
    if (lang == NULL || tag == NULL || buffer == NULL || size == 0) {
        return 1;
    }
    int written = snprintf(buffer, size, "%s:%s:%s", kGetStringCommand, lang, tag);
    if (written < 0 || (uint32_t)written >= size) {
        buffer[0] = '\0';
        return 2;
    }
    return 0;
}

/* The first "<" lang ">" in [from, to); NULL when there is none. */
static const char* FindLanguageElement(const char* from, const char* to, const char* lang) {
    char element[VELK_LANG_ID_SIZE + 2];
    snprintf(element, sizeof element, "<%.2s>", lang);
    size_t elementLength = strlen(element);
    for (const char* at = from; at + elementLength <= to; ++at) {
        if (memcmp(at, element, elementLength) == 0) {
            return at;
        }
    }
    return NULL;
}

int VelkNlsParseStringReply(const char* reply, const char* lang, const char* tag,
                            char* returnedLang, CGenStr* text) {
    if (reply == NULL || lang == NULL || tag == NULL || returnedLang == NULL || text == NULL) {
        return 0;
    }
    const char* element = strstr(reply, VELK_NLS_TAG_START);
    const char* contentStart = element == NULL ? NULL : strchr(element, '>');
    if (contentStart == NULL) {
        return 0;
    }
    ++contentStart;
    /* The languages of this tag lie inside its element. */
    const char* contentEnd = strstr(contentStart, kNlsElementEnd);
    if (contentEnd == NULL) {
        contentEnd = contentStart + strlen(contentStart);
    }
    VTRACE(VELK_TRACE_DIAG, "VelkGetNlsString: looking for \"%s\"\n", lang);
    const char* found = FindLanguageElement(contentStart, contentEnd, lang);
    if (found == NULL) {
        found = FindLanguageElement(contentStart, contentEnd, VELK_NLS_DEFAULT_LANGUAGE);
    }
    if (found == NULL) {
        VTRACE(VELK_TRACE_DIAG, "VelkGetNlsString: didn't find lang, returning token\n");
        if (!CGenStrAssignChar(text, tag)) {
            return 0;
        }
        memcpy(returnedLang, VELK_NLS_LANGUAGE_TOKEN, VELK_LANG_ID_SIZE);
        return 1;
    }
    const char* start = found + 4; /* "<xx>" */
    const char* end = strchr(start, '<');
    if (end == NULL) {
        return 0;
    }
    char* value = calloc((size_t)(end - start) + 1, 1);
    if (value == NULL) {
        return 0;
    }
    memcpy(value, start, (size_t)(end - start));
    VelkXmlConvertFromXmlToText(value);
    int ok = CGenStrAssignChar(text, value);
    if (ok) {
        returnedLang[0] = found[1];
        returnedLang[1] = found[2];
        returnedLang[2] = '\0';
        VTRACE(VELK_TRACE_DIAG, "VelkGetNlsString: found lang tag \"%s\"\n", returnedLang);
        VTRACE(VELK_TRACE_DIAG, "VelkGetNlsString: returning \"%s\"\n", value);
    }
    free(value);
    return ok;
}

/* Sends "NLS_GETSTRING" for tag in lang; 1 and the reply, or 0. */
static int RequestString(const char* lang, const char* tag, CGenStr* reply) {
    char* command = malloc(VELK_NLS_COMMAND_AREA);
    char* message = malloc(VELK_NLS_COMMAND_AREA);
    int ok = command != NULL && message != NULL &&
             VelkNlsBuildGetStringCommand(lang, tag, command, VELK_NLS_COMMAND_AREA) == 0 &&
             VelkClientCreateNlsEngineCommand(command, message, VELK_NLS_COMMAND_AREA) == 0;
    if (ok && VelkClientSendTransactionStr(message, reply, VELK_NLS_TIMEOUT_MS, 0) != 0) {
        VTRACE(VELK_TRACE_OWN, "VelkGetNlsString:No response.\n");
        ok = 0;
    }
    free(command);
    free(message);
    return ok;
}

int VelkGetNlsStringWithXmlTag(const char* tag, const char* lang, char* returnedLang,
                               CGenStr* text) {
    if (returnedLang == NULL || text == NULL) {
        return 0;
    }
    returnedLang[0] = '\0';
    CGenStrClear(text);
    if (lang == NULL) {
        lang = VelkGetLocalDefaultLanguage();
    }
    if (tag == NULL || tag[0] == '\0' || !StartsWith(tag, VELK_NLS_TAG_START) ||
        !IsValidLangId(lang)) {
        return 0;
    }
    CGenStr reply;
    if (!CGenStrInit(&reply)) {
        return 0;
    }
    int ok = RequestString(lang, tag, &reply);
    if (ok) {
        VTRACE(VELK_TRACE_OWN, "VelkGetNlsString:Returned data: = %s\n", CGenStrC_Str(&reply));
        ok = VelkNlsParseStringReply(CGenStrC_Str(&reply), lang, tag, returnedLang, text);
    }
    CGenStrDelete(&reply);
    return ok;
}

/* The text of module's string id in lang (NULL: the default) into text; 1 when
 * found, else 0. */
static int LookUpStringWithId(const char* module, const char* id, const char* lang, CGenStr* text) {
    CGenStr tag;
    if (!CGenStrInit(&tag)) {
        return 0;
    }
    char returnedLang[VELK_LANG_ID_SIZE];
    int found = VelkNlsBuildTag(module, id, &tag) &&
                VelkGetNlsStringWithXmlTag(CGenStrC_Str(&tag), lang, returnedLang, text);
    CGenStrDelete(&tag);
    return found;
}

char* VelkGetNlsStringWithIdEx(const char* module, const char* id, const char* lang, char* buffer,
                               uint32_t size) {
    if (buffer == NULL || size == 0) {
        return NULL;
    }
    buffer[0] = '\0';
    CGenStr text;
    if (!CGenStrInit(&text)) {
        return NULL;
    }
    char* result = NULL;
    if (LookUpStringWithId(module, id, lang, &text) &&
        VelkSafeStrCpy(buffer, CGenStrC_Str(&text), size)) {
        result = buffer;
    } else {
        buffer[0] = '\0';
    }
    CGenStrDelete(&text);
    return result;
}

char* VelkGetNlsStringWithId(const char* id, char* buffer, uint32_t size) {
    return VelkGetNlsStringWithIdEx(NULL, id, NULL, buffer, size);
}

char* VelkAllocAndGetNlsStringWithId(const char* id) {
    CGenStr text;
    if (!CGenStrInit(&text)) {
        return NULL;
    }
    char* result = LookUpStringWithId(NULL, id, NULL, &text) ? strdup(CGenStrC_Str(&text)) : NULL;
    CGenStrDelete(&text);
    return result;
}

/* ------------------------------------------------------------------------ */
/* Translating a message                                                    */
/* ------------------------------------------------------------------------ */

/* Appends the text of the tag [start, end) in lang to out, or the tag itself
 * when it cannot be looked up.  1, or 0 when memory runs out. */
static int AppendTranslatedTag(const char* start, const char* end, const char* lang, CGenStr* out) {
    CGenStr tag;
    if (!CGenStrInit(&tag)) {
        return 0;
    }
    CGenStr text;
    if (!CGenStrInit(&text)) {
        CGenStrDelete(&tag);
        return 0;
    }
    int ok = 1;
    for (const char* c = start; c < end && ok; ++c) {
        ok = CGenStrCatC(&tag, *c);
    }
    if (ok) {
        VTRACE(VELK_TRACE_OWN, "To Trans %s\n", CGenStrC_Str(&tag));
        char returnedLang[VELK_LANG_ID_SIZE];
        if (VelkGetNlsStringWithXmlTag(CGenStrC_Str(&tag), lang, returnedLang, &text)) {
            ok = CGenStrCatStr(out, &text);
        } else {
            ok = CGenStrCatStr(out, &tag);
        }
    }
    CGenStrDelete(&text);
    CGenStrDelete(&tag);
    return ok;
}

/* Appends the bytes [start, end) to out. */
static int AppendRange(CGenStr* out, const char* start, const char* end) {
    for (const char* c = start; c < end; ++c) {
        if (!CGenStrCatC(out, *c)) {
            return 0;
        }
    }
    return 1;
}

int VelkGetNlsMessageWithXmlMessage(const char* message, const char* lang, CGenStr* translated) {
    if (translated == NULL) {
        return 0;
    }
    if (message == NULL || message[0] == '\0') {
        VTRACE(VELK_TRACE_OWN, "VelkGetNlsMessageWithXmlMessage: Null message\n");
        return 0;
    }
    if (!IsValidLangId(lang)) {
        VTRACE(VELK_TRACE_OWN,
               "VelkGetNlsMessageWithXmlMessage: no input lang to translate to - trying default "
               "lang\n");
        lang = VelkGetLocalDefaultLanguage();
        if (!IsValidLangId(lang)) {
            VTRACE(VELK_TRACE_OWN,
                   "VelkGetNlsMessageWithXmlMessage: could not get language id to translate "
                   "to\n");
            return 0;
        }
    }
    VTRACE(VELK_TRACE_OWN, "Lang ID %c%c%d\n", lang[0], lang[1], (int)strlen(lang));
    /* A private copy: the message may be the caller's output as well. */
    char* copy = strdup(message);
    if (copy == NULL) {
        return 0;
    }
    CGenStr out;
    if (!CGenStrInit(&out)) {
        free(copy);
        return 0;
    }
    int ok = 1;
    const char* at = copy;
    while (ok) {
        const char* tagStart = strstr(at, VELK_NLS_TAG_START);
        const char* tagClose = tagStart == NULL ? NULL : strstr(tagStart, VELK_NLS_TAG_END);
        if (tagClose == NULL) {
            /* No further tag, or one that is never closed: the rest as it is. */
            ok = CGenStrCatChar(&out, at);
            break;
        }
        const char* tagEnd = tagClose + strlen(VELK_NLS_TAG_END);
        ok = AppendRange(&out, at, tagStart) && AppendTranslatedTag(tagStart, tagEnd, lang, &out);
        at = tagEnd;
    }
    ok = ok && CGenStrAssignStr(translated, &out);
    CGenStrDelete(&out);
    free(copy);
    return ok;
}

/* ------------------------------------------------------------------------ */
/* Registering a string file                                                */
/* ------------------------------------------------------------------------ */

int VelkNlsRegisterModuleNlsFile(const char* path) {
    if (path == NULL) {
        VTRACE(VELK_TRACE_OWN, "VelkNlsRegisterModuleNlsFile:Bad module name (%s).\n", "(null)");
        return VELK_NLS_REG_BAD_NAME;
    }
    const char* slash = strrchr(path, '/');
    const char* name = slash == NULL ? path : slash + 1;
    if (IsBadXmlIdentifier(name) != 0) {
        VTRACE(VELK_TRACE_OWN, "VelkNlsRegisterModuleNlsFile:Bad module name (%s).\n", name);
        return VELK_NLS_REG_BAD_NAME;
    }
    char* buffer = calloc(VELK_NLS_REGMOD_AREA, 1);
    if (buffer == NULL) {
        VTRACE(VELK_TRACE_OWN, "VelkNlsRegisterModuleNlsFile:Buffer alloc failed.\n");
        return VELK_NLS_REG_NO_MEMORY;
    }
    char pid[kProcessIdArea];
    VelkGetLocalProcessIdString(pid, sizeof pid);
    char* command = calloc(VELK_NLS_REGMOD_AREA, 1);
    int written = command == NULL ? -1
                                  : snprintf(command, VELK_NLS_REGMOD_AREA, "%s:%s:%s",
                                             kRegisterCommand, pid, name);
    int result = VELK_NLS_REG_OK;
    if (written < 0 || written >= VELK_NLS_REGMOD_AREA ||
        VelkClientCreateNlsEngineCommand(command, buffer, VELK_NLS_REGMOD_AREA) != 0) {
        VTRACE(VELK_TRACE_OWN, "VelkNlsRegisterModuleNlsFile:NLS command create failed.\n");
        result = VELK_NLS_REG_NO_COMMAND;
    } else if (VelkClientSendTransaction(buffer, buffer, VELK_NLS_REGMOD_AREA, VELK_NLS_TIMEOUT_MS,
                                         0) != 0) {
        VTRACE(VELK_TRACE_OWN, "VelkNlsRegisterModuleNlsFile:No response.\n");
        result = VELK_NLS_REG_NO_REPLY;
    } else {
        VTRACE(VELK_TRACE_OWN, "VelkNlsRegisterModuleNlsFile:Returned data: = %s\n", buffer);
    }
    free(command);
    free(buffer);
    return result;
}
