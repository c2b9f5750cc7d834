#include "CimServerProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "TestDirectory.h"

namespace velk::testsupport {

namespace {

constexpr int kCommandTimeoutMs = 120000;
constexpr int kStartTimeoutMs = 60000;

// Engines started for this server: velkcore processes whose VELK_TMP is its
// pipe directory.
std::vector<pid_t> enginesUsing(const std::string& pipes) {
    std::vector<pid_t> engines;
    for (pid_t pid : AllProcesses()) {
        std::optional<ProcessStat> stat = ReadProcessStat(pid);
        if (!stat || stat->name != "velkcore") {
            continue;
        }
        std::string environment = ReadFile("/proc/" + std::to_string(pid) + "/environ");
        if (environment.find("VELK_TMP=" + pipes + '\0') != std::string::npos) {
            engines.push_back(pid);
        }
    }
    return engines;
}

}  // namespace

CommandResult RunCommand(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& scratchDir) {
    static int counter = 0;
    std::string base = scratchDir + "/command" + std::to_string(++counter);
    pid_t pid = -1;
    Spawn(program, arguments, EnvironmentWithout({}),
          {Redirect::Open(1, base + ".out", O_WRONLY | O_CREAT | O_TRUNC, 0600),
           Redirect::Open(2, base + ".err", O_WRONLY | O_CREAT | O_TRUNC, 0600)},
          &pid);
    CommandResult result;
    if (pid <= 0) {
        ADD_FAILURE() << "cannot start " << program;
        return result;
    }
    std::optional<int> status = WaitForExit(pid, kCommandTimeoutMs);
    if (!status) {
        ADD_FAILURE() << program << " did not end";
        StopProcess(pid, SIGKILL);
    } else if (WIFEXITED(*status)) {
        result.status = WEXITSTATUS(*status);
    }
    result.output = ReadFile(base + ".out") + ReadFile(base + ".err");
    return result;
}

CimServerProcess::CimServerProcess() {
    _home = MakePrivateDirectory("velk-cimserver-home");
    _pipes = MakePrivateDirectory("velk-cimserver-pipes");
    std::filesystem::create_symlink(VELK_CORE_PATH, _home + "/velkcore");
    for (const auto& entry : std::filesystem::directory_iterator(VELK_TESTMODULE_DIR)) {
        std::filesystem::create_symlink(entry.path(),
                                        _home + "/" + entry.path().filename().string());
    }
    writeFile("velklog.props",
              "log4cpp.rootCategory=DEBUG, file\n"
              "log4cpp.appender.file=FileAppender\n"
              "log4cpp.appender.file.fileName=" +
                  _home +
                  "/provider.log\n"
                  "log4cpp.appender.file.layout=PatternLayout\n"
                  "log4cpp.appender.file.layout.ConversionPattern=%c %p %m%n\n");
}

CimServerProcess::~CimServerProcess() {
    if (_process) {
        stop();
    }
    RemoveTree(_home);
    RemoveTree(_pipes);
}

bool CimServerProcess::start(const std::vector<std::string>& options) {
    std::vector<std::string> arguments = {"--port", "0", "--home", _home, "--host-name", kHostName};
    arguments.insert(arguments.end(), options.begin(), options.end());
    std::vector<std::string> environment =
        EnvironmentWithout({"VELK_TMP=", "VELKOR_HOME=", "VELKTEST_ALL_CLASSES="});
    environment.push_back("VELK_TMP=" + _pipes);
    environment.push_back("VELKTEST_ALL_CLASSES=1");
    _process = std::make_unique<ChildProcess>(VELK_CIMSERVER_PATH, arguments, environment,
                                              _home + "/server");
    std::optional<std::string> line = _process->FirstLine(kStartTimeoutMs);
    const std::string marker = "listening on ";
    size_t at = line ? line->find(marker) : std::string::npos;
    size_t colon = at == std::string::npos ? at : line->find(':', line->find("//", at));
    if (colon == std::string::npos) {
        ADD_FAILURE() << "velk-cimserver did not start: " << line.value_or("")
                      << _process->ErrorOutput();
        return false;
    }
    _port = std::stoi(line->substr(colon + 1));
    return true;
}

int CimServerProcess::stop() {
    int status = _process->Stop(SIGTERM);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "velk-cimserver ended with wait status " << status << ": " << _process->ErrorOutput();
    _process.reset();
    for (pid_t engine : enginesUsing(_pipes)) {
        ADD_FAILURE() << "velkcore " << engine << " left running";
        StopProcess(engine, SIGKILL);
    }
    EXPECT_TRUE(ListDirectory(_pipes).empty()) << "FIFO left in " << _pipes;
    return status;
}

std::string CimServerProcess::url(const std::string& scheme, const std::string& credentials) const {
    return scheme + "://" + (credentials.empty() ? "" : credentials + "@") +
           "localhost:" + std::to_string(_port) + "/root/korva";
}

CommandResult CimServerProcess::wbemcli(const std::vector<std::string>& arguments) const {
    return RunCommand("/usr/bin/wbemcli", arguments, _home);
}

void CimServerProcess::replaceInModuleFile(const std::string& name, const std::string& from,
                                           const std::string& to) const {
    std::string text = ReadFile(std::string(VELK_TESTMODULE_DIR) + "/" + name);
    size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << name << " has no " << from;
    text.replace(at, from.size(), to);
    std::filesystem::remove(_home + "/" + name);
    writeFile(name, text);
}

std::string CimServerProcess::writeFile(const std::string& name, const std::string& content) const {
    std::string path = _home + "/" + name;
    std::ofstream(path) << content;
    return path;
}

}  // namespace velk::testsupport
