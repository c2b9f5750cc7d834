// One module process the engine started.  It runs in a process group of its
// own (so that helpers it starts end with it), with standard input and
// output on /dev/null, default signal dispositions, and the pipe directory
// in VELK_PATH; it inherits no descriptor of the engine (they are all
// close-on-exec).
//
// The broker reaps children in one place and the engine passes the status
// on (MarkReaped).  A holder destroyed while its process has not been
// reaped kills the group and reaps it, so no module outlives the engine and
// no zombie is left.  Either way the client FIFO a module killed halfway
// through its handshake may have left in the pipe directory is removed.
#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velk::engine {

class ModuleProcess {
  public:
    // Starts executable with arguments (argv[1] on); null and a one-line
    // reason in error when it cannot be started.
    static std::unique_ptr<ModuleProcess> Start(const std::string& executable,
                                                const std::vector<std::string>& arguments,
                                                const std::string& pipeDirectory,
                                                std::string& error);
    ~ModuleProcess();
    ModuleProcess(const ModuleProcess&) = delete;
    ModuleProcess& operator=(const ModuleProcess&) = delete;

    pid_t Pid() const { return pid_; }
    bool Reaped() const { return status_.has_value(); }
    // The wait status once reaped.
    std::optional<int> Status() const { return status_; }

    // The broker reaped it with this wait status.
    void MarkReaped(int status);
    // Sends signal to the process group while the process is not reaped (its
    // pid, and so its group id, cannot have been reused).
    void Signal(int signal);
    // Reaps it if it has ended, without waiting; true once reaped.
    bool TryReap();

  private:
    ModuleProcess(pid_t pid, std::string leftoverFifo)
        : pid_(pid), leftoverFifo_(std::move(leftoverFifo)) {}
    void RemoveLeftoverFifo();

    pid_t pid_;
    std::string leftoverFifo_;
    std::optional<int> status_;
};

// "exit status N" or "signal N" for a wait status.
std::string DescribeWaitStatus(int status);

}  // namespace velk::engine
