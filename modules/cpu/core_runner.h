// Runs a piece of work on chosen logical CPUs, each in its own thread pinned
// to that CPU, while the calling thread watches: it reports the combined
// progress and asks whether to stop, and the workers see the stop request.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace velk::cpumodule {

// What a worker sees: a stop request and a progress counter.
class CoreControl {
  public:
    explicit CoreControl(const std::atomic<bool>& stop) : stop_(stop) {}
    bool StopRequested() const { return stop_.load(std::memory_order_relaxed); }
    void AddDone(uint64_t units) { done_.fetch_add(units, std::memory_order_relaxed); }
    uint64_t Done() const { return done_.load(std::memory_order_relaxed); }

  private:
    const std::atomic<bool>& stop_;
    std::atomic<uint64_t> done_{0};
};

enum class CoreStatus { kPassed, kFailed, kStopped, kNotPinned };

// The end of one CPU's work.
struct CoreOutcome {
    int cpu = -1;
    CoreStatus status = CoreStatus::kPassed;
    std::string detail;  // what failed, or why the thread could not be pinned
    double seconds = 0;  // time the work took on that CPU
};

// The work: runs on the CPU it is given and returns kPassed, kFailed (with
// detail) or kStopped.
using CoreWork = std::function<CoreOutcome(int cpu, CoreControl& control)>;

// Watches the workers: called about every 50 ms with the units done so far;
// returns true to ask the workers to stop.
using CoreWatch = std::function<bool(uint64_t unitsDone)>;

// Runs work on every CPU of cpus, all at once or one CPU after the other,
// each in a thread pinned to its CPU, and watches until all have ended.
// The outcomes are in the order of cpus.
std::vector<CoreOutcome> RunPinned(const std::vector<int>& cpus, const CoreWork& work,
                                   const CoreWatch& watch, bool oneAfterAnother);

// Pins the calling thread to cpu: "" on success, else why it failed.
std::string PinCurrentThread(int cpu);

// The CPUs this process may run on (sched_getaffinity).
std::vector<int> AllowedCpus();

}  // namespace velk::cpumodule
