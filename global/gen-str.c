/* CGenStr: the growable NUL-terminated byte string of the C layers.
 *
 * Deviations from the description, all on paths it leaves broken:
 * - a failed growth keeps the old storage and content (the description drops
 *   the buffer, leaking it and losing the text);
 * - a string without storage (after CGenStrDelete, length 0) is treated as
 *   empty by the appending calls, so its first append allocates exactly what
 *   it needs instead of writing before the buffer;
 * - a caller's fixed buffer is never freed or reallocated;
 * - size computations that would overflow 32 bits fail instead of wrapping. */
#include "gen-str.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "support-internal.h"
#include "test-common.h"

/* Slack added on growth: 64 up to 128 bytes, half the request up to 2048,
 * then 2048. */
static uint32_t Growth(uint32_t requested) {
    int32_t n = (int32_t)requested;
    if (n <= 128) {
        return 64;
    }
    if (n >= 0x800) {
        return 0x800;
    }
    return (uint32_t)(n >> 1);
}

/* Bytes in use including the NUL, counting a string without storage as
 * empty (1). */
static uint32_t UsedBytes(const CGenStr* s) {
    return s->uLength == 0 ? 1u : s->uLength;
}

/* Makes room for n bytes (NUL included).  Returns 1, or 0 with the string
 * unchanged. */
static uint32_t GrowIt(CGenStr* s, uint32_t n) {
    if (!s->bOwnsBuffer) {
        return 0;
    }
    if (s->pBuffer == NULL) {
        char* fresh = Velk_I_Calloc(n, 1);
        if (fresh == NULL) {
            return 0;
        }
        s->pBuffer = fresh;
        s->uCapacity = n;
        s->uLength = 1;
        return 1;
    }
    uint32_t slack = Growth(n);
    if (n > UINT32_MAX - slack) {
        return 0;
    }
    char* grown = Velk_I_Realloc(s->pBuffer, (size_t)n + slack);
    if (grown == NULL) {
        return 0;
    }
    s->pBuffer = grown;
    s->uCapacity = n + slack;
    return 1;
}

/* Appends n bytes of text (which may lie inside s's own buffer). */
static uint32_t CatBytes(CGenStr* s, const char* text, uint32_t n) {
    uint32_t used = UsedBytes(s);
    if (n > UINT32_MAX - used) {
        return 0;
    }
    uint32_t needed = used + n;
    if (needed > s->uCapacity) {
        /* Growth may move the buffer: keep an inner source as an offset. */
        int inner = s->pBuffer != NULL && text >= s->pBuffer && text < s->pBuffer + s->uCapacity;
        size_t offset = inner ? (size_t)(text - s->pBuffer) : 0;
        if (!GrowIt(s, needed)) {
            return 0;
        }
        if (inner) {
            text = s->pBuffer + offset;
        }
    }
    memmove(s->pBuffer + used - 1, text, n);
    s->pBuffer[needed - 1] = '\0';
    s->uLength = needed;
    return 1;
}

uint32_t CGenStrInit(CGenStr* s) {
    s->bOwnsBuffer = 1;
    s->pBuffer = Velk_I_Calloc(1, 1);
    if (s->pBuffer == NULL) {
        s->uLength = 0;
        s->uCapacity = 0;
        return 0;
    }
    s->uLength = 1;
    s->uCapacity = 1;
    return 1;
}

uint32_t CGenStrInitFromCStr(CGenStr* s, const char* text) {
    if (!CGenStrInit(s)) {
        return 0;
    }
    if (!CGenStrCatChar(s, text)) {
        CGenStrDelete(s);
        return 0;
    }
    return 1;
}

uint32_t CGenStrInitBuff(CGenStr* s, char* buffer, uint32_t textLength, uint32_t bufferSize) {
    if (buffer == NULL || bufferSize < 2) {
        return 0;
    }
    /* A text that does not fit the buffer would break length <= capacity. */
    if ((uint64_t)textLength + 1 > (uint64_t)bufferSize - 1) {
        return 0;
    }
    s->pBuffer = buffer;
    /* An empty text starts the buffer empty; a text of one or more
     * characters is kept (a one-character text is text like any other). */
    if (textLength == 0) {
        buffer[0] = '\0';
        s->uLength = 1;
    } else {
        s->uLength = textLength + 1;
    }
    s->uCapacity = bufferSize - 1;
    s->bOwnsBuffer = 0;
    return 1;
}

uint32_t CGenStrIsInit(const CGenStr* s) {
    return s->uCapacity != 0 && s->uLength != 0;
}

uint32_t CGenStrReserve(CGenStr* s, uint32_t n) {
    if (!s->bOwnsBuffer) {
        return 0;
    }
    if (n == 0) {
        char* fresh = Velk_I_Calloc(1, 1);
        if (fresh == NULL) {
            return 0;
        }
        free(s->pBuffer);
        s->pBuffer = fresh;
        s->uLength = 1;
        s->uCapacity = 1;
        return 1;
    }
    if (n == UINT32_MAX) {
        return 0;
    }
    uint32_t size = n + 1;
    if (s->pBuffer == NULL) {
        char* fresh = Velk_I_Calloc(size, 1);
        if (fresh == NULL) {
            return 0;
        }
        s->pBuffer = fresh;
        s->uLength = 1;
        s->uCapacity = size;
        return 1;
    }
    char* resized = Velk_I_Realloc(s->pBuffer, size);
    if (resized == NULL) {
        return 0;
    }
    s->pBuffer = resized;
    s->uCapacity = size;
    if (s->uLength > size) {
        s->pBuffer[n] = '\0';
        s->uLength = size;
    }
    return 1;
}

uint32_t CGenStrSize(const CGenStr* s) {
    return s->uLength == 0 ? 0 : s->uLength - 1;
}

uint32_t CGenStrIsEmpty(const CGenStr* s) {
    return s->uLength < 2;
}

uint32_t CGenStrCapacity(const CGenStr* s) {
    return s->uCapacity == 0 ? 0 : s->uCapacity - 1;
}

void CGenStrDelete(CGenStr* s) {
    if (s->bOwnsBuffer) {
        free(s->pBuffer);
    }
    s->pBuffer = NULL;
    s->uLength = 0;
    s->uCapacity = 0;
}

char* CGenStrDeleteKeepBuffer(CGenStr* s) {
    char* buffer = s->pBuffer;
    s->pBuffer = NULL;
    s->uLength = 0;
    s->uCapacity = 0;
    return buffer;
}

uint32_t CGenStrCatChar(CGenStr* s, const char* text) {
    if (text == NULL) {
        return 1;
    }
    size_t length = VelkStrLen(text);
    if (length > UINT32_MAX) {
        return 0;
    }
    return CatBytes(s, text, (uint32_t)length);
}

uint32_t CGenStrCatC(CGenStr* s, char c) {
    return CatBytes(s, &c, 1);
}

uint32_t CGenStrCatStr(CGenStr* s, const CGenStr* other) {
    return CGenStrCatChar(s, other == NULL ? NULL : other->pBuffer);
}

uint32_t CGenStrCatf(CGenStr* s, const char* format, ...) {
    CGenStr formatted;
    if (!CGenStrInit(&formatted)) {
        return 0;
    }
    va_list args;
    va_start(args, format);
    int32_t count = CGenStrVSprintf(&formatted, format, args);
    va_end(args);
    uint32_t result = count >= 0 && CatBytes(s, formatted.pBuffer, (uint32_t)count);
    CGenStrDelete(&formatted);
    return result;
}

uint32_t CGenStrAssignChar(CGenStr* s, const char* text) {
    if (text == NULL) {
        text = "";
    }
    size_t length = VelkStrLen(text);
    if (length >= UINT32_MAX) {
        return 0;
    }
    uint32_t needed = (uint32_t)length + 1;
    if (needed > s->uCapacity && !GrowIt(s, needed)) {
        return 0;
    }
    /* memmove: the text may be a part of this string. */
    memmove(s->pBuffer, text, needed - 1);
    s->pBuffer[needed - 1] = '\0';
    s->uLength = needed;
    return 1;
}

uint32_t CGenStrAssignStr(CGenStr* dst, const CGenStr* src) {
    if (dst == src) {
        return 1;
    }
    return CGenStrAssignChar(dst, src->pBuffer);
}

char* CGenStrTail(const CGenStr* s, uint32_t index) {
    return s->pBuffer + index;
}

int CGenStrGet(const CGenStr* s, uint32_t index) {
    return (int)(signed char)s->pBuffer[index];
}

void CGenStrSet(CGenStr* s, uint32_t index, char c) {
    s->pBuffer[index] = c;
}

uint32_t CGenStrLastI(const CGenStr* s) {
    return s->uLength < 2 ? 0 : s->uLength - 1;
}

void CGenStrClear(CGenStr* s) {
    if (s->pBuffer == NULL) {
        return;
    }
    s->pBuffer[0] = '\0';
    s->uLength = 1;
}

char* CGenStrC_Str(const CGenStr* s) {
    return s->pBuffer;
}

/* Leaves the string empty and consistent after a failed format. */
static void MakeEmptyAt(CGenStr* s, uint32_t offset) {
    if (s->pBuffer != NULL) {
        s->pBuffer[offset] = '\0';
        s->uLength = offset + 1;
    }
}

int32_t CGenStrVSprintf(CGenStr* s, const char* format, va_list args) {
    va_list attempt;
    va_copy(attempt, args);
    int count = vsnprintf(s->pBuffer, s->uCapacity, format, attempt);
    va_end(attempt);
    if (count < 0) {
        MakeEmptyAt(s, 0);
        return -1;
    }
    if ((int64_t)count < (int64_t)s->uCapacity) {
        s->uLength = (uint32_t)count + 1;
        return count;
    }
    MakeEmptyAt(s, 0);
    if (!GrowIt(s, (uint32_t)count + 1)) {
        return -1;
    }
    va_copy(attempt, args);
    count = vsnprintf(s->pBuffer, s->uCapacity, format, attempt);
    va_end(attempt);
    if (count < 0 || (int64_t)count >= (int64_t)s->uCapacity) {
        MakeEmptyAt(s, 0);
        return -1;
    }
    s->uLength = (uint32_t)count + 1;
    return count;
}

int32_t CGenStrSprintf(CGenStr* s, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int32_t count = CGenStrVSprintf(s, format, args);
    va_end(args);
    return count;
}

int32_t CGenStrSprintfI(CGenStr* s, uint32_t offset, const char* format, ...) {
    /* Writing beyond the current text would leave undefined bytes before
     * the offset. */
    if (offset > CGenStrSize(s)) {
        return -1;
    }
    uint32_t bound = s->uCapacity > offset ? s->uCapacity - offset : 0;
    char* at = s->pBuffer == NULL ? NULL : s->pBuffer + offset;
    va_list args;
    va_start(args, format);
    int count = vsnprintf(bound == 0 ? NULL : at, bound, format, args);
    va_end(args);
    if (count < 0) {
        MakeEmptyAt(s, offset);
        return -1;
    }
    if ((int64_t)count <= (int64_t)bound - 1) {
        s->uLength = offset + (uint32_t)count + 1;
        return count;
    }
    MakeEmptyAt(s, offset);
    if ((uint64_t)offset + (uint64_t)count + 1 > UINT32_MAX ||
        !GrowIt(s, offset + (uint32_t)count + 1)) {
        return -1;
    }
    bound = s->uCapacity - offset;
    va_start(args, format);
    count = vsnprintf(s->pBuffer + offset, bound, format, args);
    va_end(args);
    if (count < 0 || (int64_t)count > (int64_t)bound - 1) {
        MakeEmptyAt(s, offset);
        return -1;
    }
    s->uLength = offset + (uint32_t)count + 1;
    return count;
}

uint32_t CGenStrGetSuffix(const CGenStr* s, uint32_t start, CGenStr* out) {
    CGenStrClear(out);
    if (start < CGenStrSize(s)) {
        return CGenStrCatChar(out, s->pBuffer + start);
    }
    return 0;
}

uint32_t CGenStrSubstr(const CGenStr* s, int32_t start, int32_t count, CGenStr* out) {
    CGenStrClear(out);
    int64_t size = (int64_t)CGenStrSize(s);
    if (count == -1) {
        count = (int32_t)(size - start);
    }
    if (start < 0 || (int64_t)start >= size) {
        return 0;
    }
    if (count <= 0) {
        return 1;
    }
    int64_t available = size - start;
    int64_t take = (int64_t)count < available ? (int64_t)count : available;
    return CatBytes(out, s->pBuffer + start, (uint32_t)take);
}

uint32_t CGenStrGetToken(const CGenStr* s, char delimiter, int32_t* pos, int32_t* found,
                         CGenStr* out) {
    if (pos == NULL || found == NULL) {
        return 0;
    }
    *found = 0;
    CGenStrClear(out);
    int64_t size = (int64_t)CGenStrSize(s);
    if (*pos < 0) {
        return 0;
    }
    if ((int64_t)*pos >= size) {
        return 1;
    }
    for (;;) {
        char c = s->pBuffer[*pos];
        (*pos)++;
        if (c == delimiter) {
            *found = 1;
            return 1;
        }
        if (!CGenStrCatC(out, c)) {
            return 0;
        }
        if ((int64_t)*pos >= size) {
            *found = 1;
            return 1;
        }
    }
}

uint32_t CGenStrFindChar(const CGenStr* s, char c) {
    uint32_t size = CGenStrSize(s);
    if (size == 0) {
        return CGENSTR_NPOS;
    }
    const char* hit = memchr(s->pBuffer, c, size);
    return hit == NULL ? CGENSTR_NPOS : (uint32_t)(hit - s->pBuffer);
}

int CGenStrCmpCStrI(const CGenStr* s, const char* text) {
    return VelkStrCaseCmp(s->pBuffer == NULL ? "" : s->pBuffer, text == NULL ? "" : text);
}

uint32_t CGenStrIsAlpha(const CGenStr* s) {
    uint32_t size = CGenStrSize(s);
    for (uint32_t i = 0; i < size; i++) {
        if (!isalpha((unsigned char)s->pBuffer[i])) {
            return 0;
        }
    }
    return 1;
}

uint32_t CGenStrIsAlnum(const CGenStr* s) {
    uint32_t size = CGenStrSize(s);
    for (uint32_t i = 0; i < size; i++) {
        if (!isalnum((unsigned char)s->pBuffer[i])) {
            return 0;
        }
    }
    return 1;
}
