// Test harness for processes that talk over FIFOs: private directories,
// child processes stopped by pid, the real broker, and raw FIFO access.
#pragma once

#include <sys/types.h>

#include <csignal>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestDirectory.h"
#include "TestWait.h"

namespace velk::test {

using velk::testsupport::FifoHasReader;
using velk::testsupport::ListDirectory;

// A private directory (mode 0700) removed with its content on destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string Child(const std::string& name) const { return path_ + "/" + name; }
    std::vector<std::string> Entries() const;

  private:
    std::string path_;
};

// A started program with its standard output on a pipe.  Stopped by pid
// (SIGTERM, then SIGKILL if it does not end) and reaped on destruction.
class ChildProcess {
  public:
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return pid_; }
    // One line of its output without the line feed; nothing on end or time out.
    std::optional<std::string> ReadLine(int timeoutMs);
    // Everything written to its standard error so far (read after it ended).
    std::string ErrorOutput();
    // Sends signal and waits for the end; the exit status as waitpid gives it.
    int Stop(int signal);
    // Waits for the end without a signal; nothing when it does not end in time.
    std::optional<int> WaitForExit(int timeoutMs);
    bool Running() const { return pid_ > 0; }
    void MarkAsBroker() { broker_ = true; }
    bool IsBroker() const { return broker_; }

  private:
    pid_t pid_ = -1;
    int output_ = -1;
    int errors_ = -1;
    bool broker_ = false;
    std::string pending_;
};

// Environment entries for a child: VELK_TMP, HOME and VELKOR_HOME set, the
// rest of this process's environment kept.  VELKOR_HOME is the private home
// directory, which holds no module: the broker tests start no module
// processes (the build's bin directory holds the real drive modules).
std::vector<std::string> ChildEnvironment(const std::string& pipeDirectory,
                                          const std::string& homeDirectory);

// Polls FifoHasReader for up to timeoutMs.
bool WaitForReader(const std::string& path, int timeoutMs);
// Polls until nothing exists at path any more, for up to timeoutMs.
bool WaitForRemoval(const std::string& path, int timeoutMs);

// Reads raw bytes from fd until count bytes or timeoutMs passes.
std::string ReadRaw(int fd, size_t count, int timeoutMs);
// Writes all bytes to fd (blocking on a full FIFO by polling).
void WriteRaw(int fd, const std::string& bytes);

// The delimiter of a frame, built independently of the pipe layer.
std::string Delimiter(unsigned long sequence, int pid, int piece, int count,
                      unsigned long pieceLength, unsigned long totalLength);

// A whole message as one frame from writer pid.
std::string Frame(unsigned long sequence, int pid, const std::string& message);

// Reads raw bytes from fd until they contain terminator or timeoutMs passes.
std::string ReadUntil(int fd, const std::string& terminator, int timeoutMs);

// An enveloped command (type DE_COMMAND) to addressee with payload data;
// *id receives its message number.
std::string Request(const std::string& addressee, const std::string& data, uint32_t* id);

// The content of the element at path in message ("" when absent).
std::string FieldOf(const std::string& message, const char* path);

// A private pipe directory and home, the pipe layer and its thread set up,
// and the process's environment pointing at them.  TearDown closes the
// connection, stops every started process and checks that no FIFO is left.
class TransportTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::string PipeDir() const { return root_->Child("pipes"); }
    std::string HomeDir() const { return root_->Child("home"); }
    std::string BrokerFifo() const { return PipeDir() + "/VELKFIFO"; }
    std::vector<std::string> Environment() const { return ChildEnvironment(PipeDir(), HomeDir()); }

    // Starts velkcore (or another engine program) with the launch words and
    // waits until it reads its FIFO (VELKFIFO, or VELKFIFO_<pid> with --multi).
    ChildProcess& StartBroker(const std::vector<std::string>& words = {},
                              const std::string& program = VELK_CORE_PATH);
    // Starts the peer program in mode and waits for its "READY <code>" line;
    // the code (-1 when none came).
    ChildProcess& StartPeer(const std::string& mode, int* readyCode);
    ChildProcess& Start(const std::string& program, const std::vector<std::string>& arguments);

    std::vector<std::string> PipeDirEntries() const { return ListDirectory(PipeDir()); }

    std::unique_ptr<TempDir> root_;
    std::vector<std::unique_ptr<ChildProcess>> children_;
};

}  // namespace velk::test
