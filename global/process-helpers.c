/* Launching component programs and the process ids that name this process. */
#include "process-helpers.h"

#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "test-common.h"

extern char** environ;

/* The program path, at most this many arguments, and the closing NULL. */
#define VELK_EXEC_MAX_ARGS 19

/* Splits the argument text at blanks into argv[1..]; runs of blanks count as
 * one separator, leading and trailing blanks are dropped.  Writes into the
 * caller's copy of the text.  Returns the number of entries used in argv. */
static int SplitExecArguments(char* text, char** argv) {
    int count = 1;
    char* cursor = text;
    while (cursor != NULL && *cursor != '\0' && count <= VELK_EXEC_MAX_ARGS) {
        while (*cursor == ' ') {
            ++cursor;
        }
        if (*cursor == '\0') {
            break;
        }
        argv[count++] = cursor;
        char* blank = strchr(cursor, ' ');
        if (blank == NULL) {
            break;
        }
        *blank = '\0';
        cursor = blank + 1;
    }
    argv[count] = NULL;
    return count;
}

/* Maps a failure to find or run the program file onto the exec details. */
static int ExecDetailForErrno(int error) {
    if (error == ENOENT || error == ENOTDIR) {
        return VELK_EXEC_NOT_FOUND;
    }
    if (error == ENAMETOOLONG) {
        return VELK_EXEC_NAME_TOO_LONG;
    }
    return 0;
}

static void SetDetail(int* errorDetail, int detail) {
    if (errorDetail != NULL) {
        *errorDetail = detail;
    }
}

/* Starts the program with posix_spawn: descriptors opened close-on-exec stay
 * behind, the child gets an empty signal mask and the default SIGPIPE action
 * whatever the calling thread uses, and a program that cannot be executed is
 * reported here instead of leaving a child that ends at once. */
static int SpawnProgram(const char* path, char* const* argv, pid_t* child) {
    posix_spawnattr_t attributes;
    int error = posix_spawnattr_init(&attributes);
    if (error != 0) {
        return error;
    }
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigaddset(&signals, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    error = posix_spawn(child, path, NULL, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    return error;
}

int VelkVerboseExec(const char* path, const char* arguments, int* errorDetail) {
    if (path == NULL) {
        SetDetail(errorDetail, VELK_EXEC_NOT_FOUND);
        return -1;
    }
    struct stat status;
    if (stat(path, &status) != 0) {
        int detail = ExecDetailForErrno(errno);
        if (detail == 0) {
            perror("Unhandled Exec Error:");
        }
        SetDetail(errorDetail, detail);
        return -1;
    }

    char* copy = strdup(arguments != NULL ? arguments : "");
    if (copy == NULL) {
        SetDetail(errorDetail, 0);
        return -1;
    }
    char* argv[VELK_EXEC_MAX_ARGS + 2];
    argv[0] = (char*)path;
    SplitExecArguments(copy, argv);

    pid_t child = -1;
    int error = SpawnProgram(path, argv, &child);
    free(copy);
    if (error != 0) {
        int detail = ExecDetailForErrno(error);
        if (detail == 0) {
            errno = error;
            perror("Unhandled Exec Error:");
        }
        SetDetail(errorDetail, detail);
        return -1;
    }
    return (int)child;
}

int VelkExec(const char* path, const char* arguments) {
    return VelkVerboseExec(path, arguments, NULL);
}

void VelkPrintExecError(const char* path, int errorDetail) {
    const char* name = path != NULL ? path : "";
    switch (errorDetail) {
        case VELK_EXEC_NOT_FOUND:
            VelkPrintf("Error executing %s: Component Not Found\n", name);
            break;
        case VELK_EXEC_NAME_TOO_LONG:
            VelkPrintf("Error executing %s: Component Name is Too Long\n", name);
            break;
        case VELK_EXEC_TIMED_OUT:
            VelkPrintf("Error executing %s: Component Timed Out\n", name);
            break;
        default:
            break;
    }
}

static atomic_uint_least32_t cachedPid;

uint32_t VelkGetClientPid(void) {
    uint32_t pid = (uint32_t)atomic_load_explicit(&cachedPid, memory_order_relaxed);
    if (pid == 0) {
        pid = (uint32_t)getpid();
        atomic_store_explicit(&cachedPid, pid, memory_order_relaxed);
    }
    return pid;
}

uint32_t VelkGetPid(void) {
    return (uint32_t)getpid();
}

int VelkWaitPid(int pid, int* status, int options) {
    return (int)waitpid((pid_t)pid, status, options);
}

int VelkClientTerminated(int pid) {
    /* Only a real child id: waitpid with 0 or a negative id would reap some
     * other child of the process. */
    if (pid <= 0) {
        return 0;
    }
    for (;;) {
        int status = 0;
        pid_t result = waitpid((pid_t)pid, &status, WNOHANG);
        if (result == (pid_t)pid) {
            return 1;
        }
        if (result == 0) {
            return 0;
        }
        if (errno == EINTR) {
            continue;
        }
        /* Not a child of ours (reaped elsewhere, or started by another
         * process): it has ended when no such process exists any more. */
        return (errno == ECHILD && kill((pid_t)pid, 0) != 0 && errno == ESRCH) ? 1 : 0;
    }
}
