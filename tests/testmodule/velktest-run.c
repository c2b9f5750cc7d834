/* The tests of velktest.  Test 0 ends at once with the outcome MODE
 * chooses; test 1 runs for SECONDS seconds per pass, PASSES times, reports
 * percent done, progress and log items, and honours or ignores a stop
 * request as STOP says. */
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "velktest.h"

enum {
    kStepMs = 100,
    kProgressIntervalMs = 500,
    kEventFail = 200,
    kEventHalfway = 101,
    kEventSimulatedError = 102,
};

typedef struct ModeResult {
    const char* mode;
    int result;
} ModeResult;

static const ModeResult kPlainModes[] = {
    {"pass", BXI2_RESULT_PASS},
    {"nomedia", BXI2_RESULT_NOMEDIA},
    {"busy", BXI2_RESULT_BUSY},
    {"privilege", BXI2_RESULT_PRIVILEGEERROR},
    {"notapplicable", BXI2_RESULT_NOTAPPLICABLE},
    {"badparams", BXI2_RESULT_BADPARAMS},
    {"setuperror", BXI2_RESULT_SETUPERROR},
};

static void SleepMs(long milliseconds) {
    struct timespec delay = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    while (nanosleep(&delay, &delay) != 0 && errno == EINTR) {
    }
}

/* Opens nothing: reports a device that could not be opened for error. */
static int FailedOpen(int error) {
    int result = BXI2_RESULT_SETUPERROR;
    errno = error;
    CheckDeviceHandle(-1, &result);
    return result;
}

static int Flood(void) {
    unsigned long count = strtoul(VelkTest_ParameterText("COUNT", "200"), NULL, 10);
    for (unsigned long i = 1; i <= count; ++i) {
        Bxi2_Informative("Flood event %lu of %lu", i, count);
    }
    return BXI2_RESULT_PASS;
}

/* Texts longer than the engine client reads: a progress text, and log items
 * whose cut falls before an NLS tag, inside an escape and in plain text. */
static int LongTexts(void) {
    static const char kTag[] = "<NLS mod=velktest.vkm id=szInfoStart />";
    char text[1600];
    memset(text, 'p', 290);
    strcpy(text + 290, kTag);
    Bxi2_SetProgressInformation("%s", text);
    memset(text, 't', 480);
    strcpy(text + 480, kTag);
    Bxi2_Informative("%s", text);
    memset(text, 'e', 505);
    strcpy(text + 505, "@41@42@43 and more");
    Bxi2_Warning(kEventHalfway, "%s", text);
    memset(text, 'x', 1500);
    text[1500] = '\0';
    Bxi2_Error(kEventFail, "%s", text);
    return BXI2_RESULT_PASS;
}

/* Sets a time-out, asks the engine for it back and reports what came. */
static int TimeOutRoundTrip(void) {
    Bxi2_SetTimeOut(120);
    int value = -1;
    int status = Bxi2_GetTimeOut(&value);
    Bxi2_Informative("Time-out %d (status %d)", value, status);
    Bxi2_ClearTimeOutCount();
    return status == BXI2_OK ? BXI2_RESULT_PASS : BXI2_RESULT_FAIL;
}

/* Reads the whole machine's device list from the engine and reports how many
 * devices it holds and the hardware locator of each. */
static int WholeMachineDeviceList(void) {
    CGenList list;
    CGenListConstruct(&list, 1, Bxi2_I_DestroyDeviceRecord);
    int status = Bxi2_I_GetAllDevicesList(&list);
    CGenStr locators;
    CGenStrInit(&locators);
    CGenListIter it;
    for (CGenListIterInit(&it, &list); !CGenListIterAtEnd(&it); CGenListIterAdv(&it)) {
        CGenStrCatChar(&locators, " ");
        CGenStrCatChar(&locators, Bxi2_GetDeviceHwLocator(CGenListIterGetData(&it)));
    }
    Bxi2_Informative("Devices %u (status %d):%s", (unsigned)CGenListGetCount(&list), status,
                     CGenStrC_Str(&locators));
    CGenStrDelete(&locators);
    CGenListDestruct(&list);
    return status == 0 ? BXI2_RESULT_PASS : BXI2_RESULT_FAIL;
}

/* Gathers every device with its system information and reports the size of
 * the text and how many devices and entries it holds. */
static int WholeMachineSysInfo(void) {
    CGenStr info;
    CGenStrInit(&info);
    int status = Bxi2_I_GetSysInfo(&info);
    unsigned devices = 0;
    unsigned entries = 0;
    for (const char* at = CGenStrC_Str(&info); (at = strstr(at, "<DEVICE>")) != NULL; ++at) {
        ++devices;
    }
    for (const char* at = CGenStrC_Str(&info); (at = strstr(at, "<SYSINFO_KEY>")) != NULL; ++at) {
        ++entries;
    }
    Bxi2_Informative("System information of %u devices, %u entries (status %d)", devices, entries,
                     status);
    CGenStrDelete(&info);
    return status == 0 ? BXI2_RESULT_PASS : BXI2_RESULT_FAIL;
}

static int RunQuickTest(Bxi2_Device* device) {
    const char* mode = VelkTest_ParameterText("MODE", "pass");
    for (size_t i = 0; i < sizeof kPlainModes / sizeof kPlainModes[0]; ++i) {
        if (strcmp(mode, kPlainModes[i].mode) == 0) {
            Bxi2_Informative("Quick test %s on %s", mode, Bxi2_GetDeviceHwLocator(device));
            return kPlainModes[i].result;
        }
    }
    if (strcmp(mode, "fail") == 0) {
        Bxi2_Error(kEventFail, "%s", Bxi2_NlsTagToToken("szErrFail"));
        return BXI2_RESULT_FAIL;
    }
    if (strncmp(mode, "code:", 5) == 0) {
        return atoi(mode + 5);
    }
    if (strcmp(mode, "crash") == 0) {
        abort();
    }
    if (strcmp(mode, "flood") == 0) {
        return Flood();
    }
    if (strcmp(mode, "markup") == 0) {
        /* Unescaped markup, as a careless module would send it. */
        Bxi2_Informative("Drive <b>%s</b> checked", Bxi2_GetDeviceHwLocator(device));
        return BXI2_RESULT_PASS;
    }
    if (strcmp(mode, "openbusy") == 0) {
        return FailedOpen(EBUSY);
    }
    if (strcmp(mode, "openprivilege") == 0) {
        return FailedOpen(EACCES);
    }
    if (strcmp(mode, "timeout") == 0) {
        return TimeOutRoundTrip();
    }
    if (strcmp(mode, "longtext") == 0) {
        return LongTexts();
    }
    if (strcmp(mode, "devicelist") == 0) {
        return WholeMachineDeviceList();
    }
    if (strcmp(mode, "sysinfo") == 0) {
        return WholeMachineSysInfo();
    }
    return BXI2_RESULT_BADPARAMS;
}

/* One step of the timed test; 1 when the test must end discontinued. */
static int StopRequested(int honour, int* reported) {
    if (!Bxi2_CheckForStop()) {
        return 0;
    }
    if (honour) {
        return 1;
    }
    if (!*reported) {
        Bxi2_Informative("%s", Bxi2_NlsTagToToken("szInfoStopIgnored"));
        *reported = 1;
    }
    return 0;
}

static int RunTimedTest(void) {
    unsigned long seconds = strtoul(VelkTest_ParameterText("SECONDS", "2"), NULL, 10);
    long passes = strtol(VelkTest_ParameterText("PASSES", "1"), NULL, 10);
    int honour = strcmp(VelkTest_ParameterText("STOP", "honour"), "honour") == 0;
    long stepsPerPass = (long)seconds * 1000 / kStepMs;
    long totalSteps = stepsPerPass * passes;
    int stopReported = 0;
    char passText[24];
    char passesText[24];
    snprintf(passesText, sizeof passesText, "%ld", passes);
    Bxi2_Informative("Timed test: %lu s x %ld passes, %.1f%% of the device", seconds, passes,
                     (double)Bxi2_GetFloatPercentageToTest());
    Bxi2_SetPercentDone(0);
    for (long pass = 1; pass <= passes; ++pass) {
        snprintf(passText, sizeof passText, "%ld", pass);
        Bxi2_SetProgressInformation("%s", Bxi2_NlsTagToTokenVar("szInfoPass", "PASS", passText,
                                                                "PASSES", passesText, (char*)NULL));
        for (long step = 1; step <= stepsPerPass; ++step) {
            if (StopRequested(honour, &stopReported)) {
                return BXI2_RESULT_DISCONTINUED;
            }
            SleepMs(kStepMs);
            long done = (pass - 1) * stepsPerPass + step;
            Bxi2_SetPercentDone((int)(done * 100 / totalSteps));
            Bxi2_SetProgressInformationTimed(kProgressIntervalMs, "Pass %ld: %ld of %ld ms", pass,
                                             step * kStepMs, stepsPerPass * kStepMs);
            if (step == stepsPerPass / 2) {
                Bxi2_Warning(kEventHalfway, "%s",
                             Bxi2_NlsTagToTokenVar("szWarnHalfway", "PASS", passText, (char*)NULL));
            }
        }
    }
    Bxi2_Error(kEventSimulatedError, "%s", Bxi2_NlsTagToToken("szErrSimulated"));
    Bxi2_SetPercentDone(100);
    return StopRequested(honour, &stopReported) ? BXI2_RESULT_DISCONTINUED : BXI2_RESULT_PASS;
}

int VelkTest_Run(int test, Bxi2_Device* device) {
    if (device == NULL) {
        return BXI2_RESULT_NOTAPPLICABLE;
    }
    if (!VelkTest_CheckParameters(test)) {
        return BXI2_RESULT_BADPARAMS;
    }
    switch (test) {
        case VELKTEST_QUICK_TEST:
            return RunQuickTest(device);
        case VELKTEST_TIMED_TEST:
            return RunTimedTest();
        default:
            return BXI2_RESULT_NOTAPPLICABLE;
    }
}
