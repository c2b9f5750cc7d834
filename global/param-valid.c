/* Code tables of parameter types and validation results. */
#include "param-valid.h"

#include <stddef.h>
#include <strings.h>

static const char* const kTypeNames[] = {"int32", "uint32", "bool", "float", "string"};
static const char* const kValidFlagNames[] = {"valid", "id not recognized", "value too big",
                                              "value too small", "value bad"};

enum {
    kTypeCount = sizeof kTypeNames / sizeof kTypeNames[0],
    kValidFlagCount = sizeof kValidFlagNames / sizeof kValidFlagNames[0],
};

/* Position of text in names (without case), or -1. */
static int IndexOfName(const char* const* names, int count, const char* text) {
    if (text == NULL) {
        return -1;
    }
    for (int i = 0; i < count; ++i) {
        if (strcasecmp(names[i], text) == 0) {
            return i;
        }
    }
    return -1;
}

const char* ParameterTypeToStr(int type) {
    return type >= 0 && type < kTypeCount ? kTypeNames[type] : "invalid";
}

int ParameterTypeStrToType(const char* text) {
    return IndexOfName(kTypeNames, kTypeCount, text);
}

const char* ParameterValidFlagToStr(int flag) {
    return flag >= 0 && flag < kValidFlagCount ? kValidFlagNames[flag] : "valid flag invalid";
}

int ParameterValidFlagStrToType(const char* text) {
    return IndexOfName(kValidFlagNames, kValidFlagCount, text);
}
