/* File-name splitting, human-readable sizes, blank-separated fields and the
 * text of errno. */
#include "process-helpers.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

void SplitFilename(const char* path, char* directory, char* baseName, char* extension) {
    const char* text = path != NULL ? path : "";
    const char* lastSlash = strrchr(text, '/');
    const char* fileName = lastSlash != NULL ? lastSlash + 1 : text;
    const char* dot = strchr(fileName, '.');
    size_t directoryLength = (size_t)(fileName - text);
    size_t baseLength = dot != NULL ? (size_t)(dot - fileName) : strlen(fileName);

    if (directory != NULL) {
        memcpy(directory, text, directoryLength);
        directory[directoryLength] = '\0';
    }
    if (baseName != NULL) {
        memcpy(baseName, fileName, baseLength);
        baseName[baseLength] = '\0';
    }
    if (extension != NULL) {
        strcpy(extension, dot != NULL ? dot : "");
    }
}

void GetPathFilename(const char* path, char* fileName) {
    if (fileName == NULL) {
        return;
    }
    const char* text = path != NULL ? path : "";
    const char* lastSlash = strrchr(text, '/');
    strcpy(fileName, lastSlash != NULL ? lastSlash + 1 : text);
}

void VelkSizeInAppropriateUnits(float bytes, char* out) {
    static const char* const units[] = {"B", "KB", "MB", "GB", "TB"};
    const size_t lastUnit = sizeof units / sizeof units[0] - 1;
    double value = bytes;
    size_t unit = 0;
    /* Move up while the next larger unit would still show 0.9 or more. */
    while (unit < lastUnit && value / 1024.0 >= 0.9) {
        value /= 1024.0;
        ++unit;
    }
    snprintf(out, 32, "%.2f %s", value, units[unit]);
}

static int IsFieldSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

int VelkGetField(const char* line, int index, char* out) {
    if (out == NULL) {
        return 0;
    }
    out[0] = '\0';
    if (line == NULL || index < 0) {
        return 0;
    }
    const char* cursor = line;
    for (int field = 0;; ++field) {
        while (IsFieldSeparator(*cursor)) {
            ++cursor;
        }
        if (*cursor == '\0') {
            return 0;
        }
        const char* start = cursor;
        const char* end;
        if (*cursor == '"') {
            start = cursor + 1;
            end = start + strcspn(start, "\"\n");
            cursor = *end == '"' ? end + 1 : end;
        } else {
            end = cursor + strcspn(cursor, " \t\n");
            cursor = end;
        }
        if (field == index) {
            size_t length = (size_t)(end - start);
            memcpy(out, start, length);
            out[length] = '\0';
            return 1;
        }
    }
}

const char* GetLastErrnoError(int* errorNumber) {
    static _Thread_local char text[256];
    int error = errno;
    if (errorNumber != NULL) {
        *errorNumber = error;
    }
    /* The GNU strerror_r may return a static text instead of filling ours. */
    const char* message = strerror_r(error, text, sizeof text);
    if (message != text) {
        snprintf(text, sizeof text, "%s", message);
    }
    return text;
}
