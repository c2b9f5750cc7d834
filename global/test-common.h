/* Platform wrappers shared by every C layer: test-flag bits, the numbered
 * process-wide lock table, time readings, string and number wrappers, bounded
 * copies, boolean text and formatted output. */
#ifndef VELK_TEST_COMMON_H
#define VELK_TEST_COMMON_H

#include <stddef.h>
#include <stdint.h>

#include "velk-export.h"

VELK_BEGIN_DECLS

/* ---- Test flags: one bit each of a test's 32-bit FLAGS word; 0 or 1. ---- */
#define VELK_FLAG_INTERACTIVE 0x01u
#define VELK_FLAG_FIXTURE_NEEDED 0x02u
#define VELK_FLAG_SHOW_FIXTURE_PROMPT_EVERY_RUN 0x04u
#define VELK_FLAG_RISKY 0x08u
#define VELK_FLAG_DESTRUCTIVE 0x10u
#define VELK_FLAG_SOFTWARE_DIAG 0x20u
#define VELK_FLAG_SELF_FIX_POSSIBLE 0x40u
#define VELK_FLAG_SELF_HELP 0x80u

int VelkGetFlagInteractive(uint32_t flags);
int VelkGetFlagFixtureNeeded(uint32_t flags);
int VelkGetFlagShowFixturePromptEveryRun(uint32_t flags);
int VelkGetFlagIsRisky(uint32_t flags);
int VelkGetFlagIsDestructive(uint32_t flags);
int VelkGetFlagIsSoftwareDiag(uint32_t flags);
int VelkGetFlagSelfFixPossible(uint32_t flags);
int VelkGetFlagSelfHelp(uint32_t flags);

/* ---- Lock table: twelve process-wide non-recursive mutexes. ---- */
#define VELK_MUTEX_COUNT 12
#define VELK_MUTEX_PIPE_READ 3
#define VELK_MUTEX_PIPE_WRITE 4
#define VELK_MUTEX_ALLOCATOR 5
#define VELK_MUTEX_MESSAGE_TABLE 10

extern uint32_t iMutexHeld[VELK_MUTEX_COUNT];    /* current hold count per entry */
extern uint32_t iMutexHeldPid[VELK_MUTEX_COUNT]; /* pid of the last holder, 0 after release */

/* grab 1 locks, grab 0 unlocks.  0, the thread library's error, or -1 for a bad index. */
int VelkGrabMutex(const char* file, int line, const char* function, int index, int grab);
/* Non-blocking lock: 0 when acquired, the error number (EBUSY) otherwise, -1 for a bad index. */
int VelkTryMutex(const char* file, int line, const char* function, int index);

#define VELK_LOCK(index) VelkGrabMutex(__FILE__, __LINE__, __func__, (index), 1)
#define VELK_UNLOCK(index) VelkGrabMutex(__FILE__, __LINE__, __func__, (index), 0)
#define VELK_TRYLOCK(index) VelkTryMutex(__FILE__, __LINE__, __func__, (index))

/* ---- Time ---- */
typedef struct VelkTimeRecord {
    uint32_t year;  /* four digits */
    uint32_t month; /* 1-12 */
    uint32_t day;   /* 1-31 */
    uint32_t hour;  /* 0-23 */
    uint32_t minute;
    uint32_t second;
    uint32_t milliseconds; /* always written as 0 */
} VelkTimeRecord;

int VelkWait(uint32_t milliseconds);
int VelkSleep(uint32_t milliseconds);
uint32_t VelkGetTimeOfDay(void);              /* milliseconds since midnight UTC */
uint32_t VelkMilliSeconds(void);              /* wall clock in ms, wrapping; use differences only */
int VelkGetUtcTime(VelkTimeRecord* record);   /* 0, or 1 for a null record */
int VelkGetLocalTime(VelkTimeRecord* record); /* 0, or 1 for a null record */

/* ---- String and number wrappers ---- */
void* VelkMemSet(void* dst, int c, size_t n);
void* VelkMemMove(void* dst, const void* src, size_t n);
size_t VelkStrLen(const char* s);
int VelkStrCmp(const char* a, const char* b);
int VelkStrNCmp(const char* a, const char* b, size_t n);
int VelkStrCaseCmp(const char* a, const char* b);
char* VelkStrStr(const char* haystack, const char* needle);
char* VelkStrChr(const char* s, int c);
size_t VelkStrCSpn(const char* s, const char* reject);
char* VelkStrCpy(char* dst, const char* src);
char* VelkStrCat(char* dst, const char* src);
char* VelkStrNCpy(char* dst, const char* src, size_t n);
long VelkStrToL(const char* text, char** end, int base);
int VelkAToI(const char* text);
long VelkAToL(const char* text);
unsigned long atoul(const char* text);
float VelkAToF(const char* text);
int VelkIsAlpha(int c);
int VelkIsDigit(int c);
int VelkIsAlNum(int c);
int VelkToLower(int c);
int VelkSScanf(const char* text, const char* format, ...);
int VelkSprintf(char* dst, const char* format, ...) VELK_PRINTF(2, 3);

/* When g_sLogFilePath holds a path, VelkPrintf appends there instead of stdout. */
extern char g_sLogFilePath[256];
int VelkPrintf(const char* format, ...) VELK_PRINTF(1, 2);

/* ---- Bounded copies: 1 success, 0 failure ---- */
int VelkSafeStrNCpy(char* dst, const char* src, size_t size);
int VelkSafeStrCpy(char* dst, const char* src, size_t size);
int VelkSafeStrCat(char* dst, const char* src, size_t size);

/* ---- Conversions ---- */
int StrToBool(const char* text);
const char* BoolToStr(int value);
int CopyStrToPointer(char** target, const char* text);
char* VelkAllocStringEx(const char* text);

/* Written to stderr before the process ends with status 1 when a working
 * string cannot be had. */
#define VELK_VERIFY_FAILED_FORMAT \
    "Velkcore Verify Failed: Line:%i File:%s Possibly Out of Memory.\n"
VELK_NORETURN void VelkVerifyFailed(int line, const char* file);
#define VELK_VERIFY(condition)                    \
    do {                                          \
        if (!(condition)) {                       \
            VelkVerifyFailed(__LINE__, __FILE__); \
        }                                         \
    } while (0)

/* ---- Fault injection for tests: out-of-memory and lock failures ----
 * Process-wide and thread-safe; off by default.  Production code never calls
 * these. */

/* Allocations made by the support library from the C library (CGenStr
 * buffers, CGenList nodes, CopyStrToPointer, VelkAllocStringEx, the
 * allocator's arenas and trace records): the next `after` succeed, then every
 * one fails until the next call.  A negative `after` switches failures off. */
void VelkInjectAllocFailure(int32_t after);
/* Lock-table entry `index`: the next `after` grabs or releases (VelkGrabMutex,
 * VelkTryMutex) behave normally, then one of them fails with `error` without
 * touching the mutex, the hold count or the pid (one shot).  error 0 clears.
 * 0, or -1 for an index outside 0..11. */
int VelkInjectLockFailure(int index, uint32_t after, int error);

VELK_END_DECLS

#endif
