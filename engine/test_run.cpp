#include "test_run.h"

#include <sys/wait.h>

#include <array>
#include <utility>

#include "client_text.h"
#include "engine_strings.h"
#include "markup_text.h"

namespace velk::engine {
namespace {

constexpr std::array<std::string_view, 9> kResultNames = {
    "PASS",          "SETUPERROR", "FAIL",    "BUSY",        "PRIVILEGEERROR",
    "NOTAPPLICABLE", "BADPARAMS",  "NOMEDIA", "DISCONTINUED"};

}  // namespace

int FinalResultForName(std::string_view name) {
    for (std::size_t i = 0; i < kResultNames.size(); ++i) {
        if (kResultNames[i] == name) {
            return static_cast<int>(i);
        }
    }
    return kResultSetupError;
}

TestRun::TestRun(std::string id, Where where, pid_t pid, std::optional<int> timeoutSeconds,
                 RunLogLimits logLimits, Clock::time_point now)
    : id_(std::move(id)), where_(std::move(where)), pid_(pid), log_(logLimits) {
    if (timeoutSeconds && *timeoutSeconds > 0) {
        SetTimeout(*timeoutSeconds, now);
    }
}

void TestRun::Announced() {
    if (state_ == RunState::kInitializing) {
        state_ = RunState::kRunning;
    }
}

void TestRun::Progress(std::string_view text) {
    if (Active()) {
        progress_ = NeutraliseMarkup(CutForClient(text, kClientProgressLimit));
    }
}

void TestRun::PercentDone(int percent) {
    if (Active()) {
        percent_ = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
    }
}

void TestRun::AddLogItem(std::string severity, std::string_view text, int eventCode) {
    log_.Add(std::move(severity), std::string(text), eventCode);
}

void TestRun::Result(int finalResult) {
    if (Active()) {
        End(finalResult);
    }
}

void TestRun::ProcessEnded(int waitStatus) {
    if (!Active()) {
        return;
    }
    if (state_ == RunState::kInitializing && WIFEXITED(waitStatus) &&
        WEXITSTATUS(waitStatus) == kModuleRefusedParameters) {
        AddLogItem("ERROR", ModuleRefusedParametersText(WEXITSTATUS(waitStatus)),
                   kEventModuleRefusedParameters);
        End(kResultBadParams);
        return;
    }
    if (WIFSIGNALED(waitStatus)) {
        AddLogItem("ERROR", RunSignalledWithoutResultText(WTERMSIG(waitStatus)),
                   kEventRunEndedWithoutResult);
    } else {
        AddLogItem("ERROR",
                   RunExitedWithoutResultText(WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1),
                   kEventRunEndedWithoutResult);
    }
    End(kResultExitedAbnormally);
}

void TestRun::SetTimeout(int seconds, Clock::time_point now) {
    timeoutSeconds_ = seconds > 0 ? seconds : 0;
    RestartTimeout(now);
}

void TestRun::RestartTimeout(Clock::time_point now) {
    if (timeoutSeconds_ > 0) {
        timeoutAt_ = now + std::chrono::seconds(timeoutSeconds_);
    } else {
        timeoutAt_.reset();
    }
}

bool TestRun::TimeoutPassed(Clock::time_point now) const {
    return Active() && !StopPending() && timeoutAt_ && now >= *timeoutAt_;
}

void TestRun::StopRequested(Clock::time_point killAt) {
    if (Active() && !killAt_) {
        killAt_ = killAt;
    }
}

bool TestRun::StopDeadlinePassed(Clock::time_point now) const {
    return Active() && killAt_ && now >= *killAt_;
}

void TestRun::TimedOut(Clock::time_point killAt) {
    AddLogItem("ERROR", RunTimedOutText(timeoutSeconds_), kEventRunTimedOut);
    StopRequested(killAt);
}

void TestRun::Killed(int graceSeconds) {
    if (!Active()) {
        return;
    }
    AddLogItem("ERROR", RunKilledText(graceSeconds), kEventRunKilled);
    End(kResultDiscontinued);
}

void TestRun::NeverConnected(int connectSeconds) {
    if (!Active()) {
        return;
    }
    AddLogItem("ERROR", ModuleDidNotConnectText(connectSeconds), kEventModuleDidNotConnect);
    End(kResultExitedAbnormally);
}

void TestRun::End(int finalResult) {
    finalResult_ = finalResult;
    state_ = RunState::kExited;
    timeoutAt_.reset();
    killAt_.reset();
}

std::string TestRun::StatusBody() const {
    return Element("TESTSTATUS", Element("STATE", std::to_string(static_cast<int>(state_))) +
                                     Element("PERCENTDONE", std::to_string(percent_)) +
                                     Element("PROGRESSMSG", progress_) +
                                     Element("FINALRESULT", std::to_string(FinalResultNumber())));
}

}  // namespace velk::engine
