/* Parameter definitions in the definitions file: section "Module", keys
 * "<base>[<test>][<index>]" such as szParameterId[2][0]. */
#include <stdio.h>
#include <string.h>

#include "bxi2-internal.h"
#include "param-valid.h"
#include "test-common.h"
#include "tracing.h"

enum {
    kKeySize = 128,
    kValueSize = VELK_INI_MAX_LINE + 1,
};

static const char kModuleSection[] = "Module";

static void ParamKey(const char* base, uint32_t test, uint32_t index, char* key, size_t size) {
    snprintf(key, size, "%s[%u][%u]", base, test, index);
}

long Bxi2GetParamPrivateProfileString(const char* file, const char* base, uint32_t test,
                                      uint32_t index, char* buffer, uint32_t size) {
    char key[kKeySize];
    ParamKey(base, test, index, key, sizeof key);
    return VelkGetPrivateProfileString(kModuleSection, key, "", buffer, size, file);
}

/* Reads the parameter key into value: 1 when the key exists. */
static int ReadParamKey(const char* file, const char* base, uint32_t test, uint32_t index,
                        char* value, uint32_t size) {
    char key[kKeySize];
    ParamKey(base, test, index, key, sizeof key);
    if (VelkIniKeyExists(file, kModuleSection, key) != 1) {
        return 0;
    }
    return Bxi2GetParamPrivateProfileString(file, base, test, index, value, size) >= 0;
}

int GetParamIndex(const char* file, uint32_t test, const char* id) {
    if (id == NULL) {
        return -1;
    }
    char value[kValueSize];
    for (uint32_t i = 0; ReadParamKey(file, "szParameterId", test, i, value, sizeof value); ++i) {
        if (strcmp(value, id) == 0) {
            return (int)i;
        }
    }
    return -1;
}

int AssignParameterFieldsFromIniFileByIndex(const char* file, uint32_t test, uint32_t index,
                                            Bxi2_Parameter* parameter) {
    char value[kValueSize];
    if (!ReadParamKey(file, "szParameterType", test, index, value, sizeof value)) {
        return 1;
    }
    Bxi2_SetParameterType(parameter, ParameterTypeStrToType(value));
    if (!ReadParamKey(file, "szParameterName", test, index, value, sizeof value)) {
        return 1;
    }
    int ok = Bxi2_SetParameterName(parameter, value);
    if (ok && ReadParamKey(file, "szParameterDescription", test, index, value, sizeof value)) {
        ok = Bxi2_SetParameterDescription(parameter, value);
    }
    if (ReadParamKey(file, "iParameterMustBeSet", test, index, value, sizeof value)) {
        Bxi2_SetParameterMustBeSet(parameter, StrToBool(value));
    }
    if (ReadParamKey(file, "iParameterRecommendValidate", test, index, value, sizeof value)) {
        Bxi2_SetParameterRecommendValidate(parameter, StrToBool(value));
    }
    if (ok && ReadParamKey(file, "szParameterMask", test, index, value, sizeof value)) {
        ok = Bxi2_SetParameterMask(parameter, value);
    }
    if (ok && ReadParamKey(file, "szParameterDefaultValue", test, index, value, sizeof value)) {
        ok = Bxi2_SetParameterDefaultValFromStr(parameter, value);
    }
    if (ok && ReadParamKey(file, "iParameterMinValue", test, index, value, sizeof value)) {
        ok = Bxi2_SetParameterMinValFromStr(parameter, value);
    }
    if (ok && ReadParamKey(file, "iParameterMaxValue", test, index, value, sizeof value)) {
        ok = Bxi2_SetParameterMaxValFromStr(parameter, value);
    }
    return ok;
}

int AssignParameterFieldsFromIniFile(const char* file, uint32_t test, Bxi2_Parameter* parameter) {
    if (parameter == NULL) {
        return 0;
    }
    int index = GetParamIndex(file, test, Bxi2_GetParameterId(parameter));
    if (index < 0) {
        VTRACE(VELK_TRACE_PV, "AssignParameterFieldsFromIniFile: %s not defined for test %u\n",
               Bxi2_GetParameterId(parameter), test);
        Bxi2_SetParameterValidFlag(parameter, VELK_PARAM_ID_NOT_RECOGNIZED);
        return 1;
    }
    return AssignParameterFieldsFromIniFileByIndex(file, test, (uint32_t)index, parameter);
}

int GetParamIniInfo(const char* file, uint32_t test, Bxi2_ParamList* list) {
    if (list == NULL) {
        return 0;
    }
    /* One read of the file for the whole list, unless the caller keeps it
     * already. */
    int keepCache = Bxi2_I_IniCacheHolds(file) || !VelkSpeedIniAccess(file);
    int ok = 1;
    for (Bxi2_Parameter* parameter = Bxi2_I_GetFirstParameter(list); ok && parameter != NULL;
         parameter = Bxi2_I_GetNextParameter(list)) {
        if (strcmp(Bxi2_GetParameterId(parameter), BXI2_PERCENT_TO_TEST_ID) != 0) {
            ok = AssignParameterFieldsFromIniFile(file, test, parameter);
        }
    }
    if (!keepCache) {
        VelkEndSpeedIniAccess();
    }
    return ok;
}
