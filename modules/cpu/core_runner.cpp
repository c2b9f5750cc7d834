#include "core_runner.h"

#include <sched.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace velk::cpumodule {
namespace {

constexpr auto kWatchInterval = std::chrono::milliseconds(50);

// The shared state of one RunPinned call.
struct Shared {
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable ended;
    size_t running = 0;
};

CoreOutcome RunOne(int cpu, const CoreWork& work, CoreControl& control) {
    CoreOutcome outcome;
    outcome.cpu = cpu;
    std::string pinError = PinCurrentThread(cpu);
    if (!pinError.empty()) {
        outcome.status = CoreStatus::kNotPinned;
        outcome.detail = pinError;
        return outcome;
    }
    auto start = std::chrono::steady_clock::now();
    try {
        outcome = work(cpu, control);
    } catch (const std::exception& error) {
        outcome.status = CoreStatus::kFailed;
        outcome.detail = error.what();
    }
    outcome.cpu = cpu;
    outcome.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return outcome;
}

uint64_t TotalDone(const std::vector<std::unique_ptr<CoreControl>>& controls) {
    uint64_t total = 0;
    for (const auto& control : controls) {
        total += control->Done();
    }
    return total;
}

}  // namespace

std::string PinCurrentThread(int cpu) {
    if (cpu < 0 || cpu >= CPU_SETSIZE) {
        return "CPU number out of range";
    }
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    if (sched_setaffinity(0, sizeof set, &set) != 0) {
        return std::strerror(errno);
    }
    if (sched_getcpu() != cpu) {
        return "the thread did not move to the CPU";
    }
    return {};
}

std::vector<int> AllowedCpus() {
    cpu_set_t set;
    CPU_ZERO(&set);
    std::vector<int> cpus;
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
            if (CPU_ISSET(cpu, &set)) {
                cpus.push_back(cpu);
            }
        }
    }
    return cpus;
}

std::vector<CoreOutcome> RunPinned(const std::vector<int>& cpus, const CoreWork& work,
                                   const CoreWatch& watch, bool oneAfterAnother) {
    Shared shared;
    std::vector<std::unique_ptr<CoreControl>> controls;
    std::vector<CoreOutcome> outcomes(cpus.size());
    for (size_t i = 0; i < cpus.size(); ++i) {
        controls.push_back(std::make_unique<CoreControl>(shared.stop));
    }
    auto runRange = [&](size_t first, size_t last) {
        for (size_t i = first; i < last && !shared.stop.load(); ++i) {
            outcomes[i] = RunOne(cpus[i], work, *controls[i]);
        }
    };
    // Each thread runs its slice and says when it ended; the watch loop
    // below waits for all of them, so no thread outlives this call.
    std::vector<std::thread> threads;
    size_t sliceCount = oneAfterAnother ? 1 : cpus.size();
    for (size_t slice = 0; slice < sliceCount; ++slice) {
        size_t first = oneAfterAnother ? 0 : slice;
        size_t last = oneAfterAnother ? cpus.size() : slice + 1;
        {
            std::lock_guard<std::mutex> lock(shared.mutex);
            ++shared.running;
        }
        threads.emplace_back([&, first, last] {
            runRange(first, last);
            std::lock_guard<std::mutex> lock(shared.mutex);
            --shared.running;
            shared.ended.notify_all();
        });
    }
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(shared.mutex);
            if (shared.ended.wait_for(lock, kWatchInterval, [&] { return shared.running == 0; })) {
                break;
            }
        }
        if (watch(TotalDone(controls))) {
            shared.stop.store(true);
        }
    }
    for (auto& thread : threads) {
        thread.join();
    }
    watch(TotalDone(controls));
    for (size_t i = 0; i < cpus.size(); ++i) {
        if (outcomes[i].cpu < 0) {
            outcomes[i].cpu = cpus[i];
            outcomes[i].status = CoreStatus::kStopped;
        }
    }
    return outcomes;
}

}  // namespace velk::cpumodule
