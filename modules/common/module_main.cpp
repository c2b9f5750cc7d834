#include "module_main.h"

#include <cstring>
#include <exception>

#include "termination.h"
#include "test_parameters.h"

namespace velk::module {

namespace {

// The callbacks of this module process; the interface calls plain
// functions, which forward to them.
ModuleCallbacks gCallbacks;
std::string gDefinitionsFile;

// Error event code of an exception that escaped a callback.
constexpr int kEventInternalError = 190;

int ReportEscaped(const char* what) {
    Bxi2_Error(kEventInternalError, "%s", what);
    return BXI2_RESULT_SETUPERROR;
}

int Enumerate() {
    try {
        return gCallbacks.enumerate();
    } catch (const std::exception& error) {
        return ReportEscaped(error.what());
    }
}

int Validate(int test, Bxi2_Device* device) {
    try {
        return gCallbacks.validate(test, device);
    } catch (const std::exception& error) {
        return ReportEscaped(error.what());
    }
}

int Run(int test, Bxi2_Device* device) {
    try {
        return gCallbacks.run(test, device);
    } catch (const std::exception& error) {
        return ReportEscaped(error.what());
    }
}

int SysInfo(Bxi2_Device* device, const char* parameters) {
    try {
        return gCallbacks.sysinfo(device, parameters);
    } catch (const std::exception& error) {
        return ReportEscaped(error.what());
    }
}

}  // namespace

const std::string& DefinitionsFile() {
    return gDefinitionsFile;
}

int DeclaredTimeoutSeconds(int test) {
    if (gDefinitionsFile.empty()) {
        return 0;
    }
    std::string key = "iTestTimeout[" + std::to_string(test) + "]";
    int seconds = VelkGetIniInt(gDefinitionsFile.c_str(), "Module", key.c_str(), 0);
    return seconds > 0 ? seconds : 0;
}

int ValidateDeclaredParameters(int, Bxi2_Device*) {
    CheckParameters();
    return BXI2_OK;
}

int RunModule(int argc, char** argv, const ModuleCallbacks& callbacks, ModuleVersion version) {
    gCallbacks = callbacks;
    InstallTerminationHandler();
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "deffile=", 8) == 0) {
            gDefinitionsFile = argv[i] + 8;
        }
    }
    // Sysinfo mode passes the definitions file as its fifth argument.
    if (argc > 5 && std::strcmp(argv[1], "sysinfo") == 0) {
        gDefinitionsFile = argv[5];
    }
    Bxi2_Registration* reg = Bxi2_CreateRegistrationStructure();
    if (reg == nullptr) {
        return BXI2_E_NO_MEMORY;
    }
    if (callbacks.enumerate != nullptr) {
        Bxi2_AddRegistrationStructureCallback(reg, BXI2_SLOT_ENUMERATE, BXI2_CALLBACK(Enumerate));
    }
    if (callbacks.validate != nullptr) {
        Bxi2_AddRegistrationStructureCallback(reg, BXI2_SLOT_VALIDATE, BXI2_CALLBACK(Validate));
    }
    if (callbacks.run != nullptr) {
        Bxi2_AddRegistrationStructureCallback(reg, BXI2_SLOT_RUN, BXI2_CALLBACK(Run));
    }
    if (callbacks.sysinfo != nullptr) {
        Bxi2_AddRegistrationStructureCallback(reg, BXI2_SLOT_SYSINFO, BXI2_CALLBACK(SysInfo));
    }
    Bxi2_Version(version.major, version.minor, version.build);
    int status = Bxi2_Main(argc, argv, reg);
    Bxi2_FreeRegistrationStructure(reg);
    return status;
}

}  // namespace velk::module
