// Process helpers for tests: starting a program with posix_spawn, waiting
// for it and stopping it by pid, and reading the process table in /proc.
#pragma once

#include <sys/types.h>

#include <csignal>
#include <optional>
#include <string>
#include <vector>

#include "TestWait.h"

namespace velk::testsupport {

// This process's environment without the entries that start with one of
// the prefixes (e.g. "HOME=").
std::vector<std::string> EnvironmentWithout(const std::vector<std::string>& prefixes);

// A descriptor of the child set up before the program runs: a file opened
// with flags and mode.
struct Redirect {
    int fd = -1;
    std::string path;
    int flags = 0;
    mode_t mode = 0;

    static Redirect Open(int fd, const std::string& path, int flags, mode_t mode = 0) {
        return {fd, path, flags, mode};
    }
};

// Starts program (argv[0] is program) with exactly environment and the
// redirects applied in order.  The posix_spawn result; *pid is -1 when it
// failed.
int Spawn(const std::string& program, const std::vector<std::string>& arguments,
          const std::vector<std::string>& environment, const std::vector<Redirect>& redirects,
          pid_t* pid);

// Waits for the child pid to end; its wait status, or nothing when it does
// not end within timeoutMs (or pid is not a process id).
std::optional<int> WaitForExit(pid_t pid, int timeoutMs, int pollMs = kPollMs);

struct StopResult {
    int status = -1;      // the wait status (-1 when pid was not a process id)
    bool forced = false;  // true when it had to be ended with SIGKILL
};

// Sends signal to the child pid and waits for its end; SIGKILL when it does
// not end within timeoutMs.  Reaped either way.
StopResult StopProcess(pid_t pid, int signal = SIGTERM, int timeoutMs = 10000,
                       int pollMs = kPollMs);

// What /proc/PID/stat says of a process.
struct ProcessStat {
    std::string name;  // the command name, without the parentheses
    char state = 0;
    pid_t parent = 0;
};
std::optional<ProcessStat> ReadProcessStat(pid_t pid);

// Every process id in /proc.
std::vector<pid_t> AllProcesses();
// The process ids whose parent is parent.
std::vector<pid_t> ChildrenOf(pid_t parent);
// Children of parent in state Z.
std::vector<pid_t> ZombieChildren(pid_t parent);

// A started program with its output and error output in files beside each
// other (outputBase + ".out" / ".err").  Stopped by pid (the signal, SIGKILL
// and a test failure if it does not end) and reaped on destruction.
class ChildProcess {
  public:
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment, const std::string& outputBase);
    ~ChildProcess() { Stop(SIGTERM); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return pid_; }
    bool Running() const { return pid_ > 0; }
    // The first line of its output; nothing when none came within timeoutMs.
    std::optional<std::string> FirstLine(int timeoutMs) const;
    std::string ErrorOutput() const;
    // Sends signal and waits for the end; the wait status (-1 when not running).
    int Stop(int signal = SIGTERM);
    // Waits for the end without a signal; nothing when it does not end in time.
    std::optional<int> WaitForExit(int timeoutMs);

  private:
    pid_t pid_ = -1;
    std::string outputBase_;
};

}  // namespace velk::testsupport
