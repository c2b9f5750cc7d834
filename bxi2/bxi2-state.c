/* The module state, the registration structure, the module version and the
 * result names. */
#include <stdlib.h>

#include "bxi2-internal.h"

/* The state of a freshly started module process. */
#define BXI2_INITIAL_STATE                                                             \
    {                                                                                  \
        .mode = BXI2_MODE_NONE, .device = -1, .test = -1, .percentage = 100.0f,        \
        .errorLimit = 10000, .receivedTimeout = BXI2_NO_TIMEOUT, .lastPercentSent = -1 \
    }

Bxi2_ModuleState g_Bxi2 = BXI2_INITIAL_STATE;

static const char* const kResultNames[] = {
    "PASS",          "SETUPERROR", "FAIL",    "BUSY",         "PRIVILEGEERROR",
    "NOTAPPLICABLE", "BADPARAMS",  "NOMEDIA", "DISCONTINUED",
};

enum { kResultCount = sizeof kResultNames / sizeof kResultNames[0] };

void Bxi2_I_ResetModuleState(void) {
    static const Bxi2_ModuleState initial = BXI2_INITIAL_STATE;
    g_Bxi2 = initial;
}

const char* Bxi2_ResultCodeToName(int code) {
    return code >= 0 && code < kResultCount ? kResultNames[code]
                                            : kResultNames[BXI2_RESULT_SETUPERROR];
}

Bxi2_Registration* Bxi2_CreateRegistrationStructure(void) {
    Bxi2_Registration* reg = calloc(1, sizeof *reg);
    if (reg != NULL) {
        reg->uSize = BXI2_REGISTRATION_SIZE;
    }
    return reg;
}

int Bxi2_FreeRegistrationStructure(Bxi2_Registration* reg) {
    if (reg == NULL) {
        return BXI2_E_REGISTRATION;
    }
    if (g_Bxi2.registration == reg) {
        g_Bxi2.registration = NULL;
    }
    free(reg);
    return BXI2_OK;
}

int Bxi2_AddRegistrationStructureCallback(Bxi2_Registration* reg, int slot,
                                          Bxi2_GenericCallback callback) {
    if (reg == NULL || reg->uSize < BXI2_REGISTRATION_SIZE || slot < 1 || slot > BXI2_SLOT_COUNT) {
        return BXI2_E_REGISTRATION;
    }
    reg->pfnSlot[slot - 1] = callback;
    return BXI2_OK;
}

Bxi2_GenericCallback Bxi2_I_GetCallback(int slot) {
    const Bxi2_Registration* reg = g_Bxi2.registration;
    if (reg == NULL || reg->uSize < BXI2_REGISTRATION_SIZE || slot < 1 || slot > BXI2_SLOT_COUNT) {
        return NULL;
    }
    return reg->pfnSlot[slot - 1];
}

void Bxi2_Version(int major, int minor, int build) {
    g_Bxi2.versionMajor = major;
    g_Bxi2.versionMinor = minor;
    g_Bxi2.versionBuild = build;
}

float Bxi2_GetFloatPercentageToTest(void) {
    return g_Bxi2.percentage;
}

int Bxi2_GetPercentageToTest(void) {
    return (int)g_Bxi2.percentage;
}

int Bxi2_GetErrorLimit(void) {
    return g_Bxi2.errorLimit;
}
