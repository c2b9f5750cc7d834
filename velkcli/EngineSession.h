// velkcli's use of the engine: a test environment on the bin directory,
// started for one command and then left as it was found.  An engine that ran
// before velkcli keeps running (velkcli only disconnects); an engine that
// velkcli launched is stopped again, unless the caller asks to keep it.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace VELKCORE {
class CTestEnvironment;
}

namespace velkcli {

// The bin directory: the --home value, else VELKOR_HOME, else
// /opt/Velkor/bin.
std::string ResolveHome(const std::optional<std::string>& option);

// Why the engine could not be used.
struct StartFailure {
    enum Kind { NO_ENGINE, NOT_ANSWERING } kind;
    std::string reason;  // one line
};

class EngineSession {
  public:
    EngineSession(std::string home, bool keepEngine);
    // Disconnects, or stops the engine that Start launched and that this
    // session is still connected to.
    ~EngineSession();
    EngineSession(const EngineSession&) = delete;
    EngineSession& operator=(const EngineSession&) = delete;

    // Connects (launching the engine when none runs) and reads the device
    // list.  Nothing on success.
    std::optional<StartFailure> Start();
    VELKCORE::CTestEnvironment& Environment() { return *environment_; }

  private:
    std::string home_;
    bool keepEngine_;
    std::unique_ptr<VELKCORE::CTestEnvironment> environment_;
};

}  // namespace velkcli
