/* CGenStr: a growable, NUL-terminated byte string with a C interface.
 *
 * The structure is owned by the caller (stack, another structure, global) and
 * set up with one of the init calls.  A string either owns a heap buffer that
 * grows on demand, or wraps a caller's fixed buffer that never grows. */
#ifndef VELK_GEN_STR_H
#define VELK_GEN_STR_H

#include <stdarg.h>
#include <stdint.h>

#include "velk-export.h"

VELK_BEGIN_DECLS

typedef struct CGenStr {
    char* pBuffer;        /* character storage, NUL-terminated after every successful call */
    uint32_t uLength;     /* bytes in use including the terminating NUL (empty string: 1) */
    uint32_t uCapacity;   /* bytes of storage including the NUL position */
    uint32_t bOwnsBuffer; /* 1: heap storage that may grow; 0: caller's fixed buffer */
} CGenStr;

#define CGENSTR_NPOS 0xFFFFFFFFu

uint32_t CGenStrInit(CGenStr* s);
uint32_t CGenStrInitFromCStr(CGenStr* s, const char* text);
/* Wraps a caller's buffer of bufferSize bytes (at most bufferSize - 2
 * characters).  0, with s untouched, for a null buffer or bufferSize < 2. */
uint32_t CGenStrInitBuff(CGenStr* s, char* buffer, uint32_t textLength, uint32_t bufferSize);
uint32_t CGenStrIsInit(const CGenStr* s);
uint32_t CGenStrReserve(CGenStr* s, uint32_t n);
uint32_t CGenStrSize(const CGenStr* s);
uint32_t CGenStrIsEmpty(const CGenStr* s);
uint32_t CGenStrCapacity(const CGenStr* s);
void CGenStrDelete(CGenStr* s);
char* CGenStrDeleteKeepBuffer(CGenStr* s);

/* Appending and assigning calls return 1, or 0 with the string unchanged when
 * it cannot grow (a fixed buffer, or no memory: the old storage is kept). */
uint32_t CGenStrCatChar(CGenStr* s, const char* text);
uint32_t CGenStrCatC(CGenStr* s, char c);
uint32_t CGenStrCatStr(CGenStr* s, const CGenStr* other);
uint32_t CGenStrCatf(CGenStr* s, const char* format, ...) VELK_PRINTF(2, 3);
uint32_t CGenStrAssignChar(CGenStr* s, const char* text);
uint32_t CGenStrAssignStr(CGenStr* dst, const CGenStr* src);

char* CGenStrTail(const CGenStr* s, uint32_t index);
int CGenStrGet(const CGenStr* s, uint32_t index);
void CGenStrSet(CGenStr* s, uint32_t index, char c);
uint32_t CGenStrLastI(const CGenStr* s);
void CGenStrClear(CGenStr* s);
char* CGenStrC_Str(const CGenStr* s);

int32_t CGenStrSprintf(CGenStr* s, const char* format, ...) VELK_PRINTF(2, 3);
int32_t CGenStrVSprintf(CGenStr* s, const char* format, va_list args) VELK_PRINTF(2, 0);
/* Formatting returns the count, or -1 (the string left empty from the start,
 * or from offset on) when it cannot grow; SprintfI also gives -1 for an offset
 * beyond the text. */
int32_t CGenStrSprintfI(CGenStr* s, uint32_t offset, const char* format, ...) VELK_PRINTF(3, 4);

uint32_t CGenStrGetSuffix(const CGenStr* s, uint32_t start, CGenStr* out);
uint32_t CGenStrSubstr(const CGenStr* s, int32_t start, int32_t count, CGenStr* out);
uint32_t CGenStrGetToken(const CGenStr* s, char delimiter, int32_t* pos, int32_t* found,
                         CGenStr* out);
uint32_t CGenStrFindChar(const CGenStr* s, char c);
int CGenStrCmpCStrI(const CGenStr* s, const char* text);
uint32_t CGenStrIsAlpha(const CGenStr* s);
uint32_t CGenStrIsAlnum(const CGenStr* s);

VELK_END_DECLS

#endif
