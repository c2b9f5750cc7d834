/* The module name: the executable "NAME.linux" is the module "NAME.vkm", the
 * name under which the engine knows the module and its texts. */
#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include "bxi2-internal.h"
#include "process-helpers.h"

enum {
    kCommandLineSize = 256, /* at most 255 characters are read */
    kModuleNameSize = 256,
    kProcPathSize = 64,
};

static const char kExecutableSuffix[] = ".linux";
static const char kModuleSuffix[] = ".vkm";

/* The one module-wide copy of the name. */
static char gModuleName[kModuleNameSize];

int Bxi2_I_ModuleNameFromCommandLine(const char* commandLine, char* out, size_t size) {
    if (commandLine == NULL || out == NULL || size == 0) {
        return 0;
    }
    const char* suffix = strstr(commandLine, kExecutableSuffix);
    if (suffix == NULL) {
        return 0;
    }
    const char* start = suffix;
    while (start > commandLine && start[-1] != '/') {
        --start;
    }
    size_t baseLength = (size_t)(suffix - start);
    if (baseLength + strlen(kModuleSuffix) + 1 > size) {
        return 0;
    }
    memcpy(out, start, baseLength);
    memcpy(out + baseLength, kModuleSuffix, sizeof kModuleSuffix);
    return 1;
}

const char* pidToProcName(int pid) {
    char path[kProcPathSize];
    snprintf(path, sizeof path, "/proc/%d/cmdline", pid);
    FILE* file = fopen(path, "re");
    if (file == NULL) {
        return NULL;
    }
    char commandLine[kCommandLineSize];
    size_t length = fread(commandLine, 1, sizeof commandLine - 1, file);
    fclose(file);
    commandLine[length] = '\0';
    char name[kModuleNameSize];
    if (!Bxi2_I_ModuleNameFromCommandLine(commandLine, name, sizeof name)) {
        return NULL;
    }
    memcpy(gModuleName, name, sizeof gModuleName);
    return gModuleName;
}

const char* Bxi2_GetModuleName(void) {
    return pidToProcName((int)VelkGetPid());
}

const char* Bxi2_I_OwnModuleName(void) {
    const char* name = Bxi2_GetModuleName();
    if (name != NULL) {
        return name;
    }
    const char* slash = strrchr(g_Bxi2.defFile, '/');
    return slash == NULL ? g_Bxi2.defFile : slash + 1;
}

void Bxi2_I_CutAtFirstDot(const char* name, int upperCase, char* out, size_t size) {
    if (out == NULL || size == 0) {
        return;
    }
    out[0] = '\0';
    if (name == NULL) {
        return;
    }
    size_t length = strcspn(name, ".");
    if (length > size - 1) {
        length = size - 1;
    }
    for (size_t i = 0; i < length; ++i) {
        out[i] = upperCase ? (char)toupper((unsigned char)name[i]) : name[i];
    }
    out[length] = '\0';
}

void Bxi2_I_ShortModuleName(const char* argv0, char* out, size_t size) {
    const char* name = Bxi2_GetModuleName();
    if (name == NULL && argv0 != NULL) {
        const char* slash = strrchr(argv0, '/');
        name = slash == NULL ? argv0 : slash + 1;
    }
    Bxi2_I_CutAtFirstDot(name, 0, out, size);
}
