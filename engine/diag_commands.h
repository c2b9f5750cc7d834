// The command texts clients send the diagnostic engine, split into their
// parts.  Module ids, test indexes and device ids are separated by ':';
// parameters follow as "param=ID,VALUE" words separated by ':'.  A value may
// itself hold ':' ("param=TIME,12:30"): a parameter ends only where
// ":param=" starts the next one.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velk::engine {

inline constexpr std::string_view kPercentParameter = "VELK_BXI2_PERCENT_TO_TEST";

// START_TEST:MODULEID:TEST:DEVICE[:param=...] and
// VALIDATE_TEST_PARAMETERS:MODULEID:TEST:DEVICE[:param=...], without the
// command word.
struct TestCommand {
    // Limits on what a client may hand a module: the engine client's command
    // buffer is 8192 bytes.
    static constexpr std::size_t kMaxText = 8192;
    static constexpr std::size_t kMaxParameters = 100;

    std::string moduleId;
    int test = 0;
    unsigned deviceId = 0;
    std::vector<std::string> parameters;  // whole "param=ID,VALUE" words
    std::optional<std::string> percent;   // the value of the predefined parameter

    static std::optional<TestCommand> Parse(std::string_view arguments);
};

// The module names of SCAN_MODULES<MODULE_NAME>a.vkm</MODULE_NAME>...,
// without the command word; empty for all modules.
std::vector<std::string> ScanModuleNames(std::string_view arguments);

// The command word of a request: the text before the first ':' or '<'.
std::string_view CommandWord(std::string_view command);

}  // namespace velk::engine
