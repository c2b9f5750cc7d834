// Progress of a running test: percent done, timed progress texts, the stop
// request of the engine and the time budget the test must end within.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace velk::module {

class TestProgress {
  public:
    using Clock = std::chrono::steady_clock;

    // budget: how long the test may work before it must wrap up (zero: no
    // limit).  The engine's stop request is polled at most every pollInterval.
    explicit TestProgress(std::chrono::milliseconds budget,
                          std::chrono::milliseconds pollInterval = std::chrono::milliseconds(200));

    // Sends the percent done of done out of total (0 to 100; nothing is sent
    // when the whole number did not change).
    void Report(std::uint64_t done, std::uint64_t total);
    // Sends a progress text at most every intervalMs milliseconds.
    void Text(const std::string& text, std::uint32_t intervalMs = 1000);
    // Sends a progress text now.
    void TextNow(const std::string& text);

    // True once the engine asked the test to stop (polled, then remembered),
    // or a termination signal arrived.
    bool StopRequested();
    // True once the time budget is used up.
    bool OutOfTime() const;
    // StopRequested() or OutOfTime().
    bool ShouldEnd() { return StopRequested() || OutOfTime(); }

    Clock::duration Elapsed() const { return Clock::now() - start_; }

  private:
    Clock::time_point start_;
    Clock::time_point deadline_;
    bool limited_;
    std::chrono::milliseconds pollInterval_;
    Clock::time_point nextPoll_;
    bool stopped_ = false;
    int lastPercent_ = -1;
};

// The time budget for a test whose declared time-out is timeoutSeconds: the
// time-out less a margin for reporting and ending (a tenth, at least 3 s, at
// most 30 s).  Zero for no time-out.
std::chrono::milliseconds BudgetForTimeout(int timeoutSeconds);

}  // namespace velk::module
