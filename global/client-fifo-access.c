/* FIFO names, the FIFOs of the connection, and raw send and receive. */
#include "client-fifo-access.h"

#include <dirent.h>
#include <errno.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "pipe-lowlevel.h"
#include "process-helpers.h"
#include "test-common.h"
#include "tracing.h"

char g_szMainFifo[VELK_MAIN_FIFO_SIZE];
int g_hFifoWrite = VELK_NO_FIFO;
char g_szOurFifoName[VELK_OUR_FIFO_SIZE];
int g_hFifoRead = VELK_NO_FIFO;
int g_hDummyFifoWrites = VELK_NO_FIFO;
long g_lLastMessageSent;
int g_iWriteErrors;
int g_iReadErrors;

static char g_szServerFifoName[VELK_FIFO_NAME_AREA];
static char g_szClientFifoName[VELK_FIFO_NAME_AREA];
/* 0: the default name, rebuilt from the pipe directory on each request. */
static int gServerFifoIsSet;
/* Identity of the broker FIFO of the open connection. */
static dev_t gBrokerDevice;
static ino_t gBrokerInode;

const char* VelkGetServerFifoName(void) {
    if (!gServerFifoIsSet) {
        snprintf(g_szServerFifoName, sizeof g_szServerFifoName, "%s/%s", VelkGetPipeDirectory(),
                 VELK_SERVER_FIFO_BASE);
    }
    return g_szServerFifoName;
}

const char* VelkSetServerFifoName(long number) {
    if (number == 0) {
        number = (long)VelkGetClientPid();
    }
    snprintf(g_szServerFifoName, sizeof g_szServerFifoName, "%s/%s_%li", VelkGetPipeDirectory(),
             VELK_SERVER_FIFO_BASE, number);
    gServerFifoIsSet = 1;
    return g_szServerFifoName;
}

const char* VelkSetServerFifoNameEx(const char* name) {
    if (name == NULL || name[0] == '\0' || strlen(name) >= sizeof g_szServerFifoName) {
        gServerFifoIsSet = 0;
        return VelkGetServerFifoName();
    }
    strcpy(g_szServerFifoName, name);
    gServerFifoIsSet = 1;
    return g_szServerFifoName;
}

const char* VelkGetClientFifoName(void) {
    snprintf(g_szClientFifoName, sizeof g_szClientFifoName, "%s/%s%li", VelkGetPipeDirectory(),
             VELK_CLIENT_FIFO_PREFIX, (long)VelkGetClientPid());
    return g_szClientFifoName;
}

int VelkClient_I_RemoveFifo(const char* path) {
    struct stat status;
    if (path == NULL || path[0] == '\0' || lstat(path, &status) != 0 || !S_ISFIFO(status.st_mode)) {
        return -1;
    }
    return VelkPipeUnLink(path);
}

int VelkClient_I_BrokerFifoTrusted(const struct stat* status, uid_t user) {
    return status != NULL && S_ISFIFO(status->st_mode) &&
           (status->st_uid == user || status->st_uid == 0);
}

static void CloseDescriptor(int* fd) {
    if (*fd != VELK_NO_FIFO) {
        VelkPipeClose(*fd);
        *fd = VELK_NO_FIFO;
    }
}

/* Our read FIFO: created, opened for reading, then for writing.  0 or 12. */
static int OpenOurFifo(void) {
    const char* name = VelkGetClientFifoName();
    if (strlen(name) >= sizeof g_szOurFifoName) {
        VTRACE(VELK_TRACE_OWN, "VelkClient_I_OpenFifos() FIFO name too long: %s\n", name);
        return 12;
    }
    if (VelkPipeMkFifo(name) != 0) {
        VTRACE(VELK_TRACE_OWN, "VelkClient_I_OpenFifos() cannot create %s: %s\n", name,
               strerror(errno));
        return 12;
    }
    strcpy(g_szOurFifoName, name);
    g_hFifoRead = VelkPipeOpen(g_szOurFifoName, 0);
    if (g_hFifoRead >= 0) {
        g_hDummyFifoWrites = VelkPipeOpen(g_szOurFifoName, 1);
        if (g_hDummyFifoWrites >= 0) {
            return 0;
        }
        g_hDummyFifoWrites = VELK_NO_FIFO;
        CloseDescriptor(&g_hFifoRead);
    }
    g_hFifoRead = VELK_NO_FIFO;
    VelkClient_I_RemoveFifo(g_szOurFifoName);
    g_szOurFifoName[0] = '\0';
    return 12;
}

int VelkClient_I_OpenFifos(void) {
    VelkPipeSignalHandle();
    const char* server = VelkGetServerFifoName();
    if (strlen(server) >= sizeof g_szMainFifo) {
        VTRACE(VELK_TRACE_OWN, "VelkClient_I_OpenFifos() broker FIFO name too long: %s\n", server);
        return 11;
    }
    strcpy(g_szMainFifo, server);
    g_hFifoWrite = VelkPipeOpen(g_szMainFifo, 1);
    if (g_hFifoWrite < 0) {
        g_hFifoWrite = VELK_NO_FIFO;
        return 11;
    }
    struct stat status;
    if (fstat(g_hFifoWrite, &status) != 0 || !VelkClient_I_BrokerFifoTrusted(&status, geteuid())) {
        VTRACE(VELK_TRACE_OWN, "VelkClient_I_OpenFifos() %s is not a FIFO of ours or root's\n",
               g_szMainFifo);
        CloseDescriptor(&g_hFifoWrite);
        return 11;
    }
    gBrokerDevice = status.st_dev;
    gBrokerInode = status.st_ino;
    int result = OpenOurFifo();
    if (result != 0) {
        CloseDescriptor(&g_hFifoWrite);
    }
    return result;
}

void VelkClient_I_HideFifo(void) {
    VelkClient_I_RemoveFifo(g_szOurFifoName);
}

void VelkClient_I_CloseFifos(void) {
    CloseDescriptor(&g_hDummyFifoWrites);
    CloseDescriptor(&g_hFifoRead);
    CloseDescriptor(&g_hFifoWrite);
    if (g_szOurFifoName[0] != '\0') {
        VelkClient_I_RemoveFifo(g_szOurFifoName);
        g_szOurFifoName[0] = '\0';
    }
}

int VelkClient_I_BrokerGone(void) {
    int fd = g_hFifoWrite;
    if (fd == VELK_NO_FIFO || !VelkPipeIsListed(fd, g_szMainFifo)) {
        return 1;
    }
    /* The write end of a FIFO polls as an error once no reader is left. */
    struct pollfd probe = {fd, POLLOUT, 0};
    if (poll(&probe, 1, 0) < 0) {
        return 0;
    }
    return (probe.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
}

int VelkClient_I_BrokerIsProcess(long pid) {
    if (pid <= 0 || g_hFifoWrite == VELK_NO_FIFO) {
        return 0;
    }
    char path[64];
    snprintf(path, sizeof path, "/proc/%ld/fd", pid);
    DIR* descriptors = opendir(path);
    if (descriptors == NULL) {
        return errno == ENOENT ? 0 : -1;
    }
    int found = 0;
    struct dirent* entry;
    while (!found && (entry = readdir(descriptors)) != NULL) {
        char link[96];
        struct stat status;
        if (entry->d_name[0] == '.' ||
            snprintf(link, sizeof link, "%s/%s", path, entry->d_name) >= (int)sizeof link) {
            continue;
        }
        found = stat(link, &status) == 0 && S_ISFIFO(status.st_mode) &&
                status.st_dev == gBrokerDevice && status.st_ino == gBrokerInode;
    }
    closedir(descriptors);
    return found;
}

int VelkClientSendMessage(const char* message) {
    __atomic_store_n(&g_lLastMessageSent, (long)VelkGetTimeOfDay(), __ATOMIC_RELAXED);
    size_t length = message == NULL ? 0 : strlen(message);
    if (length > 0 && length <= (size_t)0x7fffffff &&
        VelkPipeWrite(g_hFifoWrite, message, (int)length) == (int)length) {
        __atomic_store_n(&g_iWriteErrors, 0, __ATOMIC_RELAXED);
        return 0;
    }
    __atomic_add_fetch(&g_iWriteErrors, 1, __ATOMIC_RELAXED);
    return 1;
}

static const char* FindLineEnd(const char* from, const char* end) {
    for (const char* at = from; at + 1 < end; ++at) {
        if (at[0] == '\r' && at[1] == '\n') {
            return at;
        }
    }
    return NULL;
}

int VelkClient_I_DispatchMessages(char* text, size_t length, VelkClientMessageHandler handler) {
    int handled = 0;
    char* end = text + length;
    char* at = text;
    while (at < end) {
        char* lineEnd = (char*)FindLineEnd(at, end);
        if (lineEnd == NULL) {
            break;
        }
        *lineEnd = '\0';
        handler(at);
        ++handled;
        at = lineEnd + 2;
    }
    return handled;
}

int VelkClientProcessMessages(VelkClientMessageHandler handler, int timeoutMs, int watchStdin) {
    if (handler == NULL) {
        return 0;
    }
    int other = watchStdin ? VelkGetStdInFileNo() : -1;
    if (VelkPipeSelect(g_hFifoRead, other, timeoutMs) <= 0) {
        return 0;
    }
    char* text = NULL;
    int received = VelkPipeReadQueued(g_hFifoRead, &text);
    if (received == 0) {
        received = VelkPipeRead(g_hFifoRead, &text);
    }
    if (received < 0) {
        int errors = __atomic_add_fetch(&g_iReadErrors, 1, __ATOMIC_RELAXED);
        VTRACE(VELK_TRACE_OWN, "VelkClient_I_ReadFifo() g_iReadErrors: %d\n", errors);
    } else {
        __atomic_store_n(&g_iReadErrors, 0, __ATOMIC_RELAXED);
    }
    if (received <= 0 || text == NULL) {
        free(text);
        return 0;
    }
    int handled = VelkClient_I_DispatchMessages(text, (size_t)received, handler);
    free(text);
    return handled;
}

int VelkClientGetReadErrorCount(void) {
    return __atomic_load_n(&g_iReadErrors, __ATOMIC_RELAXED);
}

int VelkClientGetWriteErrorCount(void) {
    return __atomic_load_n(&g_iWriteErrors, __ATOMIC_RELAXED);
}

long VelkClient_I_GetLastAccessTime(void) {
    return __atomic_load_n(&g_lLastMessageSent, __ATOMIC_RELAXED);
}

int VelkFlushWriteFIFO(int timeoutMs) {
    return VelkFlushWritePipe(g_hFifoWrite, timeoutMs);
}
