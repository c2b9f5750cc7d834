#include "test_progress.h"

#include <algorithm>

#include "bxi2.h"
#include "termination.h"

namespace velk::module {

TestProgress::TestProgress(std::chrono::milliseconds budget, std::chrono::milliseconds pollInterval)
    : start_(Clock::now()),
      deadline_(start_ + budget),
      limited_(budget.count() > 0),
      pollInterval_(pollInterval),
      nextPoll_(start_) {}

void TestProgress::Report(std::uint64_t done, std::uint64_t total) {
    int percent = 100;
    if (total > 0) {
        percent = static_cast<int>(std::min<std::uint64_t>(done, total) * 100 / total);
    }
    if (percent != lastPercent_) {
        lastPercent_ = percent;
        Bxi2_SetPercentDone(percent);
    }
}

void TestProgress::Text(const std::string& text, std::uint32_t intervalMs) {
    Bxi2_SetProgressInformationTimed(intervalMs, "%s", text.c_str());
}

void TestProgress::TextNow(const std::string& text) {
    Bxi2_SetProgressInformation("%s", text.c_str());
}

bool TestProgress::StopRequested() {
    if (stopped_) {
        return true;
    }
    if (TerminationRequested()) {
        stopped_ = true;
        return true;
    }
    Clock::time_point now = Clock::now();
    if (now >= nextPoll_) {
        nextPoll_ = now + pollInterval_;
        stopped_ = Bxi2_CheckForStop() != 0;
    }
    return stopped_;
}

bool TestProgress::OutOfTime() const {
    return limited_ && Clock::now() >= deadline_;
}

std::chrono::milliseconds BudgetForTimeout(int timeoutSeconds) {
    if (timeoutSeconds <= 0) {
        return std::chrono::milliseconds(0);
    }
    int margin = std::clamp(timeoutSeconds / 10, 3, 30);
    int seconds = std::max(timeoutSeconds - margin, 1);
    return std::chrono::seconds(seconds);
}

}  // namespace velk::module
