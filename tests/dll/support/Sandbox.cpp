#include "Sandbox.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "client-connection-manager.h"
#include "client-fifo-access.h"
#include "client-messaging-engine.h"
#include "gen-str.h"
#include "message-protocol.h"
#include "pipe-lowlevel.h"

extern char** environ;

namespace velk::dlltest {
namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
    return remove(path);
}

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

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

Sandbox::Sandbox(Bin bin) {
    char pattern[] = "/tmp/velk-dll-XXXXXX";
    char* made = mkdtemp(pattern);
    if (made == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    root_ = made;
    chmod(root_.c_str(), 0700);
    mkdir(PipeDir().c_str(), 0700);
    mkdir(BinDir().c_str(), 0700);
    if (bin == Bin::SCRIPTED) {
        symlink(VELK_SCRIPTED_ENGINE_PATH, (BinDir() + "/velkcore").c_str());
    }
    if (bin == Bin::ENGINE) {
        symlink(VELK_CORE_PATH, (BinDir() + "/velkcore").c_str());
        if (DIR* modules = opendir(TestModuleDir().c_str())) {
            while (struct dirent* entry = readdir(modules)) {
                std::string name = entry->d_name;
                if (name != "." && name != "..") {
                    symlink((TestModuleDir() + "/" + name).c_str(),
                            (BinDir() + "/" + name).c_str());
                }
            }
            closedir(modules);
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
    nftw(root_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

std::vector<std::string> Sandbox::Fifos() const {
    std::vector<std::string> names;
    DIR* directory = opendir(PipeDir().c_str());
    if (directory == nullptr) {
        return names;
    }
    while (struct dirent* entry = readdir(directory)) {
        std::string path = PipeDir() + "/" + entry->d_name;
        struct stat status;
        if (lstat(path.c_str(), &status) == 0 && S_ISFIFO(status.st_mode)) {
            names.push_back(entry->d_name);
        }
    }
    closedir(directory);
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
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stdoutPath_.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrPath_.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        environment.emplace_back(*entry);
    }
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
}

Child::~Child() {
    Stop();
}

std::optional<int> Child::Wait(int timeoutMs) {
    if (pid_ <= 0) {
        return std::nullopt;
    }
    int status = 0;
    bool ended = WaitUntil(
        [&] {
            pid_t result = waitpid(pid_, &status, WNOHANG);
            return result == pid_ || (result < 0 && errno != EINTR);
        },
        timeoutMs);
    if (!ended) {
        return std::nullopt;
    }
    pid_ = -1;
    return status;
}

void Child::Stop() {
    if (pid_ <= 0) {
        return;
    }
    kill(pid_, SIGTERM);
    if (Wait(10000)) {
        return;
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::string Child::Stdout() const {
    return ReadFile(stdoutPath_);
}

std::string Child::Stderr() const {
    return ReadFile(stderrPath_);
}

void StopProcess(pid_t pid) {
    if (pid <= 0) {
        return;
    }
    kill(pid, SIGTERM);
    bool ended = WaitUntil([&] { return waitpid(pid, nullptr, WNOHANG) != 0; }, 10000);
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

bool ProcessGone(pid_t pid) {
    return pid > 0 && kill(pid, 0) != 0 && errno == ESRCH;
}

bool FifoHasReader(const std::string& path) {
    int probe = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (probe < 0) {
        return false;
    }
    close(probe);
    return true;
}

void BecomeSubreaper() {
    prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0);
}

std::vector<pid_t> ChildrenNamed(const std::string& name) {
    std::vector<pid_t> found;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        return found;
    }
    while (struct dirent* entry = readdir(proc)) {
        if (!std::isdigit(static_cast<unsigned char>(entry->d_name[0]))) {
            continue;
        }
        std::string stat = ReadFile(std::string("/proc/") + entry->d_name + "/stat");
        std::string::size_type open = stat.find('(');
        std::string::size_type close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close < open) {
            continue;
        }
        std::string comm = stat.substr(open + 1, close - open - 1);
        std::istringstream rest(stat.substr(close + 1));
        std::string state;
        pid_t parent = 0;
        rest >> state >> parent;
        if (comm == name && parent == getpid()) {
            found.push_back(static_cast<pid_t>(std::atoi(entry->d_name)));
        }
    }
    closedir(proc);
    return found;
}

std::string TestModuleDir() {
    return VELK_TESTMODULE_DIR;
}

std::optional<std::string> TestModuleFile(const std::string& extension) {
    DIR* directory = opendir(TestModuleDir().c_str());
    if (directory == nullptr) {
        return std::nullopt;
    }
    std::optional<std::string> found;
    while (struct dirent* entry = readdir(directory)) {
        std::string name = entry->d_name;
        if (name.size() > extension.size() &&
            name.compare(name.size() - extension.size(), extension.size(), extension) == 0) {
            found = TestModuleDir() + "/" + name;
            break;
        }
    }
    closedir(directory);
    return found;
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
