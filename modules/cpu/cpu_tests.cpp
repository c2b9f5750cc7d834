#include "cpu_tests.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>

#include "bxi2.h"
#include "cache_check.h"
#include "core_runner.h"
#include "self_checks.h"

namespace velk::cpumodule {
namespace {

using velk::modules::TestSession;
using velk::modules::Text;

constexpr auto kProgressInterval = std::chrono::seconds(1);

uint64_t Scaled(uint64_t full, double percent) {
    return std::max<uint64_t>(1, static_cast<uint64_t>(std::ceil(full * percent / 100.0)));
}

std::string Milliseconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", seconds * 1000.0);
    return text;
}

CoreOutcome FromMismatch(const std::optional<CheckMismatch>& mismatch, CoreControl& control) {
    CoreOutcome outcome;
    if (mismatch) {
        outcome.status = CoreStatus::kFailed;
        outcome.detail = mismatch->check + " " + mismatch->got + " " + mismatch->want;
    } else if (control.StopRequested()) {
        outcome.status = CoreStatus::kStopped;
    }
    return outcome;
}

// The per-CPU mismatches, kept apart from the outcome's text so the log item
// can name check, result and expectation separately.
struct Failure {
    int cpu;
    CheckMismatch mismatch;
};

class CpuTestRun {
  public:
    CpuTestRun(int test, const Processor& processor, TestSession& session, const CpuTestWork& work)
        : test_(test), processor_(processor), session_(session), work_(work) {}

    int Run() {
        std::vector<int> cpus = UsableCpus();
        if (cpus.empty()) {
            session_.Error(kEventNoUsableCpu,
                           Text("szErrNoUsableCpu", {{"NUM", std::to_string(processor_.package)}}));
            return BXI2_RESULT_SETUPERROR;
        }
        if (int refused = CheckFeatures(cpus); refused != BXI2_RESULT_PASS) {
            return refused;
        }
        double percent = session_.PercentToTest();
        uint64_t unitsPerCpu = UnitsPerCpu(percent);
        uint64_t total = unitsPerCpu * cpus.size();
        session_.Info(
            Text("szInfoStart", {{"CPUS", std::to_string(cpus.size())},
                                 {"PERCENT", std::to_string(static_cast<int>(percent))}}));
        session_.PercentDone(0);
        auto lastProgress = std::chrono::steady_clock::now() - kProgressInterval;
        auto watch = [&](uint64_t done) {
            session_.PercentDone(static_cast<int>(std::min<uint64_t>(done, total) * 100 / total));
            auto now = std::chrono::steady_clock::now();
            if (now - lastProgress >= kProgressInterval) {
                lastProgress = now;
                session_.Progress(Text("szProgressWork", {{"DONE", std::to_string(done)},
                                                          {"TOTAL", std::to_string(total)}}));
            }
            return session_.StopRequested();
        };
        auto outcomes = RunPinned(
            cpus, [&](int cpu, CoreControl& control) { return Work(cpu, unitsPerCpu, control); },
            watch, test_ == kCacheTest);
        return Judge(outcomes);
    }

  private:
    std::vector<int> UsableCpus() {
        std::vector<int> allowed = AllowedCpus();
        std::vector<int> usable;
        for (const auto& cpu : processor_.cpus) {
            if (std::find(allowed.begin(), allowed.end(), cpu.index) != allowed.end()) {
                usable.push_back(cpu.index);
            } else {
                session_.Warning(kEventNotPinned,
                                 Text("szWarnCpuNotAllowed", {{"CPU", std::to_string(cpu.index)}}));
            }
        }
        return usable;
    }

    // The features the test needs, as the kernel reports them.
    int CheckFeatures(const std::vector<int>& cpus) {
        if (test_ == kCacheTest) {
            levelTwo_ = processor_.LevelTwoCache();
            if (!levelTwo_) {
                session_.Error(
                    kEventNoLevelTwoCache,
                    Text("szErrNoLevelTwoCache", {{"NUM", std::to_string(processor_.package)}}));
                return BXI2_RESULT_FAIL;
            }
            session_.Info(Text("szInfoLevelTwoCache",
                               {{"SIZE", std::to_string(levelTwo_->sizeBytes >> 10)}}));
        }
        if (test_ == kMmxTest) {
            for (const auto& cpu : processor_.cpus) {
                if (!cpu.info.HasFlag("mmx")) {
                    session_.Error(kEventNoMmx,
                                   Text("szErrNoMmx", {{"CPU", std::to_string(cpu.index)}}));
                    return BXI2_RESULT_FAIL;
                }
            }
            if (!MmxBuiltIn()) {
                session_.Error(kEventNoMmx, Text("szErrMmxNotBuilt"));
                return BXI2_RESULT_NOTAPPLICABLE;
            }
        }
        return BXI2_RESULT_PASS;
    }

    uint64_t UnitsPerCpu(double percent) const {
        switch (test_) {
            case kIntegerTest:
                return Scaled(work_.integerRounds, percent);
            case kFloatTest:
                return Scaled(work_.floatRounds, percent);
            case kCacheTest:
                return Scaled(work_.cachePasses, percent);
            default:
                return Scaled(work_.mmxRounds, percent);
        }
    }

    CoreOutcome Work(int cpu, uint64_t units, CoreControl& control) {
        uint64_t seed = static_cast<uint64_t>(cpu) + 1;
        switch (test_) {
            case kIntegerTest: {
                auto mismatch = CheckIntegerVectors(IntegerVectors());
                if (!mismatch) {
                    mismatch = CheckIntegerIdentities(seed, units, control);
                }
                return Record(cpu, mismatch, control);
            }
            case kFloatTest: {
                auto mismatch = CheckFloatVectors();
                if (!mismatch) {
                    mismatch = CheckFloatIdentities(seed, units, control);
                }
                return Record(cpu, mismatch, control);
            }
            case kCacheTest: {
                auto result = CheckCache(levelTwo_->sizeBytes, processor_.LargestCacheBytes(),
                                         static_cast<unsigned>(units), control);
                timings_.push_back({cpu, result.timing});
                return Record(cpu, result.mismatch, control);
            }
            default: {
                if (!CpuidReportsMmx()) {
                    return Record(cpu, CheckMismatch{"cpuid", "no-mmx", "mmx"}, control);
                }
                return Record(cpu, CheckMmx(seed, units, control), control);
            }
        }
    }

    CoreOutcome Record(int cpu, const std::optional<CheckMismatch>& mismatch,
                       CoreControl& control) {
        if (mismatch) {
            std::lock_guard<std::mutex> lock(failuresMutex_);
            failures_.push_back({cpu, *mismatch});
        }
        return FromMismatch(mismatch, control);
    }

    int Judge(const std::vector<CoreOutcome>& outcomes) {
        int result = BXI2_RESULT_PASS;
        size_t pinned = 0;
        for (const auto& outcome : outcomes) {
            std::string cpu = std::to_string(outcome.cpu);
            switch (outcome.status) {
                case CoreStatus::kPassed:
                    ++pinned;
                    session_.Info(Text("szInfoCpuPassed",
                                       {{"CPU", cpu}, {"MS", Milliseconds(outcome.seconds)}}));
                    break;
                case CoreStatus::kFailed:
                    ++pinned;
                    result = BXI2_RESULT_FAIL;
                    break;
                case CoreStatus::kStopped:
                    ++pinned;
                    if (result == BXI2_RESULT_PASS) {
                        result = BXI2_RESULT_DISCONTINUED;
                    }
                    break;
                case CoreStatus::kNotPinned:
                    session_.Warning(
                        kEventNotPinned,
                        Text("szWarnNotPinned", {{"CPU", cpu}, {"REASON", outcome.detail}}));
                    break;
            }
        }
        for (const auto& failure : failures_) {
            session_.Error(kEventMismatch,
                           Text(failure.mismatch.check == "cache-speed" ? "szErrCacheSlow"
                                : failure.mismatch.check == "cpuid"     ? "szErrMmxCpuid"
                                                                        : "szErrMismatch",
                                {{"CPU", std::to_string(failure.cpu)},
                                 {"CHECK", failure.mismatch.check},
                                 {"GOT", failure.mismatch.got},
                                 {"WANT", failure.mismatch.want}}));
        }
        for (const auto& [cpu, timing] : timings_) {
            char cached[32], uncached[32];
            std::snprintf(cached, sizeof cached, "%.4f", timing.cachedNsPerByte);
            std::snprintf(uncached, sizeof uncached, "%.4f", timing.uncachedNsPerByte);
            session_.Info(
                Text("szInfoCacheTiming",
                     {{"CPU", std::to_string(cpu)}, {"CACHED", cached}, {"UNCACHED", uncached}}));
        }
        if (pinned == 0) {
            session_.Error(kEventNoUsableCpu,
                           Text("szErrNoUsableCpu", {{"NUM", std::to_string(processor_.package)}}));
            return BXI2_RESULT_SETUPERROR;
        }
        if (result == BXI2_RESULT_PASS && session_.StopRequested()) {
            result = BXI2_RESULT_DISCONTINUED;
        }
        if (result == BXI2_RESULT_PASS) {
            session_.PercentDone(100);
        }
        return result;
    }

    int test_;
    const Processor& processor_;
    TestSession& session_;
    CpuTestWork work_;
    std::optional<CacheInfo> levelTwo_;
    std::mutex failuresMutex_;
    std::vector<Failure> failures_;
    std::vector<std::pair<int, CacheTiming>> timings_;  // cache test: one CPU at a time
};

}  // namespace

int RunCpuTest(int test, const Processor& processor, TestSession& session,
               const CpuTestWork& work) {
    if (test < 0 || test >= kCpuTestCount) {
        session.Error(kEventUnknownTest,
                      Text("szErrUnknownTest", {{"TEST", std::to_string(test)}}));
        return BXI2_RESULT_NOTAPPLICABLE;
    }
    return CpuTestRun(test, processor, session, work).Run();
}

}  // namespace velk::cpumodule
