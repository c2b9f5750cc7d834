// Run time of the processor module's tests per logical CPU, on this
// machine's first processor, with the full work of each test (100 percent):
//
//   cpu_module_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// The wall time is the whole test (all CPUs of the processor at once; the
// cache test CPU after CPU); the counter ms_per_cpu is the mean time one
// logical CPU took, as the test itself measured it on the pinned thread.
#include <cstdlib>
#include <string>

#include <benchmark/benchmark.h>

#include "bxi2.h"
#include "cpu_tests.h"
#include "cpu_topology.h"

namespace {

using velk::modules::Text;

// Keeps the per-CPU times the test reports and nothing else.
class TimingSession : public velk::modules::TestSession {
  public:
    double PercentToTest() const override { return 100.0; }
    bool StopRequested() override { return false; }
    void PercentDone(int) override {}
    void Progress(const Text&) override {}
    void Info(const Text& text) override {
        if (text.id != "szInfoCpuPassed") {
            return;
        }
        for (const auto& [name, value] : text.variables) {
            if (name == "MS") {
                totalMs += std::atof(value.c_str());
                ++cpus;
            }
        }
    }
    void Warning(int, const Text&) override {}
    void Error(int, const Text&) override { failed = true; }

    double totalMs = 0;
    int cpus = 0;
    bool failed = false;
};

void CpuTest(benchmark::State& state) {
    auto processors = velk::cpumodule::ReadProcessors();
    if (processors.empty()) {
        state.SkipWithError("no processor listed");
        return;
    }
    double totalMs = 0;
    int cpus = 0;
    for (auto _ : state) {
        TimingSession session;
        int result = velk::cpumodule::RunCpuTest(static_cast<int>(state.range(0)),
                                                 processors.front(), session);
        if (result != BXI2_RESULT_PASS || session.failed) {
            state.SkipWithError("the test did not pass");
            return;
        }
        totalMs += session.totalMs;
        cpus += session.cpus;
    }
    state.counters["ms_per_cpu"] = cpus > 0 ? totalMs / cpus : 0;
    state.counters["cpus"] = static_cast<double>(processors.front().cpus.size());
}

BENCHMARK(CpuTest)
    ->ArgName("test")
    ->DenseRange(velk::cpumodule::kIntegerTest, velk::cpumodule::kMmxTest)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace
