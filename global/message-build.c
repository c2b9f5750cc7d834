/* Building messages: header fields, elements, engine commands and replies. */
#include "message-protocol.h"

#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Work areas for the header: engine commands and replies. */
#define VELK_COMMAND_HEADER_SIZE 200
#define VELK_RESPONSE_HEADER_SIZE 150
/* Work area for one header value (process id, number, time). */
#define VELK_FIELD_WORK_SIZE 80

int VelkXmlAddField(char* buffer, uint32_t size, const char* name, const char* value) {
    if (buffer == NULL || name == NULL) {
        return 1;
    }
    if (value == NULL) {
        value = "";
    }
    size_t current = strnlen(buffer, size);
    if (current >= size) {
        return 1; /* not a terminated text within its buffer */
    }
    size_t nameLength = strlen(name);
    size_t valueLength = strlen(value);
    if ((size_t)size < current + 2 * nameLength + valueLength + 6) {
        return 1;
    }
    char* cursor = buffer + current;
    *cursor++ = '<';
    memcpy(cursor, name, nameLength);
    cursor += nameLength;
    *cursor++ = '>';
    memcpy(cursor, value, valueLength);
    cursor += valueLength;
    *cursor++ = '<';
    *cursor++ = '/';
    memcpy(cursor, name, nameLength);
    cursor += nameLength;
    *cursor++ = '>';
    *cursor = '\0';
    return 0;
}

void VelkMessageStampNow(VelkMessageStamp* stamp) {
    if (stamp == NULL) {
        return;
    }
    stamp->fromPid = VelkGetLocalProcessId();
    stamp->id = VelkGetLocallyUniqueMessageId();
    VelkGetUtcTime(&stamp->time);
}

/* TIME: 17 digits, yyyymmddhhmmss and the milliseconds. */
static void FormatMessageTime(const VelkTimeRecord* time, char* text, size_t size) {
    snprintf(text, size, "%04u%02u%02u%02lu%02lu%02lu%03lu", (unsigned)time->year,
             (unsigned)time->month, (unsigned)time->day, (unsigned long)time->hour,
             (unsigned long)time->minute, (unsigned long)time->second,
             (unsigned long)(time->milliseconds % 1000u));
}

/* The header builder.  Without a stamp the sender is this process, the number
 * is taken when the ID field is written and the time is read when TIME is. */
static int BuildHeader(char* buffer, uint32_t size, const char* to, const char* re,
                       const char* type, const char* lang, const VelkMessageStamp* stamp) {
    if (buffer == NULL || to == NULL || type == NULL) {
        return VELK_HDR_BAD_ARGUMENT;
    }
    if (size < 6) {
        return VELK_HDR_TOO_SMALL;
    }
    memcpy(buffer, "<HDR>", 6);

    char work[VELK_FIELD_WORK_SIZE];
    VelkGetProcessIdString(stamp != NULL ? stamp->fromPid : VelkGetLocalProcessId(), work,
                           sizeof work);
    if (VelkXmlAddField(buffer, size, "FROM", work) != 0) {
        return VELK_HDR_NO_ROOM_FROM;
    }
    if (VelkXmlAddField(buffer, size, "TO", to) != 0) {
        return VELK_HDR_NO_ROOM_TO;
    }
    snprintf(work, sizeof work, "%lu",
             (unsigned long)(stamp != NULL ? stamp->id : VelkGetLocallyUniqueMessageId()));
    if (VelkXmlAddField(buffer, size, "ID", work) != 0) {
        return VELK_HDR_NO_ROOM_ID;
    }
    if (re != NULL && VelkXmlAddField(buffer, size, "RE", re) != 0) {
        return VELK_HDR_NO_ROOM_RE;
    }
    if (VelkXmlAddField(buffer, size, "TYPE", type) != 0) {
        return VELK_HDR_NO_ROOM_TYPE;
    }
    VelkTimeRecord now = {0};
    if (stamp != NULL) {
        now = stamp->time;
    } else {
        VelkGetUtcTime(&now);
    }
    FormatMessageTime(&now, work, sizeof work);
    if (VelkXmlAddField(buffer, size, "TIME", work) != 0) {
        return VELK_HDR_NO_ROOM_TIME;
    }
    if (lang != NULL && VelkXmlAddField(buffer, size, "LANG", lang) != 0) {
        return VELK_HDR_NO_ROOM_LANG;
    }
    size_t length = strlen(buffer);
    if (length + sizeof "</HDR>" > size) {
        return VELK_HDR_NO_ROOM_END;
    }
    memcpy(buffer + length, "</HDR>", sizeof "</HDR>");
    return VELK_MSG_OK;
}

int VelkCreateMessageHeader(char* buffer, uint32_t size, const char* to, const char* re,
                            const char* type, const char* lang) {
    return BuildHeader(buffer, size, to, re, type, lang, NULL);
}

int VelkCreateMessageHeaderStamped(char* buffer, uint32_t size, const char* to, const char* re,
                                   const char* type, const char* lang,
                                   const VelkMessageStamp* stamp) {
    return BuildHeader(buffer, size, to, re, type, lang, stamp);
}

/* ---- Elements ---- */

/* Elements after whose closing tag the line ends: the envelope and the
 * connection's control messages. */
static int EndsWithLineEnd(const char* name) {
    return strcmp(name, "MSG") == 0 || strcmp(name, "STOP") == 0 || strcmp(name, "ACK") == 0 ||
           strcmp(name, "STARTUP") == 0;
}

static const char* ElementName(const char* name) {
    return name[0] == '<' ? name + 1 : name;
}

/* Characters of "<name>" + texts + "</name>" [+ CR LF], without the NUL.
 * Sets *overlaps when a text lies within [area, area + areaSize). */
static size_t ElementLength(const char* name, va_list texts, const char* area, size_t areaSize,
                            int* overlaps) {
    size_t nameLength = strlen(name);
    size_t total = 2 * nameLength + 5 + (EndsWithLineEnd(name) ? 2 : 0);
    *overlaps = 0;
    const char* text;
    while ((text = va_arg(texts, const char*)) != NULL) {
        size_t length = strlen(text);
        total += length;
        uintptr_t first = (uintptr_t)text;
        if (area != NULL && first < (uintptr_t)area + areaSize &&
            first + length >= (uintptr_t)area) {
            *overlaps = 1;
        }
    }
    return total;
}

/* Writes the element and its NUL to out, which holds enough room. */
static void WriteElement(char* out, const char* name, va_list texts) {
    size_t nameLength = strlen(name);
    char* cursor = out;
    *cursor++ = '<';
    memcpy(cursor, name, nameLength);
    cursor += nameLength;
    *cursor++ = '>';
    const char* text;
    while ((text = va_arg(texts, const char*)) != NULL) {
        size_t length = strlen(text);
        memcpy(cursor, text, length);
        cursor += length;
    }
    *cursor++ = '<';
    *cursor++ = '/';
    memcpy(cursor, name, nameLength);
    cursor += nameLength;
    *cursor++ = '>';
    if (EndsWithLineEnd(name)) {
        *cursor++ = '\r';
        *cursor++ = '\n';
    }
    *cursor = '\0';
}

/* A working area that cannot be had ends the process, as everywhere in the
 * C layers. */
static char* AllocOrDie(size_t size, int line) {
    char* area = malloc(size);
    if (area == NULL) {
        VelkVerifyFailed(line, __FILE__);
    }
    return area;
}

static int CreateMessageV(char* buffer, uint32_t size, const char* name, va_list texts) {
    if (buffer == NULL || name == NULL) {
        return VELK_MSG_NO_ROOM;
    }
    name = ElementName(name);
    int overlaps;
    va_list measure;
    va_copy(measure, texts);
    size_t total = ElementLength(name, measure, buffer, size, &overlaps);
    va_end(measure);
    if (total + 1 > (size_t)size) {
        return VELK_MSG_NO_ROOM;
    }
    if (!overlaps) {
        WriteElement(buffer, name, texts);
        return VELK_MSG_OK;
    }
    /* A text taken from the buffer itself: compose apart, then copy. */
    char* composed = AllocOrDie(total + 1, __LINE__);
    WriteElement(composed, name, texts);
    memcpy(buffer, composed, total + 1);
    free(composed);
    return VELK_MSG_OK;
}

int VelkCreateMessage(char* buffer, uint32_t size, const char* name, ...) {
    va_list texts;
    va_start(texts, name);
    int result = CreateMessageV(buffer, size, name, texts);
    va_end(texts);
    return result;
}

static int CreateMessageStrV(CGenStr* message, const char* name, va_list texts) {
    if (message == NULL || name == NULL) {
        return VELK_MSG_NO_ROOM;
    }
    if (message->pBuffer == NULL && !message->bOwnsBuffer) {
        VELK_VERIFY(CGenStrInit(message)); /* a zeroed, never initialised object */
    }
    name = ElementName(name);
    int overlaps;
    va_list measure;
    va_copy(measure, texts);
    size_t total = ElementLength(name, measure, message->pBuffer, message->uCapacity, &overlaps);
    va_end(measure);
    if (total >= UINT32_MAX) {
        return VELK_MSG_NO_ROOM;
    }
    if (total + 1 > message->uCapacity) {
        /* A caller's fixed buffer never grows. */
        if (!message->bOwnsBuffer) {
            return VELK_MSG_NO_ROOM;
        }
        if (overlaps) {
            char* composed = AllocOrDie(total + 1, __LINE__);
            WriteElement(composed, name, texts);
            VELK_VERIFY(CGenStrAssignChar(message, composed));
            free(composed);
            return VELK_MSG_OK;
        }
        VELK_VERIFY(CGenStrReserve(message, (uint32_t)total));
    }
    if (overlaps) {
        char* composed = AllocOrDie(total + 1, __LINE__);
        WriteElement(composed, name, texts);
        memcpy(message->pBuffer, composed, total + 1);
        free(composed);
    } else {
        WriteElement(message->pBuffer, name, texts);
    }
    message->uLength = (uint32_t)total + 1;
    return VELK_MSG_OK;
}

int VelkCreateMessageStr(CGenStr* message, const char* name, ...) {
    va_list texts;
    va_start(texts, name);
    int result = CreateMessageStrV(message, name, texts);
    va_end(texts);
    return result;
}

/* ---- Engine commands ---- */

static int CreateEngineCommand(const char* to, const char* lang, const char* type,
                               const char* command, const VelkMessageStamp* stamp,
                               CGenStr* message) {
    if (command == NULL) {
        command = "";
    }
    size_t commandLength = strlen(command);
    if (commandLength > UINT32_MAX - 64) {
        return VELK_CMD_PAYLOAD_FAILED;
    }
    uint32_t payloadSize = (uint32_t)(commandLength + 2 * strlen("DATA") + 10);
    char* payload = calloc(payloadSize, 1);
    if (payload == NULL) {
        return VELK_CMD_NO_MEMORY;
    }
    char header[VELK_COMMAND_HEADER_SIZE];
    int result = VELK_MSG_OK;
    if (BuildHeader(header, sizeof header, to, NULL, type, lang, stamp) != 0) {
        result = VELK_CMD_HEADER_FAILED;
    } else if (VelkCreateMessage(payload, payloadSize, "DATA", command, (const char*)NULL) != 0) {
        result = VELK_CMD_PAYLOAD_FAILED;
    } else if (VelkCreateMessageStr(message, "MSG", header, payload, (const char*)NULL) != 0) {
        result = VELK_CMD_ENVELOPE_FAILED;
    }
    free(payload);
    return result;
}

int VelkClientCreateEngineCommand(const char* to, const char* lang, const char* type,
                                  const char* command, CGenStr* message) {
    return CreateEngineCommand(to, lang, type, command, NULL, message);
}

int VelkClientCreateEngineCommandStamped(const char* to, const char* lang, const char* type,
                                         const char* command, const VelkMessageStamp* stamp,
                                         CGenStr* message) {
    return CreateEngineCommand(to, lang, type, command, stamp, message);
}

/* Builds the command in a string of its own and copies it out only when it
 * fits whole, so the caller's buffer never holds a cut message. */
static int EngineCommandIntoBuffer(const char* to, const char* type, const char* command,
                                   char* buffer, uint32_t size) {
    if (buffer == NULL) {
        return VELK_CMD_NO_ROOM;
    }
    CGenStr message;
    VELK_VERIFY(CGenStrInit(&message));
    int result = CreateEngineCommand(to, NULL, type, command, NULL, &message);
    if (result == VELK_MSG_OK) {
        uint32_t length = CGenStrSize(&message);
        if ((size_t)length + 1 > size) {
            result = VELK_CMD_NO_ROOM;
        } else {
            memcpy(buffer, CGenStrC_Str(&message), (size_t)length + 1);
        }
    }
    CGenStrDelete(&message);
    return result;
}

int VelkClientCreateMessageBrokerCommand(const char* command, char* buffer, uint32_t size) {
    return EngineCommandIntoBuffer(VELK_MSG_TO_MESSAGEBROKER, VELK_MSG_TYPE_MBCMD, command, buffer,
                                   size);
}

int VelkClientCreateDiagnosticEngineCommand(const char* command, const void* unused, char* buffer,
                                            uint32_t size) {
    (void)unused;
    return EngineCommandIntoBuffer(VELK_MSG_TO_DIAGENGINE, VELK_MSG_TYPE_DE_COMMAND, command,
                                   buffer, size);
}

int VelkClientCreateNlsEngineCommand(const char* command, char* buffer, uint32_t size) {
    return EngineCommandIntoBuffer(VELK_MSG_TO_NLSENGINE, VELK_MSG_TYPE_NLS_COMMAND, command,
                                   buffer, size);
}

int VelkClientCreateMessageBrokerCommandStr(const char* command, CGenStr* message) {
    return CreateEngineCommand(VELK_MSG_TO_MESSAGEBROKER, NULL, VELK_MSG_TYPE_MBCMD, command, NULL,
                               message);
}

int VelkClientCreateDiagnosticEngineCommandStr(const char* command, const char* lang,
                                               CGenStr* message) {
    return CreateEngineCommand(VELK_MSG_TO_DIAGENGINE, lang, VELK_MSG_TYPE_DE_COMMAND, command,
                               NULL, message);
}

int VelkClientCreateNlsEngineCommandStr(const char* command, CGenStr* message) {
    return CreateEngineCommand(VELK_MSG_TO_NLSENGINE, NULL, VELK_MSG_TYPE_NLS_COMMAND, command,
                               NULL, message);
}

/* ---- Replies ---- */

int VelkClientCreateResponse(uint32_t requesterPid, uint32_t requestId, const char* body,
                             char* buffer, uint32_t size) {
    char to[VELK_FIELD_WORK_SIZE];
    char re[VELK_FIELD_WORK_SIZE];
    snprintf(to, sizeof to, "%lu", (unsigned long)requesterPid);
    snprintf(re, sizeof re, "%lu", (unsigned long)requestId);
    char header[VELK_RESPONSE_HEADER_SIZE];
    if (BuildHeader(header, sizeof header, to, re, VELK_MSG_TYPE_TRANSACTION_RESPONSE, NULL,
                    NULL) != 0) {
        return VELK_RESP_HEADER_FAILED;
    }
    if (body == NULL) {
        body = "";
    }
    size_t bodyLength = strlen(body);
    if (bodyLength > UINT32_MAX - 64) {
        return VELK_RESP_PAYLOAD_FAILED;
    }
    uint32_t payloadSize = (uint32_t)(bodyLength + 2 * strlen("DATA") + 10);
    char* payload = calloc(payloadSize, 1);
    if (payload == NULL) {
        return VELK_RESP_NO_MEMORY;
    }
    int result = VELK_MSG_OK;
    if (VelkCreateMessage(payload, payloadSize, "DATA", body, (const char*)NULL) != 0) {
        result = VELK_RESP_PAYLOAD_FAILED;
    } else if (VelkCreateMessage(buffer, size, "MSG", header, payload, (const char*)NULL) != 0) {
        result = VELK_RESP_ENVELOPE_FAILED;
    }
    free(payload);
    return result;
}
