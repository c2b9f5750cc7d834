// Launch words of velkcore and what they choose.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

namespace velk::engine {

struct BrokerOptions {
    bool multiInstance = false;             // "--multi": read VELKFIFO_<pid>
    bool clientDrivenEnumeration = false;   // "-dew": clients ask for SCAN_MODULES themselves
    bool trace = false;                     // a word containing "trace"
    std::string binDirectory;               // set by RunEngine: EngineBinDirectory()
    std::size_t maxClients = 256;           // VELK_ENGINE_MAX_CLIENTS: connected at once
    std::vector<std::string> unknownWords;  // ignored, reported as warnings
};

inline constexpr const char* kDefaultBinDirectory = "/opt/Velkor/bin";

// Parses the launch words (argv without the program name).  Empty words,
// which a trailing blank in the launch text may leave, are skipped.  The
// client limit comes from VELK_ENGINE_MAX_CLIENTS when that is a positive
// decimal number.
BrokerOptions ParseLaunchWords(const std::vector<std::string>& words);

// VELKOR_HOME when set and not empty, else /opt/Velkor/bin.
std::string ResolveBinDirectory();

// pipeDirectory + "/VELKFIFO", or + "/VELKFIFO_" + pid with --multi.
std::string BrokerFifoPath(const std::string& pipeDirectory, const BrokerOptions& options,
                           pid_t pid);

}  // namespace velk::engine
