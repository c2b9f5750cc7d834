/* The name of a process as trace lines show it, and the trace type that a
 * program's name selects. */
#include "tracing.h"

#include <fcntl.h>
#include <pthread.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

#include "process-helpers.h"

#define VELK_UNKNOWN_PROC_NAME "????"
/* /proc/<pid>/stat starts "<pid> (<command>) ..."; the command is at most 15
 * characters, so the first 64 bytes hold it. */
#define VELK_STAT_PREFIX 64

const char* PidToProcName(int pid, char* buffer, int size) {
    if (buffer == NULL || size <= 0) {
        return buffer;
    }
    snprintf(buffer, (size_t)size, "%s", VELK_UNKNOWN_PROC_NAME);

    char path[64];
    snprintf(path, sizeof path, "/proc/%d/stat", pid);
    int descriptor = open(path, O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return buffer;
    }
    char stat[VELK_STAT_PREFIX + 1];
    ssize_t length = read(descriptor, stat, VELK_STAT_PREFIX);
    close(descriptor);
    if (length <= 0) {
        return buffer;
    }
    stat[length] = '\0';

    char* open = strchr(stat, '(');
    char* close = strchr(stat, ')');
    if (open == NULL || close == NULL || close < open) {
        return buffer;
    }
    *close = '\0';
    /* Base name: no directory, no extension. */
    char baseName[VELK_STAT_PREFIX + 1];
    SplitFilename(open + 1, NULL, baseName, NULL);
    snprintf(buffer, (size_t)size, "%s", baseName);
    return buffer;
}

static char processName[VELK_STAT_PREFIX + 1];
static pthread_once_t processNameOnce = PTHREAD_ONCE_INIT;

static void ReadOwnProcName(void) {
    PidToProcName((int)getpid(), processName, (int)sizeof processName);
}

const char* InitProcName(void) {
    pthread_once(&processNameOnce, ReadOwnProcName);
    return processName;
}

int VelkTraceTypeForProcessName(const char* name) {
    static const struct {
        const char* name;
        int type;
    } programs[] = {
        {"velkcore", VELK_TRACE_MB},
        {"diagengine", VELK_TRACE_DE},
        {"nlsengine", VELK_TRACE_NLS},
        {"velkcli", VELK_TRACE_CLI},
    };
    if (name != NULL) {
        for (size_t i = 0; i < sizeof programs / sizeof programs[0]; ++i) {
            if (strcasecmp(name, programs[i].name) == 0) {
                return programs[i].type;
            }
        }
    }
    return VELK_TRACE_DIAG;
}
