/* Trace flags, the trace file and the writing of trace lines. */
#include "tracing.h"

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "process-helpers.h"

static const char* const traceTypeNames[VELK_TRACE_TYPE_COUNT] = {
    "pipe", "pipe2", "mem", NULL, "diag", "mb", "de", "nls", "cli", "pv", "dll",
};

/* Read on every trace call, written rarely: atomics keep readers cheap. */
static atomic_int traceFlags[VELK_TRACE_TYPE_COUNT];
static atomic_int ownTraceType = -1;

static char traceFileName[VELK_MAX_DIR];
static pthread_mutex_t traceFileLock = PTHREAD_MUTEX_INITIALIZER;
static pthread_once_t environmentOnce = PTHREAD_ONCE_INIT;

static void StoreTraceFilename(const char* fileName);
static int ApplyTracingList(const char* list);

static void ReadTracingEnvironment(void) {
    const char* list = getenv("VELK_TRACE");
    if (list != NULL) {
        ApplyTracingList(list);
    }
    const char* fileName = getenv("VELK_TRACE_FILE");
    if (fileName != NULL && fileName[0] != '\0') {
        StoreTraceFilename(fileName);
    }
}

static void EnsureTracingInitialised(void) {
    pthread_once(&environmentOnce, ReadTracingEnvironment);
}

static int OwnTraceType(void) {
    int type = atomic_load_explicit(&ownTraceType, memory_order_relaxed);
    if (type < 0) {
        type = VelkTraceTypeForProcessName(InitProcName());
        atomic_store_explicit(&ownTraceType, type, memory_order_relaxed);
    }
    return type;
}

int TracingTypeStrToType(const char* name) {
    if (name == NULL) {
        return -1;
    }
    for (int type = 0; type < VELK_TRACE_TYPE_COUNT; ++type) {
        if (traceTypeNames[type] != NULL && strcasecmp(name, traceTypeNames[type]) == 0) {
            return type;
        }
    }
    return -1;
}

static void SetFlag(int type, int on) {
    if (type == VELK_TRACE_OWN) {
        type = OwnTraceType();
    }
    atomic_store_explicit(&traceFlags[type], on ? 1 : 0, memory_order_relaxed);
}

void VelkSetTracingType(int type, int on) {
    EnsureTracingInitialised();
    if (type >= 0 && type < VELK_TRACE_TYPE_COUNT) {
        SetFlag(type, on);
    }
}

int TracingTypeEnabled(int type) {
    if (type < 0 || type >= VELK_TRACE_TYPE_COUNT) {
        return 0;
    }
    EnsureTracingInitialised();
    if (type == VELK_TRACE_OWN) {
        type = OwnTraceType();
    }
    return atomic_load_explicit(&traceFlags[type], memory_order_relaxed);
}

int VelkSetTracingFromList(const char* list) {
    EnsureTracingInitialised();
    return ApplyTracingList(list);
}

/* Switches on every type named in list; "all" switches on every type. */
static int ApplyTracingList(const char* list) {
    if (list == NULL) {
        return -1;
    }
    int result = 0;
    const char* cursor = list;
    while (*cursor != '\0') {
        size_t length = strcspn(cursor, ",");
        char name[32];
        /* Blanks around a name are allowed: "pipe, mem". */
        const char* start = cursor;
        const char* end = cursor + length;
        while (start < end && (*start == ' ' || *start == '\t')) {
            ++start;
        }
        while (end > start && (end[-1] == ' ' || end[-1] == '\t')) {
            --end;
        }
        size_t nameLength = (size_t)(end - start);
        if (nameLength > 0) {
            int type = -1;
            if (nameLength < sizeof name) {
                memcpy(name, start, nameLength);
                name[nameLength] = '\0';
                type = TracingTypeStrToType(name);
                if (type < 0 && strcasecmp(name, "all") == 0) {
                    for (int each = 0; each < VELK_TRACE_TYPE_COUNT; ++each) {
                        atomic_store_explicit(&traceFlags[each], 1, memory_order_relaxed);
                    }
                    type = VELK_TRACE_TYPE_COUNT;
                }
            }
            if (type < 0) {
                result = -1;
            } else if (type < VELK_TRACE_TYPE_COUNT) {
                SetFlag(type, 1);
            }
        }
        cursor += length;
        if (*cursor == ',') {
            ++cursor;
        }
    }
    return result;
}

/* ---- Trace file ---- */

static void StoreTraceFilename(const char* fileName) {
    char resolved[VELK_MAX_DIR];
    int written = 0;
    if (fileName == NULL || fileName[0] == '\0') {
        resolved[0] = '\0';
    } else if (fileName[0] == '/') {
        written = snprintf(resolved, sizeof resolved, "%s", fileName);
    } else {
        char cwd[VELK_MAX_DIR];
        if (getcwd(cwd, sizeof cwd) == NULL) {
            return;
        }
        written = snprintf(resolved, sizeof resolved, "%s/%s", cwd, fileName);
    }
    if (written < 0 || (size_t)written >= sizeof resolved) {
        return; /* a cut name would write somewhere else: keep the old one */
    }
    pthread_mutex_lock(&traceFileLock);
    memcpy(traceFileName, resolved, strlen(resolved) + 1);
    pthread_mutex_unlock(&traceFileLock);
}

void SetTraceFilenameForComponent(const char* fileName) {
    EnsureTracingInitialised();
    StoreTraceFilename(fileName);
}

const char* VelkGetTraceFilename(void) {
    EnsureTracingInitialised();
    return traceFileName;
}

void ProcessTracingArgs(int argc, char** argv) {
    if (argv == NULL) {
        return;
    }
    int traceAsked = 0;
    for (int i = 1; i < argc && !traceAsked; ++i) {
        traceAsked = argv[i] != NULL && strstr(argv[i], "trace") != NULL;
    }
    if (!traceAsked) {
        return;
    }
    EnsureTracingInitialised();
    const char* fromEnvironment = getenv("VELK_TRACE_FILE");
    if (fromEnvironment != NULL && fromEnvironment[0] != '\0') {
        return;
    }
    const char* program = (argc > 0 && argv[0] != NULL) ? argv[0] : InitProcName();
    char baseName[VELK_MAX_DIR];
    char fileName[VELK_MAX_DIR + 32];
    if (strlen(program) >= sizeof baseName) {
        return;
    }
    SplitFilename(program, NULL, baseName, NULL);
    snprintf(fileName, sizeof fileName, "%s%ld_trace", baseName, (long)VelkGetClientPid());
    SetTraceFilenameForComponent(fileName);
}

/* ---- Writing ---- */

static void WriteAll(int descriptor, const char* text, size_t length) {
    while (length > 0) {
        ssize_t written = write(descriptor, text, length);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        text += written;
        length -= (size_t)written;
    }
}

/* Opens the trace file for appending: created private to this user, never
 * through a symbolic link, and only a regular file of this user's (a FIFO,
 * device or another user's file planted under the name is left alone).
 * -1 when it cannot be used. */
static int OpenTraceFile(const char* fileName) {
    int descriptor =
        open(fileName, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK,
             S_IRUSR | S_IWUSR);
    if (descriptor < 0) {
        return -1;
    }
    struct stat status;
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != geteuid()) {
        close(descriptor);
        return -1;
    }
    return descriptor;
}

/* One write per line: to the trace file when one is in force and can be
 * used, else to standard error. */
static void WriteTraceText(const char* text, size_t length) {
    char fileName[VELK_MAX_DIR];
    pthread_mutex_lock(&traceFileLock);
    memcpy(fileName, traceFileName, strlen(traceFileName) + 1);
    pthread_mutex_unlock(&traceFileLock);

    if (fileName[0] != '\0') {
        int descriptor = OpenTraceFile(fileName);
        if (descriptor >= 0) {
            WriteAll(descriptor, text, length);
            close(descriptor);
            return;
        }
    }
    WriteAll(STDERR_FILENO, text, length);
}

static const char* LastPathComponent(const char* path) {
    if (path == NULL) {
        return "";
    }
    const char* slash = strrchr(path, '/');
    return slash != NULL ? slash + 1 : path;
}

/* Appends the formatted message to text[used..]; a message that does not fit
 * is cut and still ends in a line feed.  Returns the new length. */
static size_t AppendMessage(char* text, size_t used, size_t size, const char* format,
                            va_list args) {
    if (format == NULL || used >= size - 1) {
        return used < size ? used : size - 1;
    }
    int length = vsnprintf(text + used, size - used, format, args);
    if (length < 0) {
        text[used] = '\0';
        return used;
    }
    if ((size_t)length < size - used) {
        return used + (size_t)length;
    }
    text[size - 2] = '\n';
    return size - 1;
}

void VTPRINTF(int type, const char* sourcePath, int line, const char* function, const char* format,
              va_list args) {
    if (!TracingTypeEnabled(type)) {
        return;
    }
    int savedErrno = errno;
    char text[VELK_TRACE_LINE_MAX];
    int header = snprintf(text, sizeof text, "%s(%lu):%s():%s:%d ", InitProcName(),
                          (unsigned long)VelkGetClientPid(), function != NULL ? function : "",
                          LastPathComponent(sourcePath), line);
    size_t used = header < 0 ? 0 : (size_t)header;
    if (used >= sizeof text) {
        used = sizeof text - 1;
    }
    used = AppendMessage(text, used, sizeof text, format, args);
    WriteTraceText(text, used);
    errno = savedErrno;
}

void TPRINTF(int type, const char* sourcePath, int line, const char* function, const char* format,
             ...) {
    va_list args;
    va_start(args, format);
    VTPRINTF(type, sourcePath, line, function, format, args);
    va_end(args);
}

void TPRINTF_NH(int type, const char* sourcePath, int line, const char* format, ...) {
    if (!TracingTypeEnabled(type)) {
        return;
    }
    int savedErrno = errno;
    char text[VELK_TRACE_LINE_MAX];
    va_list args;
    va_start(args, format);
    size_t used = AppendMessage(text, 0, sizeof text, format, args);
    va_end(args);
    fwrite(text, 1, used, stdout);
    fflush(stdout);
    errno = savedErrno;
}
