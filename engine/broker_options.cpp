#include "broker_options.h"

#include <cstdlib>

#include "number_text.h"

namespace velk::engine {

BrokerOptions ParseLaunchWords(const std::vector<std::string>& words) {
    BrokerOptions options;
    for (const std::string& word : words) {
        if (word.empty()) {
            continue;
        }
        if (word == "--multi") {
            options.multiInstance = true;
        } else if (word == "-dew") {
            options.clientDrivenEnumeration = true;
        } else if (word.find("trace") != std::string::npos) {
            options.trace = true;
        } else {
            options.unknownWords.push_back(word);
        }
    }
    options.binDirectory = ResolveBinDirectory();
    if (const char* limit = std::getenv("VELK_ENGINE_MAX_CLIENTS")) {
        std::optional<unsigned> value = ParseUnsigned(limit);
        if (value && *value > 0) {
            options.maxClients = *value;
        }
    }
    return options;
}

std::string ResolveBinDirectory() {
    const char* home = std::getenv("VELKOR_HOME");
    return home != nullptr && home[0] != '\0' ? std::string(home)
                                              : std::string(kDefaultBinDirectory);
}

std::string BrokerFifoPath(const std::string& pipeDirectory, const BrokerOptions& options,
                           pid_t pid) {
    std::string path = pipeDirectory + "/VELKFIFO";
    if (options.multiInstance) {
        path += '_';
        path += std::to_string(static_cast<long>(pid));
    }
    return path;
}

}  // namespace velk::engine
