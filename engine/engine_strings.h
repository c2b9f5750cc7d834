// The engine's own texts: log items it adds to a test run.  They travel as
// NLS tags of the module name "velkcore" and are served by the NLS engine
// from the string file below, which is part of the program.
#pragma once

#include <string>
#include <string_view>

namespace velk::engine {

inline constexpr std::string_view kEngineStringModule = "velkcore";

// The engine's string file, in the format of NAME.nls.
std::string_view EngineStringFile();

// Event codes of the engine's log items.
enum EngineEventCode : int {
    kEventRunTimedOut = 9001,
    kEventRunKilled = 9002,
    kEventRunEndedWithoutResult = 9003,
    kEventLogItemsDropped = 9004,
    kEventModuleDidNotConnect = 9005,
    kEventModuleRefusedParameters = 9006,
};

// The NLS tags of the engine's log item texts.
std::string RunTimedOutText(int seconds);
std::string RunKilledText(int seconds);
std::string RunExitedWithoutResultText(int exitStatus);
std::string RunSignalledWithoutResultText(int signal);
std::string LogItemsDroppedText(unsigned long long count);
std::string ModuleDidNotConnectText(int seconds);
std::string ModuleRefusedParametersText(int exitStatus);

}  // namespace velk::engine
