// The real velk-cimserver as the end-to-end tests run it: a private bin
// directory (VELKOR_HOME) with velkcore and the test module (a device of
// every class), a private pipe directory (VELK_TMP), a free loopback port,
// and a stop by pid that checks the server ended cleanly and left no engine
// and no FIFO behind. wbemcli runs against it as a person would run it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "TestProcess.h"

namespace velk::testsupport {

struct CommandResult {
    int status = -1;     // exit status; -1 when it did not end normally in time
    std::string output;  // standard output, then error output
};

// Runs program with arguments (no shell), its output in files below
// scratchDir; killed and reported as failed when it takes over two minutes.
CommandResult RunCommand(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& scratchDir);

class CimServerProcess {
  public:
    static constexpr const char* kHostName = "testsystem";

    CimServerProcess();
    ~CimServerProcess();
    CimServerProcess(const CimServerProcess&) = delete;
    CimServerProcess& operator=(const CimServerProcess&) = delete;

    // Starts the server with these options added; false (and a test
    // failure) when it does not say where it listens.
    bool start(const std::vector<std::string>& options = {});
    // SIGTERM by pid; the exit status (a failure unless it is 0) after
    // checking that no engine of this server runs and no FIFO is left.
    int stop();

    int port() const { return _port; }
    // "<scheme>://[credentials@]localhost:<port>/root/korva"
    std::string url(const std::string& scheme = "http", const std::string& credentials = "") const;
    CommandResult wbemcli(const std::vector<std::string>& arguments) const;
    // Replaces the link to a test module file by a copy with from replaced
    // by to (before start).
    void replaceInModuleFile(const std::string& name, const std::string& from,
                             const std::string& to) const;
    // Writes a file into the server's private directory; its path.
    std::string writeFile(const std::string& name, const std::string& content) const;

    const std::string& home() const { return _home; }

  private:
    std::string _home;
    std::string _pipes;
    std::unique_ptr<ChildProcess> _process;
    int _port = 0;
};

}  // namespace velk::testsupport
