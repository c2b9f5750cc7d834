// velkcli run: one test on one device, run through a scenario as the CIM
// provider runs it, watched until it ends.  A live progress bar (on a
// terminal; plain lines otherwise), the log messages as they arrive and the
// final result; or, with --json, one JSON document at the end.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "NLS.h"

namespace VELKCORE {
class CTestEnvironment;
}

namespace velkcli {

struct RunRequest {
    std::string test;    // CIM test name, "module:index", or the test's name
    std::string device;  // hardware locator
    std::vector<std::pair<std::string, std::string>> parameters;  // id, value
    unsigned int passes = 1;
    std::optional<long> maxTimeSeconds;
    std::optional<unsigned int> errorLimit;
    bool json = false;
    bool terminal = false;  // standard output is a terminal
};

// Splits "ID=VALUE" at the first "="; nothing when there is no "=" or no id.
std::optional<std::pair<std::string, std::string>> SplitParameter(const std::string& text);

// From here on SIGINT asks the run to stop instead of ending velkcli.
void CatchInterrupt();
bool Interrupted();

// Runs the request and returns velkcli's exit status.
int RunTest(VELKCORE::CTestEnvironment& environment, const RunRequest& request,
            VELKCORE::CNLS::LanguageId language);

}  // namespace velkcli
