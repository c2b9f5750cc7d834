/* Connection to the message broker: startup handshake and close. */
#include "client-connection-manager.h"

#include <stdlib.h>
#include <string.h>

#include "client-fifo-access.h"
#include "client-messaging-engine.h"
#include "message-protocol.h"
#include "nls-access.h"
#include "pipe-lowlevel.h"
#include "process-helpers.h"
#include "test-common.h"
#include "tracing.h"

static int g_iOpenCount;

enum {
    kReadAreaSize = 300,
    kNlsAreaSize = 300,
    kSmallAreaSize = 80,
    kExeAreaSize = 4256,
    kPidTextSize = 32,
    kCloseFlushMs = 500
};

int VelkClient_I_GetOpenCount(void) {
    return g_iOpenCount;
}

int VelkClient_I_BuildStartupMessage(const char* readFifo, uint32_t pid, const char* clientName,
                                     const char* nlsFile, const char* clientClass,
                                     const char* exeFileName, char* message, uint32_t size) {
    char pidText[kPidTextSize];
    VelkGetProcessIdString(pid, pidText, sizeof pidText);
    char readArea[kReadAreaSize];
    char pidArea[kSmallAreaSize];
    char nameArea[kSmallAreaSize];
    char nlsArea[kNlsAreaSize];
    char classArea[kSmallAreaSize];
    char* exeArea = malloc(kExeAreaSize);
    VELK_VERIFY(exeArea != NULL);
    int result = VELK_OPEN_OK;
    if (VelkCreateMessage(readArea, sizeof readArea, "READ", readFifo, NULL) != 0) {
        result = VELK_OPEN_BAD_READ;
    } else if (VelkCreateMessage(pidArea, sizeof pidArea, "PID", pidText, NULL) != 0) {
        result = VELK_OPEN_BAD_PID;
    } else if (VelkCreateMessage(nameArea, sizeof nameArea, "NAME", clientName, NULL) != 0) {
        result = VELK_OPEN_BAD_NAME;
    } else if (VelkCreateMessage(nlsArea, sizeof nlsArea, "NLSDATA", nlsFile, NULL) != 0) {
        result = VELK_OPEN_BAD_NLSDATA;
    } else if (VelkCreateMessage(classArea, sizeof classArea, "CLASS", clientClass, NULL) != 0) {
        result = VELK_OPEN_BAD_CLASS;
    } else if (VelkCreateMessage(exeArea, kExeAreaSize, "EXE_FILENAME", exeFileName, NULL) != 0 ||
               VelkCreateMessage(message, size, "STARTUP", readArea, pidArea, nameArea, nlsArea,
                                 classArea, exeArea, NULL) != 0) {
        result = VELK_OPEN_BAD_EXE_FILENAME;
    }
    free(exeArea);
    return result;
}

int VelkClient_I_BuildCloseMessage(uint32_t pid, char* message, uint32_t size) {
    char pidText[kPidTextSize];
    VelkGetProcessIdString(pid, pidText, sizeof pidText);
    char pidArea[kSmallAreaSize];
    if (VelkCreateMessage(pidArea, sizeof pidArea, "PID", pidText, NULL) != 0) {
        return VELK_MSG_NO_ROOM;
    }
    return VelkCreateMessage(message, size, "STOP", pidArea, NULL);
}

/* The last path component of programPath, "" for none. */
static char* ProgramFileName(const char* programPath) {
    if (programPath == NULL) {
        programPath = "";
    }
    char* name = calloc(strlen(programPath) + 1, 1);
    VELK_VERIFY(name != NULL);
    if (programPath[0] != '\0') {
        GetPathFilename(programPath, name);
    }
    return name;
}

static int SendStartupMessage(const char* clientName, const char* clientClass, const char* nlsFile,
                              const char* programPath) {
    char* exeFileName = ProgramFileName(programPath);
    char message[VELK_STARTUP_MESSAGE_SIZE];
    int result = VelkClient_I_BuildStartupMessage(
        g_szOurFifoName, VelkGetClientPid(), clientName != NULL ? clientName : "",
        nlsFile != NULL ? nlsFile : "", clientClass != NULL ? clientClass : "", exeFileName,
        message, sizeof message);
    free(exeFileName);
    if (result == VELK_OPEN_OK && VelkClientSendMessage(message) != 0) {
        result = VELK_OPEN_SEND_FAILED;
    }
    return result;
}

/* Waits for the broker's answer: 0, 40, 30 or 31.  Messages that arrived
 * behind the answer go to the message table. */
static int AwaitAcknowledgement(void) {
    uint32_t start = VelkMilliSeconds();
    char* text = NULL;
    int received = 0;
    for (;;) {
        int elapsed = (int)(VelkMilliSeconds() - start);
        if (elapsed >= VELK_HANDSHAKE_TIMEOUT_MS) {
            return VELK_OPEN_NO_ANSWER;
        }
        int ready = VelkPipeSelect(g_hFifoRead, -1, VELK_HANDSHAKE_TIMEOUT_MS - elapsed);
        if (ready == 0) {
            return VELK_OPEN_NO_ANSWER;
        }
        if (ready > 0) {
            received = VelkPipeRead(g_hFifoRead, &text);
            if (received > 0) {
                break;
            }
        } else {
            VelkSleep(1); /* interrupted: try again for the time left */
        }
    }
    int result = VELK_OPEN_BAD_ANSWER;
    if (strncmp(text, VELK_ACK, strlen(VELK_ACK)) == 0) {
        result = VELK_OPEN_OK;
    } else if (strncmp(text, VELK_ACK_ENUM_COMPLETE, strlen(VELK_ACK_ENUM_COMPLETE)) == 0) {
        result = VELK_OPEN_ENUM_COMPLETE;
    }
    char* rest = strstr(text, VELK_MSG_END);
    if (result != VELK_OPEN_BAD_ANSWER && rest != NULL) {
        rest += strlen(VELK_MSG_END);
        VelkClient_I_DispatchMessages(rest, (size_t)received - (size_t)(rest - text),
                                      VelkClient_I_MoveMessagesToTable);
    }
    free(text);
    return result;
}

int VelkClient_I_OpenConnectionEx(long brokerNumber, const char* clientName,
                                  const char* clientClass, const char* nlsFile,
                                  const char* programPath) {
    if (g_iOpenCount > 0) {
        VTRACE(VELK_TRACE_OWN, "VelkClientOpenConnection - conncection already open\n");
        return VELK_OPEN_ALREADY_OPEN;
    }
    if (nlsFile == NULL) {
        nlsFile = "";
    }
    if (brokerNumber != 0) {
        VelkSetServerFifoName(brokerNumber);
    }
    int result = VelkClient_I_OpenFifos();
    if (result != 0) {
        return result;
    }
    result = SendStartupMessage(clientName, clientClass, nlsFile, programPath);
    if (result == VELK_OPEN_OK) {
        result = AwaitAcknowledgement();
    }
    if (result != VELK_OPEN_OK && result != VELK_OPEN_ENUM_COMPLETE) {
        VelkClient_I_CloseFifos();
        return result;
    }
    VelkClient_I_HideFifo();
    if (nlsFile[0] != '\0') {
        /* The connection stands even when the NLS engine does not answer. */
        VelkNlsRegisterModuleNlsFile(nlsFile);
    }
    ++g_iOpenCount;
    return result;
}

int VelkClientOpenConnectionEx(const char* clientName, const char* clientClass, const char* nlsFile,
                               const char* programPath) {
    int result = VelkClient_I_OpenConnectionEx(0, clientName, clientClass, nlsFile, programPath);
    return result == VELK_OPEN_ENUM_COMPLETE ? VELK_OPEN_OK : result;
}

int VelkClientOpenConnection(void) {
    return VelkClientOpenConnectionEx("Name Here", "NORMAL", "", NULL);
}

int VelkClientCloseConnection(void) {
    if (g_hFifoWrite != VELK_NO_FIFO) {
        char message[VELK_CLOSE_MESSAGE_SIZE];
        if (VelkClient_I_BuildCloseMessage(VelkGetClientPid(), message, sizeof message) == 0 &&
            VelkClientSendMessage(message) == 0) {
            /* Best effort, but do not drop it unsent when the FIFO is full. */
            VelkFlushWritePipe(g_hFifoWrite, kCloseFlushMs);
        }
    }
    VelkClient_I_CloseFifos();
    if (g_iOpenCount > 0) {
        --g_iOpenCount;
    }
    return 0;
}
