/* Parameter checks of velktest: types and limits from velktest.vkm, and the
 * words the MODE and STOP parameters accept. */
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "param-valid.h"
#include "velktest.h"

static const char* const kModes[] = {
    "pass",       "fail",    "nomedia",  "busy",   "privilege", "notapplicable", "badparams",
    "setuperror", "crash",   "flood",    "markup", "openbusy",  "openprivilege", "timeout",
    "devicelist", "sysinfo", "longtext", "hang",   NULL,
};
static const char* const kStopWords[] = {"honour", "ignore", NULL};

static int IsOneOf(const char* word, const char* const* words) {
    for (; *words != NULL; ++words) {
        if (strcmp(word, *words) == 0) {
            return 1;
        }
    }
    return 0;
}

/* MODE takes a word or "code:N" with a decimal N. */
static int IsModeWord(const char* word) {
    if (strncmp(word, "code:", 5) == 0) {
        char* end;
        errno = 0;
        strtol(word + 5, &end, 10);
        return word[5] != '\0' && *end == '\0' && errno == 0;
    }
    return IsOneOf(word, kModes);
}

/* The valid flag of a number text against the record's type and limits. */
static int NumberFlag(const Bxi2_Parameter* parameter) {
    const char* text = Bxi2_GetParameterValAsStr(parameter);
    char* end;
    errno = 0;
    long long value = strtoll(text, &end, 10);
    if (text[0] == '\0' || *end != '\0' || errno != 0) {
        return VELK_PARAM_VALUE_BAD;
    }
    if (Bxi2_GetParameterType(parameter) == VELK_PARAM_TYPE_UINT32 &&
        (value < 0 || value > 4294967295LL)) {
        return value < 0 ? VELK_PARAM_VALUE_TOO_SMALL : VELK_PARAM_VALUE_TOO_BIG;
    }
    if (Bxi2_GetParameterHasMinVal(parameter) &&
        value < strtoll(Bxi2_GetParameterMinValAsStr(parameter), NULL, 10)) {
        return VELK_PARAM_VALUE_TOO_SMALL;
    }
    if (Bxi2_GetParameterHasMaxVal(parameter) &&
        value > strtoll(Bxi2_GetParameterMaxValAsStr(parameter), NULL, 10)) {
        return VELK_PARAM_VALUE_TOO_BIG;
    }
    return VELK_PARAM_VALID;
}

static int ParameterFlag(int test, const Bxi2_Parameter* parameter) {
    if (Bxi2_GetParameterValidFlag(parameter) == VELK_PARAM_ID_NOT_RECOGNIZED) {
        return VELK_PARAM_ID_NOT_RECOGNIZED;
    }
    const char* id = Bxi2_GetParameterId(parameter);
    const char* value = Bxi2_GetParameterValAsStr(parameter);
    switch (Bxi2_GetParameterType(parameter)) {
        case VELK_PARAM_TYPE_INT32:
        case VELK_PARAM_TYPE_UINT32:
            return NumberFlag(parameter);
        case VELK_PARAM_TYPE_STRING:
            if (test == VELKTEST_QUICK_TEST && strcmp(id, "MODE") == 0) {
                return IsModeWord(value) ? VELK_PARAM_VALID : VELK_PARAM_VALUE_BAD;
            }
            if (test == VELKTEST_TIMED_TEST && strcmp(id, "STOP") == 0) {
                return IsOneOf(value, kStopWords) ? VELK_PARAM_VALID : VELK_PARAM_VALUE_BAD;
            }
            return VELK_PARAM_VALID;
        default:
            return VELK_PARAM_VALUE_BAD;
    }
}

int VelkTest_CheckParameters(int test) {
    int allValid = 1;
    for (Bxi2_Parameter* parameter = Bxi2_GetFirstParameter(); parameter != NULL;
         parameter = Bxi2_GetNextParameter()) {
        int flag = ParameterFlag(test, parameter);
        Bxi2_SetParameterValidFlag(parameter, flag);
        allValid = allValid && flag == VELK_PARAM_VALID;
    }
    return allValid;
}

int VelkTest_Validate(int test, Bxi2_Device* device) {
    if (strcmp(VelkTest_ParameterText("MODE", ""), "hang") == 0) {
        /* Connected, and never answering. */
        for (;;) {
            pause();
        }
    }
    VelkTest_CheckParameters(test);
    return BXI2_OK;
}

/* A parameter the run was not given comes from VELKTEST_DEFAULT_<id> when
 * that is set (a CIM client cannot pass test parameters), else fallback. */
const char* VelkTest_ParameterText(const char* id, const char* fallback) {
    for (Bxi2_Parameter* parameter = Bxi2_GetFirstParameter(); parameter != NULL;
         parameter = Bxi2_GetNextParameter()) {
        if (strcmp(Bxi2_GetParameterId(parameter), id) == 0) {
            return Bxi2_GetParameterValAsStr(parameter);
        }
    }
    char name[64];
    snprintf(name, sizeof name, "VELKTEST_DEFAULT_%s", id);
    const char* preset = getenv(name);
    return preset != NULL ? preset : fallback;
}
