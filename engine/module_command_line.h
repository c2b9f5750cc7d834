// The command lines (argv from [1] on) the engine starts a module with, one
// per mode, as the module interface reads them (modules/README.md).
// Optional everywhere: "sfifo=" names the broker FIFO; a last argument
// "trace" makes the module write its trace file when the engine traces.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velk::engine {

struct ModuleLaunchCommon {
    std::string reference;        // "ref=": the TYPE of the module's startup notice
    std::string definitionsFile;  // "deffile="
    std::string brokerFifo;       // "sfifo="
    bool trace = false;
};

std::vector<std::string> EnumerateArguments(const ModuleLaunchCommon& common);

struct RunLaunch {
    unsigned deviceId = 0;
    int test = 0;
    std::string processId;
    std::optional<std::string> percent;   // "percent=", from the predefined parameter
    std::vector<std::string> parameters;  // whole "param=ID,VALUE" words
};
std::vector<std::string> RunArguments(const ModuleLaunchCommon& common, const RunLaunch& run);

struct ValidateLaunch {
    unsigned deviceId = 0;
    int test = 0;
    std::uint32_t senderPid = 0;  // the module answers this client itself
    std::uint32_t replyId = 0;    // with this RE
    std::vector<std::string> parameters;
};
std::vector<std::string> ValidateArguments(const ModuleLaunchCommon& common,
                                           const ValidateLaunch& validate);

// Positional: "sysinfo" DEST REID HWLOCATOR DEFFILE MODULENAME, then the
// optional words.  The reference is not passed (the module announces itself
// as "SYSINFO").
struct SysInfoLaunch {
    std::string destination;
    std::uint32_t replyId = 0;
    std::string hwLocator;
    std::string moduleName;
};
std::vector<std::string> SysInfoArguments(const ModuleLaunchCommon& common,
                                          const SysInfoLaunch& sysinfo);

}  // namespace velk::engine
