// What the diagnostic and NLS engines of velkcore need to know at start: the
// bin directory that holds the modules and string files, and the limits on
// how long modules may take and how much they may log.  Read once by main()
// and handed to the components; nothing here changes while the engine runs.
#pragma once

#include <cstddef>
#include <string>

namespace velk::engine {

struct EngineSettings {
    // Absolute path of the directory with NAME.linux, NAME.vkm and NAME.nls.
    std::string binDirectory;
    // A launched module must announce itself (its startup notice) this soon.
    int connectTimeoutMs = 10000;
    // An enumerating module must deliver its device list this soon.
    int enumerateTimeoutMs = 60000;
    // A module asked for system information must answer this soon (the
    // client waits 15 s).
    int sysinfoTimeoutMs = 10000;
    // A module asked to stop is killed when it has not ended this soon.
    int stopGraceMs = 5000;
    // Log items kept per test run, and the bytes they may take (see
    // RunLog::Footprint); older ones are dropped and counted.
    std::size_t logLimit = 1000;
    std::size_t logBytes = 128 * 1024;
    // A module started to validate parameters must have ended this soon, so
    // that the client, which waits 3000 ms, always gets an answer.
    int validateTimeoutMs = 2500;
    // Ended runs nobody has freed; beyond this the oldest are forgotten.
    std::size_t keptEndedRuns = 256;
};

// The bin directory: VELKOR_HOME when set and not empty; else the directory
// of argv0 as the program was launched (a symbolic link is not followed, so
// a private bin directory of links finds its own modules); else, for a bare
// program name, the PATH entry it was found in; else /opt/Velkor/bin.  Made
// absolute against the current directory.
std::string EngineBinDirectory(const char* argv0);

// The settings with the bin directory for argv0 and limits from the
// environment: VELK_ENGINE_CONNECT_MS, VELK_ENGINE_ENUMERATE_MS,
// VELK_ENGINE_SYSINFO_MS, VELK_ENGINE_STOP_GRACE_MS, VELK_ENGINE_VALIDATE_MS,
// VELK_ENGINE_LOG_LIMIT, VELK_ENGINE_LOG_BYTES (positive decimal numbers;
// anything else keeps the default).
EngineSettings EngineSettingsFromEnvironment(const char* argv0);

}  // namespace velk::engine
