// The main of a diagnostic module written in C++: registers the module's
// callbacks with the module interface and runs the mode the engine asked for.
// An exception that escapes a callback is reported as an error event and the
// run ends with a set-up error, instead of ending the process without a
// result.
#pragma once

#include <string>

#include "bxi2.h"

namespace velk::module {

struct ModuleCallbacks {
    int (*enumerate)() = nullptr;                              // creates and adds the devices
    int (*validate)(int test, Bxi2_Device* device) = nullptr;  // sets valid flags
    int (*run)(int test, Bxi2_Device* device) = nullptr;       // the test result code
    int (*sysinfo)(Bxi2_Device* device, const char* parameters) = nullptr;
};

struct ModuleVersion {
    int major = 1;
    int minor = 0;
    int build = 0;
};

// The validate callback of a module whose tests take no parameters beyond
// those its definitions file declares: checks every parameter given against
// its type and limits and sets its valid flag (test_parameters.h).
int ValidateDeclaredParameters(int test, Bxi2_Device* device);

// Bxi2_Main with the callbacks; the process exit status.  A termination
// signal stops a running test (termination.h) instead of ending the process.
int RunModule(int argc, char** argv, const ModuleCallbacks& callbacks, ModuleVersion version);

// The definitions file of this process ("deffile=" of the command line),
// empty when none was given.
const std::string& DefinitionsFile();

// iTestTimeout[test] of the definitions file in seconds, 0 when it has none.
int DeclaredTimeoutSeconds(int test);

}  // namespace velk::module
