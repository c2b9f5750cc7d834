/* Bxi2_Main: the command line of a module process and the dispatch to its
 * mode. */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "bxi2-internal.h"
#include "test-common.h"
#include "tracing.h"

enum {
    kShortNameSize = 256,
    kDefaultErrorLimit = 10000,
};

static const float kFullPercentage = 100.0f;

/* The rest of arg after prefix, or NULL when arg does not start with it. */
static const char* ValueAfter(const char* arg, const char* prefix) {
    size_t length = strlen(prefix);
    return strncmp(arg, prefix, length) == 0 ? arg + length : NULL;
}

static float PercentageFrom(const char* text) {
    float value = (float)strtod(text, NULL);
    if (isnan(value) || value <= 0.0f || value > kFullPercentage) {
        return kFullPercentage;
    }
    return value;
}

/* Copies a server FIFO name only when it fits whole: a cut path would name
 * another file. */
static void KeepServerFifo(const char* name) {
    if (strlen(name) < sizeof g_Bxi2.serverFifo) {
        VelkSafeStrNCpy(g_Bxi2.serverFifo, name, sizeof g_Bxi2.serverFifo);
    } else {
        g_Bxi2.serverFifo[0] = '\0';
        VTRACE(VELK_TRACE_DIAG, "Bxi2_ParseCommandLine: server FIFO name too long, ignored\n");
    }
}

/* Applies one argument that is not a mode word. */
static void ParseValueArgument(const char* arg, char* reference, uint32_t referenceSize,
                               char* defFile, uint32_t defFileSize, int* device, int* test,
                               float* percent, int* errorLimit) {
    const char* value;
    if ((value = ValueAfter(arg, "ref=")) != NULL) {
        if (reference != NULL) {
            VelkSafeStrNCpy(reference, value, referenceSize);
        }
    } else if ((value = ValueAfter(arg, "deffile=")) != NULL) {
        if (defFile != NULL) {
            VelkSafeStrNCpy(defFile, value, defFileSize);
        }
    } else if ((value = ValueAfter(arg, "device=")) != NULL) {
        if (device != NULL) {
            *device = atoi(value);
        }
    } else if ((value = ValueAfter(arg, "test=")) != NULL) {
        if (test != NULL) {
            *test = atoi(value);
        }
    } else if ((value = ValueAfter(arg, "percent=")) != NULL) {
        if (percent != NULL) {
            *percent = PercentageFrom(value);
        }
    } else if ((value = ValueAfter(arg, "errlimit=")) != NULL) {
        if (errorLimit != NULL) {
            int limit = atoi(value);
            *errorLimit = limit < 0 ? kDefaultErrorLimit : limit;
        }
    } else if ((value = ValueAfter(arg, "process=")) != NULL) {
        VelkSafeStrNCpy(g_Bxi2.processId, value, sizeof g_Bxi2.processId);
    } else if ((value = ValueAfter(arg, "sfifo=")) != NULL) {
        KeepServerFifo(value);
    }
}

int Bxi2_ParseCommandLine(int argc, char** argv, int* mode, char* reference, uint32_t referenceSize,
                          char* defFile, uint32_t defFileSize, int* device, int* test,
                          float* percent, int* errorLimit) {
    static const char* const kModeWords[] = {"validate", "enumerate", "run", "sysinfo"};
    static const int kModes[] = {BXI2_MODE_VALIDATE, BXI2_MODE_ENUMERATE, BXI2_MODE_RUN,
                                 BXI2_MODE_SYSINFO};
    int chosen = BXI2_MODE_NONE;
    for (int i = 0; argv != NULL && i < argc; ++i) {
        const char* arg = argv[i];
        if (arg == NULL) {
            continue;
        }
        int isModeWord = 0;
        for (size_t m = 0; m < sizeof kModes / sizeof kModes[0]; ++m) {
            if (strcmp(arg, kModeWords[m]) == 0) {
                chosen = kModes[m];
                isModeWord = 1;
            }
        }
        if (!isModeWord) {
            ParseValueArgument(arg, reference, referenceSize, defFile, defFileSize, device, test,
                               percent, errorLimit);
        }
    }
    if (mode != NULL) {
        *mode = chosen;
    }
    return BXI2_OK;
}

static void PrintNameAndVersion(const char* argv0) {
    char shortName[kShortNameSize];
    Bxi2_I_ShortModuleName(argv0, shortName, sizeof shortName);
    fprintf(stderr, "%s %d.%d.%d\n", shortName, g_Bxi2.versionMajor, g_Bxi2.versionMinor,
            g_Bxi2.versionBuild);
}

static void StartTracing(int argc, char** argv) {
    ProcessTracingArgs(argc, argv);
    VTRACE(VELK_TRACE_DIAG, "\nBXI2 Diagnostic Module %s\n", argv[0]);
    for (int i = 0; i < argc; ++i) {
        VTRACE(VELK_TRACE_DIAG, "Bxi2_main:Param %i = %s\n", i, argv[i]);
    }
}

int Bxi2_Main(int argc, char** argv, Bxi2_Registration* reg) {
    if (argc <= 1 || argv == NULL) {
        PrintNameAndVersion(argv != NULL && argc > 0 ? argv[0] : NULL);
        return BXI2_OK;
    }
    if (argv[argc - 1] != NULL && strstr(argv[argc - 1], "trace") != NULL) {
        StartTracing(argc, argv);
    }
    if (reg == NULL) {
        return BXI2_E_REGISTRATION;
    }
    g_Bxi2.registration = reg;
    Bxi2_ParseCommandLine(argc, argv, &g_Bxi2.mode, g_Bxi2.reference, sizeof g_Bxi2.reference,
                          g_Bxi2.defFile, sizeof g_Bxi2.defFile, &g_Bxi2.device, &g_Bxi2.test,
                          &g_Bxi2.percentage, &g_Bxi2.errorLimit);
    switch (g_Bxi2.mode) {
        case BXI2_MODE_ENUMERATE:
            VTRACE(VELK_TRACE_DIAG, "Bxi2_main:Enumerate\n");
            return Bxi2_PerformEnumerate(g_Bxi2.reference);
        case BXI2_MODE_RUN:
            VTRACE(VELK_TRACE_DIAG, "Bxi2_main:RunDiag\n");
            return Bxi2_PerformRunDiag(g_Bxi2.reference, g_Bxi2.device, g_Bxi2.test, argc, argv);
        case BXI2_MODE_SYSINFO:
            VTRACE(VELK_TRACE_DIAG, "Bxi2_main:SysInfo\n");
            return Bxi2_PerformSysInfo(argc, argv);
        case BXI2_MODE_VALIDATE:
            VTRACE(VELK_TRACE_DIAG, "Bxi2_main:ParamValidate\n");
            return Bxi2_PerformParamValidate(g_Bxi2.reference, g_Bxi2.test, g_Bxi2.device, argc,
                                             argv);
        default:
            VTRACE(VELK_TRACE_DIAG, "Bxi2_main:Unknown mode\n");
            return BXI2_E_MODE;
    }
}
