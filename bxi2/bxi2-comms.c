/* The module's connection to the engine: start and stop, notifications and
 * the engine's commands to the module. */
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "bxi2-internal.h"
#include "client-connection-manager.h"
#include "client-fifo-access.h"
#include "client-messaging-engine.h"
#include "message-protocol.h"
#include "nls-access.h"
#include "pipe-lowlevel.h"
#include "process-helpers.h"
#include "test-common.h"
#include "tracing.h"

enum {
    kIniValueSize = 256,
    /* One flush period, and how long the engine may take nothing at all
     * before the module stops waiting for it. */
    kFlushMs = 1500,
    kFlushStallMs = 10000,
    kMessageWaitMs = 1,
    kTypeFieldSize = 101, /* at most 100 characters */
    kCommandFieldSize = 101,
    kTimeoutFieldSize = 32,
};

static const char kModuleSection[] = "Module";
static const char kNotifyType[] = "DE_NOTIFY";
static const char kBxiCommandType[] = "BXI_COMMAND";
static const char kStopTesting[] = "STOPTESTING";
static const char kSendingTimeout[] = "SENDINGTIMEOUT";

/* The connection registers the definitions file with the NLS engine through
 * the NLS access layer, which it reaches only when that is linked in; this
 * reference links it into every module. */
__attribute__((used)) static int (*const kRegisterStringFile)(const char* path) =
    VelkNlsRegisterModuleNlsFile;

/* The client class of the module type of the definitions file. */
static const char* ClientClassOfType(const char* type) {
    if (strcasecmp(type, "DIAG") == 0) {
        return "DIAGMODULE";
    }
    if (strcasecmp(type, "RUNTIME") == 0) {
        return "RUNTIMEDIAG";
    }
    if (strcasecmp(type, "SYSINFO") == 0) {
        return "SYSINFOMODULE";
    }
    return "NORMAL";
}

/* Sets the pipe directory and broker FIFO and starts the transport. */
static void StartTransport(void) {
    const char* pipeDirectory = getenv("VELK_PATH");
    if (pipeDirectory != NULL && pipeDirectory[0] != '\0') {
        VelkSetPipeDirectory(pipeDirectory);
    }
    VelkSetServerFifoNameEx(g_Bxi2.serverFifo);
    VelkInitPipes();
    VelkInitReadWriteThread();
}

static void StopTransport(void) {
    VelkStopReadWriteThread();
    VelkCleanupPipes();
}

int Bxi2_StartCommunications(const char* reference) {
    StartTransport();
    char type[kIniValueSize] = "";
    char name[kIniValueSize] = "";
    VelkGetPrivateProfileString(kModuleSection, "szType", "", type, sizeof type, g_Bxi2.defFile);
    VelkGetPrivateProfileString(kModuleSection, "szModuleName", "", name, sizeof name,
                                g_Bxi2.defFile);
    if (VelkClientOpenConnectionEx(name, ClientClassOfType(type), g_Bxi2.defFile, NULL) != 0) {
        VTRACE(VELK_TRACE_DIAG, "Bxi2_StartCommunications: Error Opening Connection\n");
        StopTransport();
        return BXI2_E_COMMS;
    }
    if (Bxi2_SendNotification(BXI2_NOTIFY_STARTUP, reference) != BXI2_OK) {
        VTRACE(VELK_TRACE_DIAG, "Bxi2_StartCommunications: Error Sending Startup\n");
        VelkClientCloseConnection();
        StopTransport();
        return BXI2_E_STARTUP;
    }
    return BXI2_OK;
}

/* Writes everything queued for the engine: a busy engine that keeps reading
 * gets all of it, the result included, however long that takes; an engine
 * that has taken nothing for kFlushStallMs is given up on (an engine that has
 * gone ends the wait at once). */
static void FlushToEngine(void) {
    uint32_t lastProgress = VelkMilliSeconds();
    int left = VelkFlushWriteFIFO(kFlushMs);
    while (left > 0) {
        int before = left;
        left = VelkFlushWriteFIFO(kFlushMs);
        if (left < before) {
            lastProgress = VelkMilliSeconds();
        } else if (VelkMilliSeconds() - lastProgress >= (uint32_t)kFlushStallMs) {
            VTRACE(VELK_TRACE_DIAG, "Bxi2_StopCommunications: %d messages not taken\n", left);
            return;
        }
    }
}

int Bxi2_StopCommunications(void) {
    Bxi2_KillDeviceList();
    FlushToEngine();
    Bxi2_SendNotification(BXI2_NOTIFY_SHUTDOWN);
    VelkClientCloseConnection();
    StopTransport();
    return BXI2_OK;
}

/* ------------------------------------------------------------------------ */
/* Notifications                                                            */
/* ------------------------------------------------------------------------ */

int Bxi2_I_BuildNotification(int kind, const char* reference, int resultCode, char* type,
                             size_t typeSize, char* data, size_t dataSize) {
    const char* headerType = kNotifyType;
    int written;
    switch (kind) {
        case BXI2_NOTIFY_STARTUP:
            if (reference == NULL) {
                reference = "";
            }
            if (reference[0] != '\0') {
                headerType = reference;
            }
            written = snprintf(
                data, dataSize, "<DATA><STARTUP>%s</STARTUP><VERSION>%d.%d.%d</VERSION></DATA>",
                reference, g_Bxi2.versionMajor, g_Bxi2.versionMinor, g_Bxi2.versionBuild);
            break;
        case BXI2_NOTIFY_SHUTDOWN:
            written = snprintf(data, dataSize, "<DATA>SHUTDOWN</DATA>");
            break;
        case BXI2_NOTIFY_RESULT:
            written = snprintf(
                data, dataSize,
                "<DATA><TESTRESULT>%s</TESTRESULT><TESTPROCESSID>%s</TESTPROCESSID></DATA>",
                Bxi2_ResultCodeToName(resultCode), g_Bxi2.processId);
            break;
        default:
            return BXI2_E_BAD_ARGUMENT;
    }
    if (written < 0 || (size_t)written >= dataSize || strlen(headerType) >= typeSize) {
        return BXI2_E_MESSAGE;
    }
    memcpy(type, headerType, strlen(headerType) + 1);
    return BXI2_OK;
}

int Bxi2_SendNotification(int kind, ...) {
    const char* reference = NULL;
    int resultCode = 0;
    va_list args;
    va_start(args, kind);
    if (kind == BXI2_NOTIFY_STARTUP) {
        reference = va_arg(args, const char*);
    } else if (kind == BXI2_NOTIFY_RESULT) {
        resultCode = va_arg(args, int);
    }
    va_end(args);

    char type[BXI2_NOTIFY_HEADER_SIZE];
    char data[BXI2_NOTIFY_DATA_SIZE];
    int result =
        Bxi2_I_BuildNotification(kind, reference, resultCode, type, sizeof type, data, sizeof data);
    if (result != BXI2_OK) {
        if (result == BXI2_E_MESSAGE) {
            VTRACE(VELK_TRACE_DIAG, "Bxi2_SendNotification: CreateMessage failed\n");
        }
        return result;
    }
    char header[BXI2_NOTIFY_HEADER_SIZE];
    int headerResult =
        VelkCreateMessageHeader(header, sizeof header, VELK_MSG_TO_DIAGENGINE, NULL, type, NULL);
    if (headerResult != 0) {
        VTRACE(VELK_TRACE_DIAG, "Bxi2_SendNotification: CreateMessageHeader %i\n", headerResult);
        return BXI2_E_HEADER;
    }
    char message[BXI2_NOTIFY_MESSAGE_SIZE];
    if (VelkCreateMessage(message, sizeof message, VELK_MSG_TAG_MSG, header, data, NULL) != 0) {
        VTRACE(VELK_TRACE_DIAG, "Bxi2_SendNotification: CreateMessage failed\n");
        return BXI2_E_MESSAGE;
    }
    if (VelkClientSendMessage(message) != 0) {
        VTRACE(VELK_TRACE_DIAG, "Bxi2_SendNotification: error sending\n");
        return BXI2_E_COMMS;
    }
    return BXI2_OK;
}

/* ------------------------------------------------------------------------ */
/* Commands from the engine                                                 */
/* ------------------------------------------------------------------------ */

void Bxi2_I_HandleIncomingMessage(const char* message) {
    char type[kTypeFieldSize];
    if (message == NULL ||
        VelkXmlGetField(message, VELK_MSG_PATH_TYPE, 0, type, sizeof type) != 0 ||
        strcmp(type, kBxiCommandType) != 0) {
        return;
    }
    char command[kCommandFieldSize];
    if (VelkXmlGetField(message, "MSG/DATA/BXICOMMANDTYPE", 0, command, sizeof command) != 0) {
        return;
    }
    if (strcmp(command, kStopTesting) == 0) {
        g_Bxi2.stopRequested = 1;
    } else if (strcmp(command, kSendingTimeout) == 0) {
        char value[kTimeoutFieldSize];
        if (VelkXmlGetField(message, "MSG/DATA/TIMEOUT_VALUE", 0, value, sizeof value) == 0) {
            g_Bxi2.receivedTimeout = atoi(value);
        }
    }
}

int Bxi2_CheckForIncomingMessages(void) {
    for (;;) {
        VelkClientWaitForMessages(kMessageWaitMs, 0);
        VelkClientMessage* node = VelkClientGetNextMessage(NULL);
        if (node == NULL) {
            return BXI2_OK;
        }
        Bxi2_I_HandleIncomingMessage(node->pMessage);
        VTRACE(VELK_TRACE_DIAG,
               "Bxi2_CheckForIncomingMessages:Received message %p (data %p = %s)\n", (void*)node,
               (void*)node->pMessage, node->pMessage);
        VelkClientFreeMessage(node);
    }
}

int Bxi2_CheckForStop(void) {
    Bxi2_CheckForIncomingMessages();
    if (g_Bxi2.stopRequested) {
        VTRACE(VELK_TRACE_DIAG, "Bxi2_CheckForStop:Returning true\n");
    }
    return g_Bxi2.stopRequested;
}
