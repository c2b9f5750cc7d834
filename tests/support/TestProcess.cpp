#include "TestProcess.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include <gtest/gtest.h>

#include "TestDirectory.h"

extern char** environ;

namespace velk::testsupport {

std::vector<std::string> EnvironmentWithout(const std::vector<std::string>& prefixes) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string text = *entry;
        bool dropped = false;
        for (const std::string& prefix : prefixes) {
            dropped = dropped || text.rfind(prefix, 0) == 0;
        }
        if (!dropped) {
            entries.push_back(text);
        }
    }
    return entries;
}

int Spawn(const std::string& program, const std::vector<std::string>& arguments,
          const std::vector<std::string>& environment, const std::vector<Redirect>& redirects,
          pid_t* pid) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const Redirect& redirect : redirects) {
        posix_spawn_file_actions_addopen(&actions, redirect.fd, redirect.path.c_str(),
                                         redirect.flags, redirect.mode);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& entry : environment) {
        envp.push_back(const_cast<char*>(entry.c_str()));
    }
    envp.push_back(nullptr);
    int result = posix_spawn(pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) {
        *pid = -1;
    }
    return result;
}

std::optional<int> WaitForExit(pid_t pid, int timeoutMs, int pollMs) {
    if (pid <= 0) {
        return std::nullopt;
    }
    int status = 0;
    bool ended = WaitUntil(
        [&] {
            pid_t result = waitpid(pid, &status, WNOHANG);
            return result == pid || (result < 0 && errno != EINTR);
        },
        timeoutMs, pollMs);
    if (!ended) {
        return std::nullopt;
    }
    return status;
}

StopResult StopProcess(pid_t pid, int signal, int timeoutMs, int pollMs) {
    StopResult result;
    if (pid <= 0) {
        return result;
    }
    kill(pid, signal);
    std::optional<int> status = WaitForExit(pid, timeoutMs, pollMs);
    if (status) {
        result.status = *status;
        return result;
    }
    kill(pid, SIGKILL);
    int killed = 0;
    waitpid(pid, &killed, 0);
    result.status = killed;
    result.forced = true;
    return result;
}

std::optional<ProcessStat> ReadProcessStat(pid_t pid) {
    std::string text = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    std::string::size_type open = text.find('(');
    std::string::size_type close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open ||
        close + 2 >= text.size()) {
        return std::nullopt;
    }
    ProcessStat stat;
    stat.name = text.substr(open + 1, close - open - 1);
    std::istringstream rest(text.substr(close + 2));
    long parent = 0;
    rest >> stat.state >> parent;
    if (!rest) {
        return std::nullopt;
    }
    stat.parent = static_cast<pid_t>(parent);
    return stat;
}

std::vector<pid_t> AllProcesses() {
    std::vector<pid_t> pids;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        return pids;
    }
    while (struct dirent* entry = readdir(proc)) {
        char* end = nullptr;
        long pid = std::strtol(entry->d_name, &end, 10);
        if (pid > 0 && *end == '\0') {
            pids.push_back(static_cast<pid_t>(pid));
        }
    }
    closedir(proc);
    return pids;
}

std::vector<pid_t> ChildrenOf(pid_t parent) {
    std::vector<pid_t> children;
    for (pid_t pid : AllProcesses()) {
        std::optional<ProcessStat> stat = ReadProcessStat(pid);
        if (stat && stat->parent == parent) {
            children.push_back(pid);
        }
    }
    return children;
}

std::vector<pid_t> ZombieChildren(pid_t parent) {
    std::vector<pid_t> zombies;
    for (pid_t pid : ChildrenOf(parent)) {
        std::optional<ProcessStat> stat = ReadProcessStat(pid);
        if (stat && stat->state == 'Z') {
            zombies.push_back(pid);
        }
    }
    return zombies;
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment,
                           const std::string& outputBase)
    : outputBase_(outputBase) {
    int flags = O_WRONLY | O_CREAT | O_TRUNC;  // opened in the child: no O_CLOEXEC
    int result = Spawn(program, arguments, environment,
                       {Redirect::Open(STDOUT_FILENO, outputBase + ".out", flags, 0600),
                        Redirect::Open(STDERR_FILENO, outputBase + ".err", flags, 0600)},
                       &pid_);
    if (result != 0) {
        ADD_FAILURE() << "posix_spawn " << program << ": " << std::strerror(result);
    }
}

std::optional<std::string> ChildProcess::FirstLine(int timeoutMs) const {
    std::string output;
    WaitUntil(
        [&] {
            output = ReadFile(outputBase_ + ".out");
            return output.find('\n') != std::string::npos;
        },
        timeoutMs);
    std::string::size_type end = output.find('\n');
    return end == std::string::npos ? std::nullopt : std::optional(output.substr(0, end));
}

std::string ChildProcess::ErrorOutput() const {
    return ReadFile(outputBase_ + ".err");
}

std::optional<int> ChildProcess::WaitForExit(int timeoutMs) {
    std::optional<int> status = velk::testsupport::WaitForExit(pid_, timeoutMs);
    if (status) {
        pid_ = -1;
    }
    return status;
}

int ChildProcess::Stop(int signal) {
    if (pid_ <= 0) {
        return -1;
    }
    StopResult result = StopProcess(pid_, signal);
    if (result.forced) {
        ADD_FAILURE() << "process " << pid_ << " did not end on signal " << signal;
    }
    pid_ = -1;
    return result.status;
}

}  // namespace velk::testsupport
