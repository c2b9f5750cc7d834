// What the engine benchmarks share: a private root directory with bin/
// (velkcore and one module as links) and pipes/, the pipe layer of this
// process pointed at it, and starting, reaching and stopping velkcore there.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace velkbench {

// /tmp/velk-<tag>-XXXXXX with bin/velkcore -> corePath and
// bin/<module>.{linux,vkm,nls} -> <moduleDir>/<module>.*; removed with
// everything in it on destruction.
class BenchRoot {
  public:
    BenchRoot(const std::string& tag, const std::string& corePath, const std::string& moduleDir,
              const std::string& module);
    ~BenchRoot();
    BenchRoot(const BenchRoot&) = delete;
    BenchRoot& operator=(const BenchRoot&) = delete;

    const std::string& Path() const { return root_; }
    std::string Bin() const { return root_ + "/bin"; }
    std::string Pipes() const { return root_ + "/pipes"; }
    std::string Engine() const { return root_ + "/bin/velkcore"; }

  private:
    std::string root_;
};

// Points the pipe layer of this process at pipes (VELK_TMP) and runs its
// read/write thread; stops both and unsets VELK_TMP on destruction.
class BenchPipes {
  public:
    explicit BenchPipes(const std::string& pipes);
    ~BenchPipes();
    BenchPipes(const BenchPipes&) = delete;
    BenchPipes& operator=(const BenchPipes&) = delete;
};

// Starts program with arguments, standard output to /dev/null and standard
// error to errorFile; its pid or -1.
pid_t Spawn(const std::string& program, std::vector<std::string> arguments = {},
            const std::string& errorFile = "/dev/null");

// Connects as client (retrying every retry until the broker answers, for
// at most 20 s) and waits for the end of the enumeration; false when either
// fails.
bool ConnectAndWaitForEnumeration(const char* client, std::chrono::microseconds retry);

// Closes the connection, drops the messages left and stops velkcore (pid)
// with SIGTERM, reaping it.  A pid <= 0 only closes the connection.
void StopEngine(pid_t pid);

// Sends an engine command and returns the reply ("" on failure).
std::string Transact(const std::string& command);

// The text of the field at path in a message ("" when absent).
std::string Field(const std::string& text, const char* path);

}  // namespace velkbench
