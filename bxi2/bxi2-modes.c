/* The enumerate, run and sysinfo modes of a module process. */
#include <stdio.h>
#include <string.h>

#include "bxi2-internal.h"
#include "test-common.h"
#include "tracing.h"

enum {
    kShortNameSize = 256,
    kSysInfoArgumentCount = 7,
};

static const char kSysInfoReference[] = "SYSINFO";
static const char kSysInfoParameters[] = "Parameters Can Go Here Eventually";

int Bxi2_PerformEnumerate(const char* reference) {
    if (Bxi2_StartCommunications(reference) != BXI2_OK) {
        VTRACE(VELK_TRACE_DIAG, "Bxi2_PerformEnumerate:Error in start comm\n");
        return BXI2_E_START_COMMS;
    }
    VelkWait(1);
    Bxi2_EnumerateCallback enumerate =
        (Bxi2_EnumerateCallback)Bxi2_I_GetCallback(BXI2_SLOT_ENUMERATE);
    if (enumerate != NULL) {
        VTRACE(VELK_TRACE_DIAG, "Bxi2_PerformEnumerate: doenum\n");
        enumerate();
    }
    char shortName[kShortNameSize];
    Bxi2_I_CutAtFirstDot(Bxi2_I_OwnModuleName(), 1, shortName, sizeof shortName);
    printf("\nBXI2 Diagnostic Module: %s\n", shortName);
    fflush(stdout);
    int result = Bxi2_SendEnumInfo();
    Bxi2_KillDeviceList();
    Bxi2_StopCommunications();
    return result;
}

/* The parameters of a run: those of the command line, the predefined
 * percentage (which must be acceptable) and the definitions of test.  1, or
 * 0 when the run must not start. */
static int FillRunParameters(Bxi2_ParamList* list, int test, int argc, char** argv) {
    return GetParamsFromCommandLine(argc, argv, list) &&
           ProcessPredefinedParameters(list, &g_Bxi2.percentage) &&
           GetParamIniInfo(g_Bxi2.defFile, (uint32_t)test, list);
}

int Bxi2_PerformRunDiag(const char* reference, int device, int test, int argc, char** argv) {
    Bxi2_ParamList list;
    if (!Bxi2_ParamListConstruct(&list)) {
        return BXI2_E_PARAMETERS;
    }
    if (!FillRunParameters(&list, test, argc, argv)) {
        Bxi2_ParamListDestruct(&list);
        return BXI2_E_PARAMETERS;
    }
    if (Bxi2_StartCommunications(reference) != BXI2_OK) {
        Bxi2_ParamListDestruct(&list);
        return BXI2_E_START_COMMS;
    }
    int testResult = BXI2_RESULT_BADPARAMS;
    Bxi2_RunCallback run = (Bxi2_RunCallback)Bxi2_I_GetCallback(BXI2_SLOT_RUN);
    if (run != NULL) {
        Bxi2_I_SetCurrentParamList(&list);
        testResult = run(test, Bxi2_I_FindDeviceById(device));
    }
    int result = Bxi2_SendNotification(BXI2_NOTIFY_RESULT, testResult);
    Bxi2_StopCommunications();
    Bxi2_I_SetCurrentParamList(NULL);
    Bxi2_ParamListDestruct(&list);
    return result;
}

int Bxi2_PerformSysInfo(int argc, char** argv) {
    if (argv == NULL || argc < kSysInfoArgumentCount) {
        return BXI2_E_BAD_ARGUMENT;
    }
    const char* destination = argv[2];
    const char* replyTo = argv[3];
    const char* hwLocator = argv[4];
    const char* moduleName = argv[6];
    VelkSafeStrNCpy(g_Bxi2.defFile, argv[5], sizeof g_Bxi2.defFile);
    if (Bxi2_StartCommunications(kSysInfoReference) != BXI2_OK) {
        return BXI2_E_START_COMMS;
    }
    Bxi2_Device* device = Bxi2_GetFirstDevice(1);
    while (device != NULL && strcmp(Bxi2_GetDeviceHwLocator(device), hwLocator) != 0) {
        device = Bxi2_GetNextDevice();
    }
    Bxi2_SysInfoCallback sysInfo = (Bxi2_SysInfoCallback)Bxi2_I_GetCallback(BXI2_SLOT_SYSINFO);
    if (sysInfo != NULL && device != NULL) {
        sysInfo(device, kSysInfoParameters);
    }
    int result = Bxi2_SendSysInfo(moduleName, destination, replyTo, hwLocator);
    Bxi2_KillDeviceList();
    Bxi2_StopCommunications();
    return result;
}
