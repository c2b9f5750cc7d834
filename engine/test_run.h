// One test run: a module process started in run mode on one device, and
// what the engine knows of it.  State numbers are those the engine client
// reads: 0 initializing (started, not yet announced), 1 running, 2 exited.
// Final result numbers: PASS 0, SETUPERROR 1, FAIL 2, BUSY 3,
// PRIVILEGEERROR 4, NOTAPPLICABLE 5, BADPARAMS 6, NOMEDIA 7, DISCONTINUED
// 8; 10 while the run has none yet; 11 when the module ended without one.
//
// A run is stopped by sending its module STOPTESTING; a module that has not
// ended when the grace period is over is killed and the run ends
// DISCONTINUED.  A run that exceeds its time-out is stopped the same way.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "module_catalog.h"
#include "run_log.h"

namespace velk::engine {

enum class RunState : int { kInitializing = 0, kRunning = 1, kExited = 2 };

enum FinalResult : int {
    kResultPass = 0,
    kResultSetupError = 1,
    kResultBadParams = 6,
    kResultDiscontinued = 8,
    kResultNotFinal = 10,
    kResultExitedAbnormally = 11,
};

// The exit status of a module that refuses the parameters of its run (the
// percent to test, or a value it cannot take) before it connects.
inline constexpr int kModuleRefusedParameters = 31;

// The engine's number for a module's result name ("PASS", "FAIL", ...); an
// unknown name counts as SETUPERROR, as the module interface sends it.
int FinalResultForName(std::string_view name);

class TestRun {
  public:
    using Clock = std::chrono::steady_clock;

    struct Where {
        ModulePtr module;
        int test = 0;
        unsigned deviceId = 0;
        std::string hwLocator;
    };

    TestRun(std::string id, Where where, pid_t pid, std::optional<int> timeoutSeconds,
            RunLogLimits logLimits, Clock::time_point now);

    const std::string& Id() const { return id_; }
    const Where& Location() const { return where_; }
    pid_t Pid() const { return pid_; }
    RunState State() const { return state_; }
    bool Active() const { return state_ != RunState::kExited; }
    int Percent() const { return percent_; }
    int FinalResultNumber() const { return finalResult_.value_or(kResultNotFinal); }
    const RunLog& Log() const { return log_; }

    // What the module reports.  The progress text is cut to what the client
    // reads (client_text.h).
    void Announced();
    void Progress(std::string_view text);
    void PercentDone(int percent);
    void AddLogItem(std::string severity, std::string_view text, int eventCode);
    void Result(int finalResult);
    // The module process has ended (wait status); a run without a result ends
    // EXITED ABNORMALLY with a log item that says how the module ended, or
    // BADPARAMS when the module refused its parameters before it announced
    // itself (exit status kModuleRefusedParameters).
    void ProcessEnded(int waitStatus);

    // Time-out in seconds, 0 when none; SET_TIMEOUT sets it and restarts the
    // clock, CLEAR_TIMEOUT restarts the clock.
    int TimeoutSeconds() const { return timeoutSeconds_; }
    void SetTimeout(int seconds, Clock::time_point now);
    void RestartTimeout(Clock::time_point now);
    bool TimeoutPassed(Clock::time_point now) const;

    // The engine asks the module to stop; it must end by the deadline.
    void StopRequested(Clock::time_point killAt);
    bool StopPending() const { return killAt_.has_value(); }
    bool StopDeadlinePassed(Clock::time_point now) const;
    // The run exceeded its time-out: logged, then stopped like STOP_TEST.
    void TimedOut(Clock::time_point killAt);
    // The module was killed after the grace period (graceSeconds for the log).
    void Killed(int graceSeconds);
    // The module never announced itself and was killed.
    void NeverConnected(int connectSeconds);

    // "<TESTSTATUS><STATE>..</STATE><PERCENTDONE>..</PERCENTDONE>
    // <PROGRESSMSG>..</PROGRESSMSG><FINALRESULT>..</FINALRESULT></TESTSTATUS>"
    std::string StatusBody() const;

  private:
    void End(int finalResult);

    std::string id_;
    Where where_;
    pid_t pid_;
    RunState state_ = RunState::kInitializing;
    int percent_ = 0;
    std::string progress_;
    std::optional<int> finalResult_;
    RunLog log_;
    int timeoutSeconds_ = 0;
    std::optional<Clock::time_point> timeoutAt_;
    std::optional<Clock::time_point> killAt_;
};

}  // namespace velk::engine
