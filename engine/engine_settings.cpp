#include "engine_settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string_view>

#include "broker_options.h"

namespace velk::engine {
namespace {

std::string Absolute(const std::string& directory) {
    if (!directory.empty() && directory[0] == '/') {
        return directory;
    }
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) == nullptr) {
        return directory;
    }
    return directory == "." ? std::string(cwd) : std::string(cwd) + "/" + directory;
}

bool IsExecutableFile(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

// The PATH entry holding an executable named name, as the shell finds it.
std::string DirectoryOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string_view entries = path != nullptr ? path : "";
    while (!entries.empty()) {
        std::string_view::size_type colon = entries.find(':');
        std::string_view entry = entries.substr(0, colon);
        entries = colon == std::string_view::npos ? std::string_view() : entries.substr(colon + 1);
        // An empty entry stands for the current directory.
        std::string directory = entry.empty() ? std::string(".") : std::string(entry);
        if (IsExecutableFile(directory + "/" + name)) {
            return directory;
        }
    }
    return {};
}

void ReadPositive(const char* name, int& value) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') {
        return;
    }
    errno = 0;
    char* end = nullptr;
    long number = std::strtol(text, &end, 10);
    if (errno == 0 && *end == '\0' && number > 0 && number <= INT_MAX) {
        value = static_cast<int>(number);
    }
}

}  // namespace

std::string EngineBinDirectory(const char* argv0) {
    const char* home = std::getenv("VELKOR_HOME");
    if (home != nullptr && *home != '\0') {
        return Absolute(home);
    }
    std::string program = argv0 != nullptr ? argv0 : "";
    std::string::size_type slash = program.rfind('/');
    if (slash != std::string::npos) {
        return Absolute(slash == 0 ? "/" : program.substr(0, slash));
    }
    if (!program.empty()) {
        std::string found = DirectoryOnPath(program);
        if (!found.empty()) {
            return Absolute(found);
        }
    }
    return kDefaultBinDirectory;
}

EngineSettings EngineSettingsFromEnvironment(const char* argv0) {
    EngineSettings settings;
    settings.binDirectory = EngineBinDirectory(argv0);
    ReadPositive("VELK_ENGINE_CONNECT_MS", settings.connectTimeoutMs);
    ReadPositive("VELK_ENGINE_ENUMERATE_MS", settings.enumerateTimeoutMs);
    ReadPositive("VELK_ENGINE_SYSINFO_MS", settings.sysinfoTimeoutMs);
    ReadPositive("VELK_ENGINE_STOP_GRACE_MS", settings.stopGraceMs);
    ReadPositive("VELK_ENGINE_VALIDATE_MS", settings.validateTimeoutMs);
    int logLimit = static_cast<int>(settings.logLimit);
    ReadPositive("VELK_ENGINE_LOG_LIMIT", logLimit);
    settings.logLimit = static_cast<std::size_t>(logLimit);
    int logBytes = static_cast<int>(settings.logBytes);
    ReadPositive("VELK_ENGINE_LOG_BYTES", logBytes);
    settings.logBytes = static_cast<std::size_t>(logBytes);
    return settings;
}

}  // namespace velk::engine
