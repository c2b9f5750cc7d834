/* The bin directory (where velkcore lives) and the pipe directory (where all
 * FIFOs live), plus thin wrappers over the current directory. */
#include "process-helpers.h"

#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static char g_szBinDir[VELK_MAX_DIR];
static char g_szPipeDir[VELK_MAX_DIR];
/* Serialises writers of the two directories; a rewrite with an unchanged
 * value is skipped, so readers of the returned text see stable bytes. */
static pthread_mutex_t directoryLock = PTHREAD_MUTEX_INITIALIZER;

/* Resolves path into out: a path starting with "." is taken relative to the
 * current directory ("./x" and "." drop the dot, "../x" and ".x" are kept
 * whole after the current directory and a "/").  0, or -1 when the result
 * does not fit or the current directory cannot be read. */
static int ResolveDirectory(const char* path, char* out, size_t size) {
    int written;
    if (path[0] == '.') {
        char cwd[VELK_MAX_DIR];
        if (getcwd(cwd, sizeof cwd) == NULL) {
            return -1;
        }
        if (path[1] == '\0' || path[1] == '/') {
            written = snprintf(out, size, "%s%s", cwd, path + 1);
        } else {
            written = snprintf(out, size, "%s/%s", cwd, path);
        }
    } else {
        written = snprintf(out, size, "%s", path);
    }
    return (written < 0 || (size_t)written >= size) ? -1 : 0;
}

static int IsSearchableDirectory(const char* path) {
    struct stat status;
    return path[0] != '\0' && access(path, X_OK) == 0 && stat(path, &status) == 0 &&
           S_ISDIR(status.st_mode);
}

/* Copies value into a directory variable unless it already holds it. */
static void StoreDirectory(char* directory, const char* value) {
    if (strcmp(directory, value) != 0) {
        snprintf(directory, VELK_MAX_DIR, "%s", value);
    }
}

const char* VelkGetBinDirectory(void) {
    return g_szBinDir;
}

void VelkSetBinDirectory(const char* path) {
    char resolved[VELK_MAX_DIR];
    char program[VELK_MAX_DIR + 16];
    const char* shown = path != NULL ? path : "";
    int usable = path != NULL && ResolveDirectory(path, resolved, sizeof resolved) == 0;
    if (usable) {
        shown = resolved;
        snprintf(program, sizeof program, "%s/velkcore", resolved);
        usable = access(program, X_OK) == 0;
    }
    pthread_mutex_lock(&directoryLock);
    StoreDirectory(g_szBinDir, usable ? resolved : "");
    pthread_mutex_unlock(&directoryLock);
    if (!usable) {
        fprintf(stderr, "*****************\nCannot Acces velkcore in %s\n****************\n",
                shown);
    }
}

void VelkSetPipeDirectory(const char* path) {
    char resolved[VELK_MAX_DIR];
    const char* shown = path != NULL ? path : "";
    int usable = path != NULL && ResolveDirectory(path, resolved, sizeof resolved) == 0;
    if (usable) {
        shown = resolved;
        usable = IsSearchableDirectory(resolved);
    }
    pthread_mutex_lock(&directoryLock);
    StoreDirectory(g_szPipeDir, usable ? resolved : "");
    pthread_mutex_unlock(&directoryLock);
    if (!usable) {
        fprintf(stderr, "*****************\nCannot Access %s\n****************\n", shown);
    }
}

const char* VelkGetPipeDirectory(void) {
    const char* fromEnvironment = getenv("VELK_TMP");
    if (fromEnvironment != NULL && fromEnvironment[0] != '\0') {
        int usable =
            strlen(fromEnvironment) < VELK_MAX_DIR && IsSearchableDirectory(fromEnvironment);
        pthread_mutex_lock(&directoryLock);
        StoreDirectory(g_szPipeDir, usable ? fromEnvironment : "");
        pthread_mutex_unlock(&directoryLock);
        if (!usable) {
            fprintf(stderr, "*****************\nCannot Acces %s\n****************\n",
                    fromEnvironment);
        }
        return g_szPipeDir;
    }
    pthread_mutex_lock(&directoryLock);
    if (g_szPipeDir[0] == '\0') {
        char cwd[VELK_MAX_DIR];
        if (getcwd(cwd, sizeof cwd) != NULL) {
            StoreDirectory(g_szPipeDir, cwd);
        }
    }
    pthread_mutex_unlock(&directoryLock);
    return g_szPipeDir;
}

char* VelkGetCwd(char* buffer, size_t size) {
    return getcwd(buffer, size);
}

int VelkChDir(const char* path) {
    return chdir(path);
}

int VelkGetStdInFileNo(void) {
    return fileno(stdin);
}
