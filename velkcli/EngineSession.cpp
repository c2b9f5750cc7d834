#include "EngineSession.h"

#include <cstdlib>

#include "VelkCore.h"

namespace velkcli {

using VELKCORE::CTestEnvironment;

namespace {

// Fresh starts after a launch that lost the race for the broker FIFO.
constexpr int kLostLaunchRetries = 2;

}  // namespace

std::string ResolveHome(const std::optional<std::string>& option) {
    if (option && !option->empty()) {
        return *option;
    }
    const char* home = std::getenv("VELKOR_HOME");
    if (home != nullptr && home[0] != '\0') {
        return home;
    }
    return "/opt/Velkor/bin";
}

EngineSession::EngineSession(std::string home, bool keepEngine)
    : home_(std::move(home)),
      keepEngine_(keepEngine),
      environment_(std::make_unique<CTestEnvironment>()) {}

EngineSession::~EngineSession() {
    // Asked now rather than after Start: the engine counts as launched only
    // while it is the one this session is connected to.  An engine that
    // another client launched (also one that won the race against this
    // session's own launch) is never stopped from here.
    if (environment_->GetEnginePid() > 0 && !keepEngine_) {
        environment_->Stop();
    } else {
        environment_->CloseClient();
    }
}

std::optional<StartFailure> EngineSession::Start() {
    std::string launcher = home_ + "/velkcore";
    if (environment_->SetVelkHomeDir(home_) != 0) {
        return StartFailure{StartFailure::NO_ENGINE,
                            "no engine in " + home_ + " (" + launcher + " not found)"};
    }
    // A launched engine finds its modules through VELKOR_HOME: the same
    // directory as the launcher.
    setenv("VELKOR_HOME", home_.c_str(), 1);
    int result = environment_->Start();
    // Clients started together each launch an engine; all but one of those
    // end at once, and the others connect to the one that won.  When that
    // one is stopped by its own client before this session connected,
    // nothing serves it: this session's launch is gone, so it starts afresh
    // and launches again.
    for (int retry = 0;
         retry < kLostLaunchRetries && result == 1 && environment_->GetEnginePid() == 0; ++retry) {
        environment_->CloseClient();
        environment_ = std::make_unique<CTestEnvironment>();
        environment_->SetVelkHomeDir(home_);
        result = environment_->Start();
    }
    switch (result) {
        case 0:
            return std::nullopt;
        case -1:
            return StartFailure{StartFailure::NO_ENGINE,
                                "cannot launch " + launcher + ": not found"};
        case -2:
            return StartFailure{StartFailure::NO_ENGINE,
                                "cannot launch " + launcher + ": path too long"};
        default:
            return StartFailure{StartFailure::NOT_ANSWERING,
                                "the engine in " + home_ + " is not answering"};
    }
}

}  // namespace velkcli
