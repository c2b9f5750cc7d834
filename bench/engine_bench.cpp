// Latencies of the engine as a client sees them, with the real velkcore and
// the test module in a private bin directory of links:
//
//   Enumeration  from launching velkcore to the enumeration-complete notice
//                (the client connects as soon as the broker reads its FIFO)
//   TestRunning  from sending START_TEST to the first GET_TEST_STATUS answer
//                whose STATE is 1 (running)
//
//   engine_bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
//
// Times are measured by hand (the median of the repetitions is the figure to
// quote); setting up and stopping are not counted.  Every process started is
// stopped by pid.
#include <chrono>
#include <string>
#include <thread>

#include <benchmark/benchmark.h>

#include "bench_engine.h"

namespace {

using namespace velkbench;
using Clock = std::chrono::steady_clock;

// velkcore with the test module in a private bin directory, this process's
// pipe layer pointed at it.
struct BenchSandbox {
    BenchRoot root{"engine-bench", VELK_CORE_PATH, VELK_TESTMODULE_DIR, "velktest"};
    BenchPipes pipes{root.Pipes()};
};

// The broker is retried every 200 us: the enumeration figure includes the
// wait for it to read its FIFO.
bool ConnectAndWaitForEnumeration() {
    return velkbench::ConnectAndWaitForEnumeration("engine_bench", std::chrono::microseconds(200));
}

void Enumeration(benchmark::State& state) {
    BenchSandbox sandbox;
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        pid_t engine = Spawn(sandbox.root.Engine());
        bool ready = engine > 0 && ConnectAndWaitForEnumeration();
        std::chrono::duration<double> elapsed = Clock::now() - start;
        state.SetIterationTime(elapsed.count());
        StopEngine(engine);
        if (!ready) {
            state.SkipWithError("no enumeration-complete notice");
            break;
        }
    }
}
BENCHMARK(Enumeration)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void TestRunning(benchmark::State& state) {
    BenchSandbox sandbox;
    pid_t engine = Spawn(sandbox.root.Engine());
    if (engine <= 0 || !ConnectAndWaitForEnumeration()) {
        state.SkipWithError("engine not ready");
        StopEngine(engine);
        return;
    }
    // The test module's first hard drive has the device id 1.
    const std::string start = "START_TEST:VeLkTest:1:1:param=SECONDS,10";
    for (auto _ : state) {
        Clock::time_point begin = Clock::now();
        std::string id = Field(Transact(start), "MSG/DATA/TESTPROCESSID");
        bool running = false;
        while (!id.empty() && !running && Clock::now() - begin < std::chrono::seconds(20)) {
            running = Field(Transact("GET_TEST_STATUS:" + id), "MSG/DATA/TESTSTATUS/STATE") == "1";
        }
        std::chrono::duration<double> elapsed = Clock::now() - begin;
        state.SetIterationTime(elapsed.count());
        if (!running) {
            state.SkipWithError("the run never reported RUNNING");
            break;
        }
        // Stop and release it before the next one (not timed).
        Transact("STOP_TEST:" + id);
        while (Field(Transact("GET_TEST_STATUS:" + id), "MSG/DATA/TESTSTATUS/STATE") != "2") {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        Transact("FREE_TEST_PROCESS:" + id);
    }
    StopEngine(engine);
}
BENCHMARK(TestRunning)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
