// Test support for the engine client and its command-line client: private
// pipe and bin directories, child processes stopped by pid, and readers for
// the test module's data files.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TestDirectory.h"
#include "TestEnvironment.h"
#include "TestProcess.h"
#include "TestWait.h"

namespace velk::dlltest {

using velk::testsupport::FifoHasReader;
using velk::testsupport::ReadFile;
using velk::testsupport::StopProcess;
using velk::testsupport::WaitUntil;

// A private directory tree (mode 0700) for one test: pipes/ for the FIFOs
// and bin/ standing for the engine's bin directory.  While it lives,
// VELK_TMP names pipes/ and VELKOR_HOME names bin/ (the previous values come
// back afterwards); the tree is removed on destruction.
class Sandbox {
  public:
    enum class Bin {
        ENGINE,    // bin/ links velkcore and the test module's files
        SCRIPTED,  // bin/ links the scripted engine as velkcore
        EMPTY      // bin/ is empty
    };

    explicit Sandbox(Bin bin = Bin::ENGINE);
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::string& Root() const { return root_; }
    std::string PipeDir() const { return root_ + "/pipes"; }
    std::string BinDir() const { return root_ + "/bin"; }
    std::string BrokerFifo() const { return PipeDir() + "/VELKFIFO"; }
    // Names of the FIFOs in pipes/.
    std::vector<std::string> Fifos() const;
    // Writes an executable shell script bin/<name>.
    void WriteScript(const std::string& name, const std::string& body) const;

  private:
    std::string root_;
    std::optional<std::string> savedTmp_;
    std::optional<std::string> savedHome_;
};

// A started program with standard output and error captured in files.  The
// environment is this process's (so VELK_TMP and VELKOR_HOME of a sandbox
// apply) plus extraEnvironment.  Stopped by pid and reaped on destruction.
class Child {
  public:
    Child(const std::string& program, const std::vector<std::string>& arguments,
          const std::string& outputDir, const std::vector<std::string>& extraEnvironment = {});
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t Pid() const { return pid_; }
    // The exit status (as waitpid gives it), or nothing when it did not end.
    std::optional<int> Wait(int timeoutMs);
    // SIGTERM, then SIGKILL when it does not end; reaped.
    void Stop();
    std::string Stdout() const;
    std::string Stderr() const;

  private:
    pid_t pid_ = -1;
    std::string stdoutPath_;
    std::string stderrPath_;
};

// True when no process with this id exists (a zombie still exists).
bool ProcessGone(pid_t pid);

// Children of this process named name (/proc/<pid>/comm).  With the test
// process made a subreaper, orphans of programs it started show up here.
std::vector<pid_t> ChildrenNamed(const std::string& name);
// Makes this process adopt orphaned descendants.
void BecomeSubreaper();

// Stops and destroys environment (if any) and checks that the engine it
// launched has gone.
void StopEnvironment(std::unique_ptr<VELKCORE::CTestEnvironment>& environment);
// Checks that a test left nothing behind: a velkcore among this process's
// children is reported and stopped, and no FIFO may stay in the sandbox.
void ExpectNothingLeft(const Sandbox& sandbox);

// The test module's definitions file and string file, and a reader for one
// section of such an INI file (keys in lower case).
std::string TestModuleDir();
std::optional<std::string> TestModuleFile(const std::string& extension);
std::map<std::string, std::string> ReadIniSection(const std::string& path,
                                                  const std::string& section);
// The value of key (any case) in a section read by ReadIniSection; "" when
// absent.
std::string IniValue(const std::map<std::string, std::string>& section, const std::string& key);

}  // namespace velk::dlltest
