#include "Sandbox.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <gtest/gtest.h>

namespace velk::dlltest {
namespace {

std::optional<std::string> GetEnv(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

void RestoreEnv(const char* name, const std::optional<std::string>& value) {
    if (value) {
        setenv(name, value->c_str(), 1);
    } else {
        unsetenv(name);
    }
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Trim(const std::string& text) {
    std::string::size_type start = text.find_first_not_of(" \t\r");
    if (start == std::string::npos) {
        return "";
    }
    std::string::size_type end = text.find_last_not_of(" \t\r");
    return text.substr(start, end - start + 1);
}

}  // namespace

Sandbox::Sandbox(Bin bin) : root_(testsupport::MakePrivateDirectory("velk-dll")) {
    if (root_.empty()) {
        std::perror("mkdtemp");
        std::abort();
    }
    mkdir(PipeDir().c_str(), 0700);
    mkdir(BinDir().c_str(), 0700);
    if (bin == Bin::SCRIPTED) {
        symlink(VELK_SCRIPTED_ENGINE_PATH, (BinDir() + "/velkcore").c_str());
    }
    if (bin == Bin::ENGINE) {
        symlink(VELK_CORE_PATH, (BinDir() + "/velkcore").c_str());
        for (const std::string& name : testsupport::ListDirectory(TestModuleDir())) {
            symlink((TestModuleDir() + "/" + name).c_str(), (BinDir() + "/" + name).c_str());
        }
    }
    savedTmp_ = GetEnv("VELK_TMP");
    savedHome_ = GetEnv("VELKOR_HOME");
    setenv("VELK_TMP", PipeDir().c_str(), 1);
    setenv("VELKOR_HOME", BinDir().c_str(), 1);
}

Sandbox::~Sandbox() {
    RestoreEnv("VELK_TMP", savedTmp_);
    RestoreEnv("VELKOR_HOME", savedHome_);
    testsupport::RemoveTree(root_);
}

std::vector<std::string> Sandbox::Fifos() const {
    std::vector<std::string> names;
    for (const std::string& name : testsupport::ListDirectory(PipeDir())) {
        struct stat status;
        if (lstat((PipeDir() + "/" + name).c_str(), &status) == 0 && S_ISFIFO(status.st_mode)) {
            names.push_back(name);
        }
    }
    return names;
}

void Sandbox::WriteScript(const std::string& name, const std::string& body) const {
    std::string path = BinDir() + "/" + name;
    unlink(path.c_str());
    {
        std::ofstream out(path);
        out << "#!/bin/sh\n" << body << "\n";
    }
    chmod(path.c_str(), 0700);
}

Child::Child(const std::string& program, const std::vector<std::string>& arguments,
             const std::string& outputDir, const std::vector<std::string>& extraEnvironment) {
    static int counter = 0;
    ++counter;
    stdoutPath_ = outputDir + "/child" + std::to_string(counter) + ".out";
    stderrPath_ = outputDir + "/child" + std::to_string(counter) + ".err";
    std::vector<std::string> environment = testsupport::EnvironmentWithout({});
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    constexpr int kCreate = O_WRONLY | O_CREAT | O_TRUNC;
    testsupport::Spawn(program, arguments, environment,
                       {testsupport::Redirect::Open(STDOUT_FILENO, stdoutPath_, kCreate, 0600),
                        testsupport::Redirect::Open(STDERR_FILENO, stderrPath_, kCreate, 0600)},
                       &pid_);
}

Child::~Child() {
    Stop();
}

std::optional<int> Child::Wait(int timeoutMs) {
    std::optional<int> status = testsupport::WaitForExit(pid_, timeoutMs);
    if (status) {
        pid_ = -1;
    }
    return status;
}

void Child::Stop() {
    StopProcess(pid_);
    pid_ = -1;
}

std::string Child::Stdout() const {
    return ReadFile(stdoutPath_);
}

std::string Child::Stderr() const {
    return ReadFile(stderrPath_);
}

bool ProcessGone(pid_t pid) {
    return pid > 0 && kill(pid, 0) != 0 && errno == ESRCH;
}

void BecomeSubreaper() {
    prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0);
}

std::vector<pid_t> ChildrenNamed(const std::string& name) {
    std::vector<pid_t> found;
    for (pid_t pid : testsupport::AllProcesses()) {
        std::optional<testsupport::ProcessStat> stat = testsupport::ReadProcessStat(pid);
        if (stat && stat->name == name && stat->parent == getpid()) {
            found.push_back(pid);
        }
    }
    return found;
}

void StopEnvironment(std::unique_ptr<VELKCORE::CTestEnvironment>& environment) {
    if (environment == nullptr) {
        return;
    }
    int launched = environment->GetEnginePid();
    environment->Stop();
    environment.reset();
    if (launched > 0) {
        EXPECT_TRUE(ProcessGone(launched)) << "velkcore " << launched << " survived";
    }
}

void ExpectNothingLeft(const Sandbox& sandbox) {
    for (pid_t stray : ChildrenNamed("velkcore")) {
        ADD_FAILURE() << "stray velkcore " << stray;
        StopProcess(stray);
    }
    EXPECT_TRUE(WaitUntil([&] { return sandbox.Fifos().empty(); }, 10000))
        << "FIFO left: " << sandbox.Fifos().front();
}

std::string TestModuleDir() {
    return VELK_TESTMODULE_DIR;
}

std::optional<std::string> TestModuleFile(const std::string& extension) {
    for (const std::string& name : testsupport::ListDirectory(TestModuleDir())) {
        if (name.size() > extension.size() &&
            name.compare(name.size() - extension.size(), extension.size(), extension) == 0) {
            return TestModuleDir() + "/" + name;
        }
    }
    return std::nullopt;
}

std::map<std::string, std::string> ReadIniSection(const std::string& path,
                                                  const std::string& section) {
    std::map<std::string, std::string> values;
    std::ifstream in(path);
    std::string line;
    bool inSection = false;
    while (std::getline(in, line)) {
        std::string text = Trim(line);
        if (text.empty() || text[0] == ';' || text[0] == '#') {
            continue;
        }
        if (text[0] == '[') {
            std::string::size_type end = text.find(']');
            inSection =
                Lower(text.substr(1, end == std::string::npos ? end : end - 1)) == Lower(section);
            continue;
        }
        std::string::size_type equals = text.find('=');
        if (inSection && equals != std::string::npos) {
            values[Lower(Trim(text.substr(0, equals)))] = line.substr(line.find('=') + 1);
        }
    }
    return values;
}

std::string IniValue(const std::map<std::string, std::string>& section, const std::string& key) {
    auto found = section.find(Lower(key));
    return found != section.end() ? found->second : std::string();
}

}  // namespace velk::dlltest
