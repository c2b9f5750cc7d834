/* Reading messages: element names, tag-path lookup, header fields and the
 * receiving side of commands.
 *
 * The text comes from other processes and may be cut off or malformed: every
 * scan here stops at the terminating NUL, the open-element stack holds at
 * most VELK_XML_MAX_DEPTH names of at most VELK_XML_MAX_NAME characters, and
 * deeper nesting is counted without being stored. */
#include "message-protocol.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "tracing.h"

#define VELK_XML_NAME_SIZE (VELK_XML_MAX_NAME + 1)
/* Tables of command prefixes and type words are read up to this many
 * entries. */
#define VELK_MAX_TABLE_ENTRIES 100
/* Work areas of the header field readers. */
#define VELK_NUMBER_FIELD_SIZE 80
#define VELK_TYPE_FIELD_SIZE 100
#define VELK_PACKET_TYPE_SIZE 80

const char* VelkXmlGetTag(const char* text, char* name, uint32_t nameSize) {
    if (text == NULL || text[0] != '<') {
        return NULL;
    }
    const char* cursor = text + 1;
    if (*cursor == '/') {
        ++cursor;
    }
    const char* closing = strchr(cursor, '>');
    if (closing == NULL) {
        return NULL;
    }
    if (closing[-1] == '/') {
        return closing - 1; /* "<X/>": an empty element */
    }
    if (name != NULL && nameSize > 0) {
        uint32_t length = 0;
        while (length + 1 < nameSize && VelkIsValidIdentifierChar((unsigned char)cursor[length])) {
            name[length] = cursor[length];
            ++length;
        }
        name[length] = '\0';
    }
    return closing;
}

/* Where a found element lies in the message. */
typedef struct VelkXmlSpan {
    const char* elementStart; /* its "<" */
    const char* contentStart; /* after the ">" of its opening tag */
    const char* contentEnd;   /* the "<" of its closing tag */
    const char* elementEnd;   /* after the ">" of its closing tag */
} VelkXmlSpan;

typedef struct VelkXmlPath {
    char components[VELK_XML_MAX_DEPTH][VELK_XML_NAME_SIZE];
    size_t count;
} VelkXmlPath;

/* Splits path at "/": at most VELK_XML_MAX_DEPTH components, each cut to
 * VELK_XML_MAX_NAME characters.  An empty path has no components. */
static void SplitPath(const char* path, VelkXmlPath* split) {
    split->count = 0;
    if (path[0] == '\0') {
        return;
    }
    const char* cursor = path;
    while (split->count < VELK_XML_MAX_DEPTH) {
        size_t length = strcspn(cursor, "/");
        size_t kept = length < VELK_XML_MAX_NAME ? length : VELK_XML_MAX_NAME;
        memcpy(split->components[split->count], cursor, kept);
        split->components[split->count][kept] = '\0';
        ++split->count;
        cursor += length;
        if (*cursor != '/') {
            break;
        }
        ++cursor;
    }
}

static int StackMatchesPath(char stack[][VELK_XML_NAME_SIZE], const VelkXmlPath* path) {
    for (size_t i = 0; i < path->count; ++i) {
        if (strcmp(stack[i], path->components[i]) != 0) {
            return 0;
        }
    }
    return 1;
}

/* The position after a tag whose VelkXmlGetTag result is tagEnd. */
static const char* AfterTag(const char* tagEnd) {
    return *tagEnd == '/' ? tagEnd + 2 : tagEnd + 1;
}

/* Finds the skip-th element matching path.  0 and its span, or 2. */
static int FindElement(const char* message, const char* path, int skip, VelkXmlSpan* span) {
    VelkXmlPath split;
    SplitPath(path, &split);
    if (split.count == 0) {
        return VELK_XML_NOT_FOUND;
    }

    char stack[VELK_XML_MAX_DEPTH][VELK_XML_NAME_SIZE];
    char beyondStack[VELK_XML_NAME_SIZE];
    size_t depth = 0;
    const char* elementStart = NULL;
    const char* contentStart = NULL;
    const char* cursor = strchr(message, '<');

    while (cursor != NULL) {
        const char* next;
        char following = cursor[1];
        if (following == '!' || following == '?') {
            next = cursor + 1;
        } else if (following == '/' && depth == 0) {
            next = cursor + 1;
        } else if (following == '/') {
            char name[VELK_XML_NAME_SIZE] = "";
            const char* tagEnd = VelkXmlGetTag(cursor, name, sizeof name);
            if (tagEnd == NULL) {
                /* No ">" anywhere later: no element can open or close. */
                return VELK_XML_NOT_FOUND;
            }
            /* Levels beyond the stack have no stored name to check against. */
            const char* top = depth <= VELK_XML_MAX_DEPTH ? stack[depth - 1] : NULL;
            if (top != NULL && strcmp(name, top) != 0) {
                TPRINTF(VELK_TRACE_OWN, __FILE__, __LINE__, __func__,
                        "VelkXmlGetField(), unmatched tag, %s\n", top);
            } else if (depth == split.count && contentStart != NULL) {
                span->elementStart = elementStart;
                span->contentStart = contentStart;
                span->contentEnd = cursor;
                span->elementEnd = AfterTag(tagEnd);
                return VELK_MSG_OK;
            } else {
                --depth;
            }
            next = AfterTag(tagEnd);
        } else {
            char* slot = depth < VELK_XML_MAX_DEPTH ? stack[depth] : beyondStack;
            const char* tagEnd = VelkXmlGetTag(cursor, slot, VELK_XML_NAME_SIZE);
            if (tagEnd == NULL) {
                return VELK_XML_NOT_FOUND;
            }
            if (*tagEnd != '/') {
                ++depth;
                if (depth == split.count && StackMatchesPath(stack, &split)) {
                    if (skip == 0) {
                        elementStart = cursor;
                        contentStart = tagEnd + 1;
                    } else {
                        --skip;
                    }
                }
            }
            next = AfterTag(tagEnd);
        }
        cursor = strchr(next, '<');
    }
    return VELK_XML_NOT_FOUND;
}

/* Empties a string object that may have lost its storage. */
static void ResetContent(CGenStr* content) {
    if (content->pBuffer == NULL) {
        VELK_VERIFY(CGenStrInit(content));
    } else {
        CGenStrClear(content);
    }
}

/* Appends length bytes of text; 0 when a fixed buffer is too small or the
 * storage cannot grow. */
static int AppendRange(CGenStr* content, const char* text, size_t length) {
    size_t used = content->uLength > 0 ? content->uLength - 1 : 0;
    if (used + length + 1 > content->uCapacity) {
        if (!content->bOwnsBuffer || used + length >= UINT32_MAX) {
            return 0;
        }
        if (!CGenStrReserve(content, (uint32_t)(used + length))) {
            return 0;
        }
    }
    memcpy(content->pBuffer + used, text, length);
    content->pBuffer[used + length] = '\0';
    content->uLength = (uint32_t)(used + length + 1);
    return 1;
}

int VelkXmlGetFieldStrAndTagStartEnd(const char* message, const char** start, const char** end,
                                     const char* path, int skip, CGenStr* content) {
    if (start != NULL) {
        *start = NULL;
    }
    if (end != NULL) {
        *end = NULL;
    }
    if (content != NULL) {
        ResetContent(content);
    }
    if (message == NULL || path == NULL) {
        return VELK_XML_NOT_FOUND;
    }
    VelkXmlSpan span;
    if (FindElement(message, path, skip, &span) != VELK_MSG_OK) {
        return VELK_XML_NOT_FOUND;
    }
    if (content != NULL &&
        !AppendRange(content, span.contentStart, (size_t)(span.contentEnd - span.contentStart))) {
        return VELK_XML_NOT_FOUND;
    }
    if (start != NULL) {
        *start = span.elementStart;
    }
    if (end != NULL) {
        *end = span.elementEnd;
    }
    return VELK_MSG_OK;
}

int VelkXmlGetFieldStr(const char* message, const char* path, int skip, CGenStr* content) {
    return VelkXmlGetFieldStrAndTagStartEnd(message, NULL, NULL, path, skip, content);
}

int VelkXmlGetField(const char* message, const char* path, int skip, char* buffer, uint32_t size) {
    if (buffer == NULL || size == 0) {
        return VELK_XML_NOT_FOUND;
    }
    buffer[0] = '\0';
    VelkXmlSpan span;
    if (message == NULL || path == NULL || FindElement(message, path, skip, &span) != VELK_MSG_OK) {
        return VELK_XML_NOT_FOUND;
    }
    size_t length = (size_t)(span.contentEnd - span.contentStart);
    size_t limit = size >= 2 ? (size_t)size - 2 : 0;
    size_t copied = length < limit ? length : limit;
    memcpy(buffer, span.contentStart, copied);
    buffer[copied] = '\0';
    return length > limit ? VELK_XML_NOT_FOUND : VELK_MSG_OK;
}

/* A header field read as a decimal number; out is set only on success. */
static int GetNumberField(const char* message, const char* path, uint32_t* out) {
    char text[VELK_NUMBER_FIELD_SIZE];
    int result = VelkXmlGetField(message, path, 0, text, sizeof text);
    if (result == VELK_MSG_OK && out != NULL) {
        *out = (uint32_t)strtoul(text, NULL, 10);
    }
    return result;
}

int VelkMessageGetSender(const char* message, uint32_t* sender) {
    return GetNumberField(message, VELK_MSG_PATH_FROM, sender);
}

int VelkMessageGetMessageId(const char* message, uint32_t* id) {
    return GetNumberField(message, VELK_MSG_PATH_ID, id);
}

int VelkMessageGetMessageRe(const char* message, uint32_t* re) {
    return GetNumberField(message, VELK_MSG_PATH_RE, re);
}

int VelkMessageGetMessageType(const char* message, char** type) {
    char text[VELK_TYPE_FIELD_SIZE];
    int result = VelkXmlGetField(message, VELK_MSG_PATH_TYPE, 0, text, sizeof text);
    if (type == NULL) {
        return result;
    }
    *type = NULL;
    if (result != VELK_MSG_OK) {
        return result; /* nothing allocated that the caller would have to free */
    }
    size_t length = strlen(text);
    char* copy = calloc(length + 4, 1);
    if (copy == NULL) {
        return VELK_MSG_TYPE_NO_MEMORY;
    }
    memcpy(copy, text, length);
    *type = copy;
    return VELK_MSG_OK;
}

int VelkParsePacketHeaderAndData(const char* message, uint32_t* sender, uint32_t* id,
                                 const char* const* prefixes, char* data, uint32_t size) {
    if (data != NULL && size > 0) {
        data[0] = '\0';
    }
    VelkXmlSpan payload;
    uint32_t messageSender = 0;
    uint32_t messageId = 0;
    if (message == NULL || FindElement(message, VELK_MSG_PATH_DATA, 0, &payload) != VELK_MSG_OK ||
        VelkMessageGetSender(message, &messageSender) != VELK_MSG_OK ||
        VelkMessageGetMessageId(message, &messageId) != VELK_MSG_OK) {
        return -1;
    }
    size_t length = (size_t)(payload.contentEnd - payload.contentStart);
    if (data != NULL && size > 0) {
        /* Cut to the buffer, always terminated. */
        size_t copied = length < (size_t)size - 1 ? length : (size_t)size - 1;
        memcpy(data, payload.contentStart, copied);
        data[copied] = '\0';
    }
    if (sender != NULL) {
        *sender = messageSender;
    }
    if (id != NULL) {
        *id = messageId;
    }
    if (prefixes == NULL) {
        return 0;
    }
    for (int i = 0; i < VELK_MAX_TABLE_ENTRIES && prefixes[i] != NULL; ++i) {
        size_t prefixLength = strlen(prefixes[i]);
        if (prefixLength <= length &&
            memcmp(payload.contentStart, prefixes[i], prefixLength) == 0) {
            return i + 1;
        }
    }
    return 0;
}

int VelkParsePacketType(const char* message, const char* const* types) {
    char type[VELK_PACKET_TYPE_SIZE];
    if (VelkXmlGetField(message, VELK_MSG_PATH_TYPE, 0, type, sizeof type) != VELK_MSG_OK) {
        return 1;
    }
    if (types == NULL) {
        return 0;
    }
    for (int i = 0; i < VELK_MAX_TABLE_ENTRIES && types[i] != NULL; ++i) {
        if (strcmp(types[i], type) == 0) {
            return i + 1;
        }
    }
    return 0;
}
