/* The INI reader of definitions files.
 *
 * A file is read whole into memory (any size; its length is a size_t) and
 * scanned line by line.  A line runs up to the first control character and
 * counts with at most VELK_INI_MAX_LINE characters (the rest of a longer
 * line is ignored); leading blanks are skipped.  "[name]" opens a section
 * (names compare without case); inside the wanted section "key=value" lines
 * match when the key, without its trailing blanks, equals the wanted key
 * without case; the value is everything after the '='.  A second section
 * header after the wanted section ends the search. */
#include <ctype.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "bxi2-internal.h"

enum {
    kNumberTextSize = 20,
};

/* What a scan found. */
typedef struct IniMatch {
    int sectionFound;
    int keyFound;
    const char* value;
    size_t valueLength;
} IniMatch;

/* A file kept in memory by VelkSpeedIniAccess. */
typedef struct IniCache {
    char* path;
    char* data;
    size_t length;
} IniCache;

static IniCache gCache;

/* ------------------------------------------------------------------------ */
/* Loading                                                                  */
/* ------------------------------------------------------------------------ */

/* Reads the whole file with a line feed and a NUL appended: 1, or 0 when it
 * cannot be read. */
static int LoadFile(const char* path, char** data, size_t* length) {
    if (path == NULL || path[0] == '\0') {
        return 0;
    }
    /* Non-blocking, so that a FIFO in place of the file cannot hang the open;
     * it is refused below. */
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return 0;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return 0;
    }
    /* The size at the time of the call; a file growing meanwhile is read up
     * to that size. */
    size_t size = (size_t)info.st_size;
    char* buffer = malloc(size + 2);
    size_t used = 0;
    while (buffer != NULL && used < size) {
        ssize_t got = read(fd, buffer + used, size - used);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            free(buffer);
            buffer = NULL;
        } else if (got == 0) {
            break;
        } else {
            used += (size_t)got;
        }
    }
    close(fd);
    if (buffer == NULL) {
        return 0;
    }
    buffer[used] = '\n';
    buffer[used + 1] = '\0';
    *data = buffer;
    *length = used + 1;
    return 1;
}

static int CacheHolds(const char* path) {
    return gCache.path != NULL && path != NULL && strcmp(gCache.path, path) == 0;
}

/* The text of path: the cache's when it holds path, else a fresh read that
 * *owned receives for release.  1, or 0 when the file cannot be read. */
static int GetFileText(const char* path, const char** data, size_t* length, char** owned) {
    *owned = NULL;
    if (CacheHolds(path)) {
        *data = gCache.data;
        *length = gCache.length;
        return 1;
    }
    char* text;
    if (!LoadFile(path, &text, length)) {
        return 0;
    }
    *owned = text;
    *data = text;
    return 1;
}

int VelkSpeedIniAccess(const char* file) {
    if (CacheHolds(file)) {
        return 1;
    }
    char* data;
    size_t length;
    char* path = file != NULL ? strdup(file) : NULL;
    if (path == NULL || !LoadFile(file, &data, &length)) {
        free(path);
        return 0;
    }
    VelkEndSpeedIniAccess();
    gCache.path = path;
    gCache.data = data;
    gCache.length = length;
    return 1;
}

void VelkEndSpeedIniAccess(void) {
    free(gCache.path);
    free(gCache.data);
    memset(&gCache, 0, sizeof gCache);
}

/* ------------------------------------------------------------------------ */
/* Scanning                                                                 */
/* ------------------------------------------------------------------------ */

static int IsLineEnd(char c) {
    return iscntrl((unsigned char)c) != 0;
}

/* 1 when the text [start, end) equals wanted without case. */
static int EqualsNoCase(const char* start, const char* end, const char* wanted) {
    size_t length = (size_t)(end - start);
    return strlen(wanted) == length && strncasecmp(start, wanted, length) == 0;
}

/* Looks at one line [start, end); 1 when the scan is over. */
static int ScanLine(const char* start, const char* end, const char* section, const char* key,
                    int* inSection, IniMatch* match) {
    while (start < end && *start == ' ') {
        ++start;
    }
    if (start < end && *start == '[') {
        if (*inSection) {
            return 1;
        }
        const char* nameEnd = memchr(start + 1, ']', (size_t)(end - start - 1));
        *inSection = EqualsNoCase(start + 1, nameEnd != NULL ? nameEnd : end, section);
        match->sectionFound |= *inSection;
        return 0;
    }
    if (!*inSection || key == NULL) {
        return 0;
    }
    const char* equals = memchr(start, '=', (size_t)(end - start));
    if (equals == NULL) {
        return 0;
    }
    const char* keyEnd = equals;
    while (keyEnd > start && keyEnd[-1] == ' ') {
        --keyEnd;
    }
    if (!EqualsNoCase(start, keyEnd, key)) {
        return 0;
    }
    match->keyFound = 1;
    match->value = equals + 1;
    match->valueLength = (size_t)(end - equals - 1);
    return 1;
}

static void ScanIni(const char* data, size_t length, const char* section, const char* key,
                    IniMatch* match) {
    memset(match, 0, sizeof *match);
    int inSection = 0;
    size_t position = 0;
    while (position < length) {
        size_t lineEnd = position;
        while (lineEnd < length && !IsLineEnd(data[lineEnd])) {
            ++lineEnd;
        }
        size_t counted = lineEnd - position;
        if (counted > VELK_INI_MAX_LINE) {
            counted = VELK_INI_MAX_LINE;
        }
        if (ScanLine(data + position, data + position + counted, section, key, &inSection, match)) {
            return;
        }
        position = lineEnd + 1;
    }
}

/* ------------------------------------------------------------------------ */
/* Reading                                                                  */
/* ------------------------------------------------------------------------ */

/* Hands the text [text, text + length) to the caller: into buffer (cut to
 * size) or a new allocation. */
static void DeliverText(const char* text, size_t length, char* buffer, uint32_t size,
                        char** allocated) {
    if (buffer != NULL) {
        if (size > 0) {
            size_t copied = length < size - 1 ? length : size - 1;
            memcpy(buffer, text, copied);
            buffer[copied] = '\0';
        }
    } else if (allocated != NULL) {
        char* copy = calloc(length + 4, 1);
        if (copy != NULL) {
            memcpy(copy, text, length);
        }
        *allocated = copy;
    }
}

long Velk_I_GetPrivateProfileString(const char* section, const char* key, const char* defaultValue,
                                    char* buffer, uint32_t size, const char* file,
                                    char** allocated) {
    const char* data;
    size_t length;
    char* owned;
    if (section == NULL || !GetFileText(file, &data, &length, &owned)) {
        return -1;
    }
    IniMatch match;
    ScanIni(data, length, section, key, &match);
    long result;
    if (key == NULL) {
        result = match.sectionFound;
    } else if (match.keyFound) {
        DeliverText(match.value, match.valueLength, buffer, size, allocated);
        result = (long)match.valueLength;
    } else {
        const char* fallback = defaultValue != NULL ? defaultValue : "";
        DeliverText(fallback, strlen(fallback), buffer, size, allocated);
        result = (long)strlen(fallback);
    }
    free(owned);
    return result;
}

long VelkGetPrivateProfileString(const char* section, const char* key, const char* defaultValue,
                                 char* buffer, uint32_t size, const char* file) {
    return Velk_I_GetPrivateProfileString(section, key, defaultValue, buffer, size, file, NULL);
}

int VelkIniKeyExists(const char* file, const char* section, const char* key) {
    const char* data;
    size_t length;
    char* owned;
    if (section == NULL || key == NULL || !GetFileText(file, &data, &length, &owned)) {
        return -1;
    }
    IniMatch match;
    ScanIni(data, length, section, key, &match);
    free(owned);
    return match.keyFound;
}

char* VelkGetIniString(const char* file, const char* section, const char* key) {
    if (key == NULL || VelkIniKeyExists(file, section, key) != 1) {
        return NULL;
    }
    char* value = NULL;
    if (Velk_I_GetPrivateProfileString(section, key, NULL, NULL, 0, file, &value) < 0) {
        free(value);
        return NULL;
    }
    return value;
}

int VelkGetIniInt(const char* file, const char* section, const char* key, int defaultValue) {
    char fallback[kNumberTextSize];
    char value[kNumberTextSize];
    snprintf(fallback, sizeof fallback, "%i", defaultValue);
    if (Velk_I_GetPrivateProfileString(section, key, fallback, value, sizeof value, file, NULL) <
        0) {
        return -1;
    }
    return (int)strtol(value, NULL, 10);
}

uint16_t GetIniWord(const char* file, const char* section, const char* key, uint16_t defaultValue) {
    char fallback[kNumberTextSize];
    char value[kNumberTextSize];
    snprintf(fallback, sizeof fallback, "%X", (unsigned)defaultValue);
    if (Velk_I_GetPrivateProfileString(section, key, fallback, value, sizeof value, file, NULL) <
        0) {
        return defaultValue;
    }
    return (uint16_t)strtoul(value, NULL, 16);
}

int Bxi2_I_IniCacheHolds(const char* file) {
    return CacheHolds(file);
}
