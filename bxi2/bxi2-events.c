/* Events of a running test: percent done, progress text, informative,
 * warning and error messages, and the time-out requests. */
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "bxi2-internal.h"
#include "client-fifo-access.h"
#include "message-protocol.h"
#include "test-common.h"
#include "tracing.h"

enum {
    kSuffixSize = 96,
    kTimeOutWaitMs = 2000,
    kMillisecondsPerDay = 86400000,
};

static const char kEventType[] = "DE_EVENT";

static const char* EventTypeName(Bxi2_EventType type) {
    switch (type) {
        case BXI2_EVENT_PROGRESS:
            return "PROGRESS";
        case BXI2_EVENT_PERCENTDONE:
            return "PERCENTDONE";
        case BXI2_EVENT_INFO:
            return "INFO";
        case BXI2_EVENT_WARN:
            return "WARN";
        case BXI2_EVENT_ERROR:
            return "ERROR";
        case BXI2_EVENT_SET_TIMEOUT:
            return "SET_TIMEOUT";
        case BXI2_EVENT_GET_TIMEOUT:
            return "GET_TIMEOUT";
        case BXI2_EVENT_CLEAR_TIMEOUT:
            return "CLEAR_TIMEOUT";
    }
    return NULL;
}

/* What follows the formatted text (or the test process id when the event
 * has no text); 1 when the event carries a formatted text. */
static int EventSuffix(Bxi2_EventType type, int number, char* suffix, size_t size) {
    switch (type) {
        case BXI2_EVENT_PROGRESS:
            snprintf(suffix, size, "</TEXT></EVENT></DATA>");
            return 1;
        case BXI2_EVENT_INFO:
            snprintf(suffix, size, "</TEXT><EVENTCODE>-1</EVENTCODE></EVENT></DATA>");
            return 1;
        case BXI2_EVENT_WARN:
        case BXI2_EVENT_ERROR:
            snprintf(suffix, size, "</TEXT><EVENTCODE>%i</EVENTCODE></EVENT></DATA>", number);
            return 1;
        case BXI2_EVENT_PERCENTDONE:
            snprintf(suffix, size, "<TEXT>%i</TEXT></EVENT></DATA>", number);
            return 0;
        case BXI2_EVENT_SET_TIMEOUT:
            snprintf(suffix, size, "<TIMEOUT_VALUE>%i</TIMEOUT_VALUE></EVENT></DATA>", number);
            return 0;
        case BXI2_EVENT_GET_TIMEOUT:
        case BXI2_EVENT_CLEAR_TIMEOUT:
            snprintf(suffix, size, "</EVENT></DATA>");
            return 0;
    }
    return 0;
}

int Bxi2_I_VFormatEventData(char* data, size_t size, Bxi2_EventType type, const char* processId,
                            int number, const char* format, va_list args) {
    const char* typeName = EventTypeName(type);
    if (data == NULL || typeName == NULL) {
        return BXI2_E_BAD_ARGUMENT;
    }
    char suffix[kSuffixSize];
    int hasText = EventSuffix(type, number, suffix, sizeof suffix);
    int prefixLength =
        snprintf(data, size, "<DATA><EVENT><TYPE>%s</TYPE><TESTPROCESSID>%s</TESTPROCESSID>%s",
                 typeName, processId != NULL ? processId : "", hasText ? "<TEXT>" : "");
    size_t suffixLength = strlen(suffix);
    if (prefixLength < 0 || (size_t)prefixLength + suffixLength + 1 > size) {
        if (size > 0) {
            data[0] = '\0';
        }
        return BXI2_E_BAD_ARGUMENT;
    }
    size_t used = (size_t)prefixLength;
    if (hasText && format != NULL) {
        /* The text takes what the element leaves; a longer one is cut. */
        size_t room = size - used - suffixLength;
        int textLength = vsnprintf(data + used, room, format, args);
        if (textLength > 0) {
            used += (size_t)textLength < room ? (size_t)textLength : room - 1;
        }
        data[used] = '\0';
    }
    memcpy(data + used, suffix, suffixLength + 1);
    return BXI2_OK;
}

int Bxi2_I_FormatEventData(char* data, size_t size, Bxi2_EventType type, const char* processId,
                           int number, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int result = Bxi2_I_VFormatEventData(data, size, type, processId, number, format, args);
    va_end(args);
    return result;
}

int Bxi2_I_SendEvent(const char* data) {
    char header[BXI2_EVENT_HEADER_SIZE];
    if (VelkCreateMessageHeader(header, sizeof header, VELK_MSG_TO_DIAGENGINE, NULL, kEventType,
                                NULL) != 0) {
        VTRACE(VELK_TRACE_DIAG, "Bxi2_I_SendEvent:createheader failed\n");
        return BXI2_E_HEADER;
    }
    char* message = malloc(BXI2_EVENT_MESSAGE_SIZE);
    if (message == NULL) {
        VTRACE(VELK_TRACE_DIAG, "Bxi2_I_SendEvent:outofmem\n");
        return BXI2_E_NO_MEMORY;
    }
    int result = BXI2_OK;
    if (VelkCreateMessage(message, BXI2_EVENT_MESSAGE_SIZE, VELK_MSG_TAG_MSG, header, data, NULL) !=
        0) {
        VTRACE(VELK_TRACE_DIAG, "Bxi2_I_SendEvent:createmessage failed\n");
        result = BXI2_E_MESSAGE;
    } else {
        VTRACE(VELK_TRACE_DIAG, "Bxi2_I_SendEvent: sending = %s\n", message);
        if (VelkClientSendMessage(message) != 0) {
            VTRACE(VELK_TRACE_DIAG, "Bxi2_I_SendEvent:sendmessage failed\n");
            result = BXI2_E_COMMS;
        }
    }
    free(message);
    return result;
}

/* Formats and sends one event. */
static int SendEventV(Bxi2_EventType type, int number, const char* format, va_list args) {
    char* data = malloc(BXI2_EVENT_DATA_SIZE);
    if (data == NULL) {
        VTRACE(VELK_TRACE_DIAG, "Bxi2_I_SendEvent:outofmem\n");
        return BXI2_E_NO_MEMORY;
    }
    int result = Bxi2_I_VFormatEventData(data, BXI2_EVENT_DATA_SIZE, type, g_Bxi2.processId, number,
                                         format, args);
    if (result == BXI2_OK) {
        result = Bxi2_I_SendEvent(data);
    }
    free(data);
    return result;
}

/* An event without formatted text. */
static int SendPlainEvent(Bxi2_EventType type, int number, ...) {
    va_list args;
    va_start(args, number);
    int result = SendEventV(type, number, NULL, args);
    va_end(args);
    return result;
}

int Bxi2_SetPercentDone(int percent) {
    if (percent == g_Bxi2.lastPercentSent) {
        return BXI2_OK;
    }
    g_Bxi2.lastPercentSent = percent;
    return SendPlainEvent(BXI2_EVENT_PERCENTDONE, percent);
}

int Bxi2_SetProgressInformation(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int result = SendEventV(BXI2_EVENT_PROGRESS, 0, format, args);
    va_end(args);
    return result;
}

int Bxi2_I_TimedSendDue(uint32_t now, uint32_t last, int sentBefore, uint32_t interval) {
    if (!sentBefore) {
        return 1;
    }
    uint32_t elapsed = now >= last ? now - last : now + (uint32_t)kMillisecondsPerDay - last;
    return elapsed > interval;
}

int Bxi2_SetProgressInformationTimed(uint32_t intervalMs, const char* format, ...) {
    uint32_t now = VelkGetTimeOfDay();
    if (!Bxi2_I_TimedSendDue(now, g_Bxi2.lastTimedProgress, g_Bxi2.timedProgressSent, intervalMs)) {
        return BXI2_OK;
    }
    g_Bxi2.lastTimedProgress = now;
    g_Bxi2.timedProgressSent = 1;
    va_list args;
    va_start(args, format);
    int result = SendEventV(BXI2_EVENT_PROGRESS, 0, format, args);
    va_end(args);
    return result;
}

int Bxi2_Informative(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int result = SendEventV(BXI2_EVENT_INFO, -1, format, args);
    va_end(args);
    return result;
}

int Bxi2_Warning(int eventCode, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int result = SendEventV(BXI2_EVENT_WARN, eventCode, format, args);
    va_end(args);
    return result;
}

int Bxi2_Error(int eventCode, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int result = SendEventV(BXI2_EVENT_ERROR, eventCode, format, args);
    va_end(args);
    return result;
}

int Bxi2_SetTimeOut(int value) {
    return SendPlainEvent(BXI2_EVENT_SET_TIMEOUT, value);
}

int Bxi2_ClearTimeOutCount(void) {
    return SendPlainEvent(BXI2_EVENT_CLEAR_TIMEOUT, 0);
}

int Bxi2_GetTimeOut(int* value) {
    if (value == NULL) {
        return BXI2_E_COMMS;
    }
    *value = 0;
    int result = SendPlainEvent(BXI2_EVENT_GET_TIMEOUT, 0);
    if (result != BXI2_OK) {
        return result;
    }
    uint32_t start = VelkMilliSeconds();
    do {
        Bxi2_CheckForIncomingMessages();
        if (g_Bxi2.receivedTimeout != BXI2_NO_TIMEOUT) {
            *value = g_Bxi2.receivedTimeout;
            g_Bxi2.receivedTimeout = BXI2_NO_TIMEOUT;
            return BXI2_OK;
        }
    } while (VelkMilliSeconds() - start < (uint32_t)kTimeOutWaitMs);
    return BXI2_E_COMMS;
}
