/* Platform wrappers shared by every C layer: test-flag bits, the
 * numbered lock table, time readings, string and number wrappers, bounded
 * copies, boolean text, formatted output and the fault injection that tests
 * use to reach the failure paths. */
#include "test-common.h"

#include <ctype.h>
#include <errno.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/select.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include "support-internal.h"

/* ------------------------------------------------------------------------ */
/* Fault injection                                                          */
/* ------------------------------------------------------------------------ */

/* -1: off; n >= 0: n more allocations succeed, then all fail. */
static int32_t s_allocFailCountdown = -1;

/* Per lock-table entry: the error to inject (0 none) and how many grabs or
 * releases pass before it fires. */
static int s_lockFaultError[VELK_MUTEX_COUNT];
static uint32_t s_lockFaultAfter[VELK_MUTEX_COUNT];

void VelkInjectAllocFailure(int32_t after) {
    __atomic_store_n(&s_allocFailCountdown, after < 0 ? -1 : after, __ATOMIC_SEQ_CST);
}

/* 1 when this allocation is to fail. */
static int AllocationShouldFail(void) {
    int32_t current = __atomic_load_n(&s_allocFailCountdown, __ATOMIC_SEQ_CST);
    while (current > 0) {
        if (__atomic_compare_exchange_n(&s_allocFailCountdown, &current, current - 1, 0,
                                        __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST)) {
            return 0;
        }
    }
    return current == 0;
}

void* Velk_I_Malloc(size_t size) {
    return AllocationShouldFail() ? NULL : malloc(size);
}

void* Velk_I_Calloc(size_t count, size_t size) {
    return AllocationShouldFail() ? NULL : calloc(count, size);
}

void* Velk_I_Realloc(void* memory, size_t size) {
    return AllocationShouldFail() ? NULL : realloc(memory, size);
}

int VelkInjectLockFailure(int index, uint32_t after, int error) {
    if (index < 0 || index >= VELK_MUTEX_COUNT) {
        return -1;
    }
    /* Clear first so that a concurrent grab never sees the new count with
     * the old error. */
    __atomic_store_n(&s_lockFaultError[index], 0, __ATOMIC_SEQ_CST);
    __atomic_store_n(&s_lockFaultAfter[index], after, __ATOMIC_SEQ_CST);
    __atomic_store_n(&s_lockFaultError[index], error, __ATOMIC_SEQ_CST);
    return 0;
}

/* The injected error for this grab or release of entry index, or 0. */
static int LockFault(int index) {
    if (__atomic_load_n(&s_lockFaultError[index], __ATOMIC_SEQ_CST) == 0) {
        return 0;
    }
    uint32_t after = __atomic_load_n(&s_lockFaultAfter[index], __ATOMIC_SEQ_CST);
    while (after > 0) {
        if (__atomic_compare_exchange_n(&s_lockFaultAfter[index], &after, after - 1, 0,
                                        __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST)) {
            return 0;
        }
    }
    return __atomic_exchange_n(&s_lockFaultError[index], 0, __ATOMIC_SEQ_CST);
}

/* ------------------------------------------------------------------------ */
/* Test flags                                                               */
/* ------------------------------------------------------------------------ */

int VelkGetFlagInteractive(uint32_t flags) {
    return (flags & VELK_FLAG_INTERACTIVE) != 0;
}

int VelkGetFlagFixtureNeeded(uint32_t flags) {
    return (flags & VELK_FLAG_FIXTURE_NEEDED) != 0;
}

int VelkGetFlagShowFixturePromptEveryRun(uint32_t flags) {
    return (flags & VELK_FLAG_SHOW_FIXTURE_PROMPT_EVERY_RUN) != 0;
}

int VelkGetFlagIsRisky(uint32_t flags) {
    return (flags & VELK_FLAG_RISKY) != 0;
}

int VelkGetFlagIsDestructive(uint32_t flags) {
    return (flags & VELK_FLAG_DESTRUCTIVE) != 0;
}

int VelkGetFlagIsSoftwareDiag(uint32_t flags) {
    return (flags & VELK_FLAG_SOFTWARE_DIAG) != 0;
}

int VelkGetFlagSelfFixPossible(uint32_t flags) {
    return (flags & VELK_FLAG_SELF_FIX_POSSIBLE) != 0;
}

int VelkGetFlagSelfHelp(uint32_t flags) {
    return (flags & VELK_FLAG_SELF_HELP) != 0;
}

/* ------------------------------------------------------------------------ */
/* Lock table                                                               */
/* ------------------------------------------------------------------------ */

static pthread_mutex_t s_mutexes[VELK_MUTEX_COUNT] = {
    PTHREAD_MUTEX_INITIALIZER, PTHREAD_MUTEX_INITIALIZER, PTHREAD_MUTEX_INITIALIZER,
    PTHREAD_MUTEX_INITIALIZER, PTHREAD_MUTEX_INITIALIZER, PTHREAD_MUTEX_INITIALIZER,
    PTHREAD_MUTEX_INITIALIZER, PTHREAD_MUTEX_INITIALIZER, PTHREAD_MUTEX_INITIALIZER,
    PTHREAD_MUTEX_INITIALIZER, PTHREAD_MUTEX_INITIALIZER, PTHREAD_MUTEX_INITIALIZER,
};

uint32_t iMutexHeld[VELK_MUTEX_COUNT];
uint32_t iMutexHeldPid[VELK_MUTEX_COUNT];

/* getpid is a system call on every glibc since 2.25, and costly under
 * virtualisation; the lock table asks for it on every grab.  The value is
 * cached and forgotten in the child of every fork. */
static uint32_t s_cachedPid;
static pthread_once_t s_pidOnce = PTHREAD_ONCE_INIT;

static void ForgetPid(void) {
    __atomic_store_n(&s_cachedPid, 0u, __ATOMIC_RELAXED);
}

static void RegisterForgetPid(void) {
    pthread_atfork(NULL, NULL, ForgetPid);
}

static uint32_t CurrentPid(void) {
    pthread_once(&s_pidOnce, RegisterForgetPid);
    uint32_t pid = __atomic_load_n(&s_cachedPid, __ATOMIC_RELAXED);
    if (pid == 0) {
        pid = (uint32_t)getpid();
        __atomic_store_n(&s_cachedPid, pid, __ATOMIC_RELAXED);
    }
    return pid;
}

/* The diagnostic words are written only by the holder; atomics keep readers
 * on other threads (diagnostics, tests) free of data races. */
static void NoteAcquired(int index) {
    __atomic_add_fetch(&iMutexHeld[index], 1u, __ATOMIC_RELAXED);
    __atomic_store_n(&iMutexHeldPid[index], CurrentPid(), __ATOMIC_RELAXED);
}

static void NoteReleasing(int index) {
    __atomic_sub_fetch(&iMutexHeld[index], 1u, __ATOMIC_RELAXED);
    __atomic_store_n(&iMutexHeldPid[index], 0u, __ATOMIC_RELAXED);
}

static int LockError(int error) {
    fflush(NULL);
    return error;
}

int VelkGrabMutex(const char* file, int line, const char* function, int index, int grab) {
    (void)file;
    (void)line;
    (void)function;
    if (index < 0 || index >= VELK_MUTEX_COUNT) {
        return -1;
    }
    int error = LockFault(index);
    if (error != 0) {
        return LockError(error);
    }
    if (grab) {
        error = pthread_mutex_lock(&s_mutexes[index]);
        if (error != 0) {
            return LockError(error);
        }
        NoteAcquired(index);
        return 0;
    }
    /* Update the words while still holding the entry, so that the next
     * holder's pid is never overwritten with our 0. */
    uint32_t heldPid = __atomic_load_n(&iMutexHeldPid[index], __ATOMIC_RELAXED);
    NoteReleasing(index);
    error = pthread_mutex_unlock(&s_mutexes[index]);
    if (error != 0) {
        __atomic_add_fetch(&iMutexHeld[index], 1u, __ATOMIC_RELAXED);
        __atomic_store_n(&iMutexHeldPid[index], heldPid, __ATOMIC_RELAXED);
        return LockError(error);
    }
    return 0;
}

int VelkTryMutex(const char* file, int line, const char* function, int index) {
    (void)file;
    (void)line;
    (void)function;
    if (index < 0 || index >= VELK_MUTEX_COUNT) {
        return -1;
    }
    int error = LockFault(index);
    if (error != 0) {
        return error;
    }
    error = pthread_mutex_trylock(&s_mutexes[index]);
    if (error != 0) {
        return error;
    }
    NoteAcquired(index);
    return 0;
}

/* ------------------------------------------------------------------------ */
/* Time                                                                     */
/* ------------------------------------------------------------------------ */

int VelkWait(uint32_t milliseconds) {
    struct timeval timeout;
    timeout.tv_sec = (time_t)(milliseconds / 1000u);
    timeout.tv_usec = (suseconds_t)((milliseconds % 1000u) * 1000u);
    return select(0, NULL, NULL, NULL, &timeout);
}

int VelkSleep(uint32_t milliseconds) {
    struct timespec duration;
    duration.tv_sec = (time_t)(milliseconds / 1000u);
    duration.tv_nsec = (long)(milliseconds % 1000u) * 1000000L;
    return nanosleep(&duration, NULL);
}

uint32_t VelkGetTimeOfDay(void) {
    struct timeval now;
    gettimeofday(&now, NULL);
    return (uint32_t)(now.tv_sec % 86400) * 1000u + (uint32_t)(now.tv_usec / 1000);
}

uint32_t VelkMilliSeconds(void) {
    struct timeval now;
    gettimeofday(&now, NULL);
    return (uint32_t)now.tv_sec * 1000u + (uint32_t)(now.tv_usec / 1000);
}

static void FillTimeRecord(VelkTimeRecord* record, const struct tm* broken) {
    record->year = (uint32_t)(broken->tm_year + 1900);
    record->month = (uint32_t)(broken->tm_mon + 1);
    record->day = (uint32_t)broken->tm_mday;
    record->hour = (uint32_t)broken->tm_hour;
    record->minute = (uint32_t)broken->tm_min;
    record->second = (uint32_t)broken->tm_sec;
    record->milliseconds = 0;
}

int VelkGetUtcTime(VelkTimeRecord* record) {
    if (record == NULL) {
        return 1;
    }
    time_t now = time(NULL);
    struct tm broken;
    gmtime_r(&now, &broken);
    FillTimeRecord(record, &broken);
    return 0;
}

int VelkGetLocalTime(VelkTimeRecord* record) {
    if (record == NULL) {
        return 1;
    }
    time_t now = time(NULL);
    struct tm broken;
    localtime_r(&now, &broken);
    FillTimeRecord(record, &broken);
    return 0;
}

/* ------------------------------------------------------------------------ */
/* String and number wrappers                                               */
/* ------------------------------------------------------------------------ */

void* VelkMemSet(void* dst, int c, size_t n) {
    return memset(dst, c, n);
}

void* VelkMemMove(void* dst, const void* src, size_t n) {
    return memmove(dst, src, n);
}

size_t VelkStrLen(const char* s) {
    return strlen(s);
}

int VelkStrCmp(const char* a, const char* b) {
    return strcmp(a, b);
}

int VelkStrNCmp(const char* a, const char* b, size_t n) {
    return strncmp(a, b, n);
}

int VelkStrCaseCmp(const char* a, const char* b) {
    return strcasecmp(a, b);
}

char* VelkStrStr(const char* haystack, const char* needle) {
    return strstr(haystack, needle);
}

char* VelkStrChr(const char* s, int c) {
    return strchr(s, c);
}

size_t VelkStrCSpn(const char* s, const char* reject) {
    return strcspn(s, reject);
}

char* VelkStrCpy(char* dst, const char* src) {
    return strcpy(dst, src);
}

char* VelkStrCat(char* dst, const char* src) {
    return strcat(dst, src);
}

char* VelkStrNCpy(char* dst, const char* src, size_t n) {
    if (dst == NULL || src == NULL) {
        return NULL;
    }
    size_t copied = 0;
    while (copied < n && src[copied] != '\0') {
        dst[copied] = src[copied];
        copied++;
    }
    if (copied < n) {
        dst[copied] = '\0';
    }
    return dst;
}

long VelkStrToL(const char* text, char** end, int base) {
    return strtol(text, end, base);
}

int VelkAToI(const char* text) {
    return (int)strtol(text, NULL, 10);
}

long VelkAToL(const char* text) {
    return strtol(text, NULL, 10);
}

unsigned long atoul(const char* text) {
    return strtoul(text, NULL, 10);
}

float VelkAToF(const char* text) {
    return (float)strtod(text, NULL);
}

int VelkIsAlpha(int c) {
    return isalpha(c);
}

int VelkIsDigit(int c) {
    return isdigit(c);
}

int VelkIsAlNum(int c) {
    return isalnum(c);
}

int VelkToLower(int c) {
    if (c < -128 || c > 255) {
        return c;
    }
    return tolower(c);
}

int VelkSScanf(const char* text, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int result = vsscanf(text, format, args);
    va_end(args);
    return result;
}

int VelkSprintf(char* dst, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int result = vsprintf(dst, format, args);
    va_end(args);
    return result;
}

char g_sLogFilePath[256];

int VelkPrintf(const char* format, ...) {
    va_list args;
    int count;
    if (g_sLogFilePath[0] == '\0') {
        va_start(args, format);
        count = vprintf(format, args);
        va_end(args);
        return count;
    }
    FILE* log = fopen(g_sLogFilePath, "a");
    if (log == NULL) {
        perror("Opening log file");
        return 0;
    }
    va_start(args, format);
    count = vfprintf(log, format, args);
    va_end(args);
    if (fclose(log) != 0) {
        perror("Closing log file");
    }
    return count;
}

/* ------------------------------------------------------------------------ */
/* Bounded copies                                                           */
/* ------------------------------------------------------------------------ */

int VelkSafeStrNCpy(char* dst, const char* src, size_t size) {
    if (dst == NULL || size < 1) {
        return 0;
    }
    dst[0] = '\0';
    if (src == NULL) {
        return 0;
    }
    size_t length = strnlen(src, size - 1);
    memcpy(dst, src, length);
    dst[length] = '\0';
    return 1;
}

int VelkSafeStrCpy(char* dst, const char* src, size_t size) {
    if (dst == NULL || size < 1) {
        return 0;
    }
    dst[0] = '\0';
    if (src == NULL) {
        return 0;
    }
    if (strnlen(src, size) > size - 1) {
        VelkSafeStrNCpy(dst, "!!!OVERFLOW!!!", size);
        return 0;
    }
    return VelkSafeStrNCpy(dst, src, size);
}

int VelkSafeStrCat(char* dst, const char* src, size_t size) {
    if (dst == NULL) {
        return 0;
    }
    size_t used = strnlen(dst, size);
    if (used >= size) {
        /* No terminator inside the destination: nothing can be appended. */
        return 0;
    }
    return VelkSafeStrCpy(dst + used, src, size - used);
}

/* ------------------------------------------------------------------------ */
/* Conversions                                                              */
/* ------------------------------------------------------------------------ */

int StrToBool(const char* text) {
    if (text == NULL) {
        return 1;
    }
    if (strcmp(text, "0") == 0 || strcasecmp(text, "f") == 0 || strcasecmp(text, "false") == 0) {
        return 0;
    }
    return 1;
}

const char* BoolToStr(int value) {
    return value ? "true" : "false";
}

int CopyStrToPointer(char** target, const char* text) {
    if (target == NULL || text == NULL) {
        return 0;
    }
    size_t length = strlen(text);
    char* copy = Velk_I_Calloc(length + 1, 1);
    if (copy == NULL) {
        return 0;
    }
    memcpy(copy, text, length);
    free(*target);
    *target = copy;
    return 1;
}

char* VelkAllocStringEx(const char* text) {
    if (text == NULL) {
        return NULL;
    }
    size_t length = strlen(text);
    char* copy = Velk_I_Calloc(length + 4, 1);
    if (copy != NULL) {
        memcpy(copy, text, length);
    }
    return copy;
}

void VelkVerifyFailed(int line, const char* file) {
    fprintf(stderr, VELK_VERIFY_FAILED_FORMAT, line, file);
    exit(1);
}
