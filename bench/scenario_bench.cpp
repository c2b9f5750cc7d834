// Costs of running tests through the engine client, with the real velkcore
// and the test module in a private bin directory of links:
//
//   IdleEnvironmentCpu  the baseline: a started environment with nothing
//                     running (the pipe layer's read/write thread alone)
//   IdleScenarioCpu   CPU time per minute of this process while a started
//                     scenario's update thread ticks (period 1000 ms, as the
//                     CIM provider starts it, and 250 ms, as velkcli run
//                     does) over a run of the timed test that lasts longer
//                     than the window; counters cpu_ms_per_min (client) and
//                     engine_cpu_ms_per_min (velkcore)
//   PolledRunCpu      the same for a run without scenario that the caller
//                     polls once a second (state, percent, progress text)
//   StartToRunning    from CTestRun's START_TEST to the first state query
//                     that answers RUNNING (queries back to back)
//
//   scenario_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// The CPU windows last 20 s each; the figure per minute is scaled from it.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "TestEnvironmentImp.h"
#include "bench_engine.h"
#include "TestRunImp.h"
#include "VelkCore.h"

namespace {

using namespace VELKCORE;
using Clock = std::chrono::steady_clock;

constexpr int kWindowSeconds = 20;

double ProcessCpuMs() {
    struct rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

// utime + stime of pid in milliseconds (0 when unreadable).
double EngineCpuMs(int pid) {
    std::string path = "/proc/" + std::to_string(pid) + "/stat";
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) {
        return 0;
    }
    char text[1024] = {};
    size_t length = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    std::string stat(text, length);
    size_t end = stat.rfind(')');
    if (end == std::string::npos) {
        return 0;
    }
    unsigned long utime = 0;
    unsigned long stime = 0;
    std::sscanf(stat.c_str() + end + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu",
                &utime, &stime);
    return (utime + stime) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// A private bin and pipe directory with a started environment.
class Engine {
  public:
    Engine() {
        setenv("VELK_TMP", root_.Pipes().c_str(), 1);
        setenv("VELKOR_HOME", root_.Bin().c_str(), 1);
        environment_ = std::make_unique<CTestEnvironment>();
        environment_->SetVelkHomeDir(root_.Bin());
        ready_ = environment_->Start() == 0;
    }
    ~Engine() {
        environment_->Stop();
        environment_.reset();
    }
    bool Ready() const { return ready_; }
    CTestEnvironment& Environment() { return *environment_; }
    int Pid() const { return environment_->GetEnginePid(); }
    // The timed test on the first device, set to run for seconds.
    CTest* TimedTest(const std::string& seconds) {
        CDevice* device = nullptr;
        environment_->GetDeviceArrayElement(0, &device);
        CTest* test = nullptr;
        device->GetTestArrayElement(1, &test);
        CTestParameter* parameter = nullptr;
        test->GetParameterArrayElement(0, &parameter);
        parameter->ApplyValue(seconds);
        return test;
    }

  private:
    velkbench::BenchRoot root_{"scenario-bench", VELK_CORE_PATH, VELK_TESTMODULE_DIR, "velktest"};
    bool ready_ = false;
    std::unique_ptr<CTestEnvironment> environment_;
};

// CPU time of this process and of the engine over a measuring window, from
// its construction to End, which reports it per minute.
class CpuWindow {
  public:
    explicit CpuWindow(int enginePid)
        : enginePid_(enginePid),
          client_(ProcessCpuMs()),
          server_(EngineCpuMs(enginePid)),
          start_(Clock::now()) {}
    Clock::time_point Start() const { return start_; }
    void End(benchmark::State& state) const {
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start_).count());
        double clientMs = ProcessCpuMs() - client_;
        double engineMs = EngineCpuMs(enginePid_) - server_;
        state.counters["cpu_ms_per_min"] = clientMs * 60.0 / kWindowSeconds;
        state.counters["engine_cpu_ms_per_min"] = engineMs * 60.0 / kWindowSeconds;
    }

  private:
    int enginePid_;
    double client_;
    double server_;
    Clock::time_point start_;
};

void IdleEnvironmentCpu(benchmark::State& state) {
    Engine engine;
    if (!engine.Ready()) {
        state.SkipWithError("the engine did not start");
        return;
    }
    for (auto _ : state) {
        CpuWindow window(engine.Pid());
        std::this_thread::sleep_for(std::chrono::seconds(kWindowSeconds));
        window.End(state);
    }
}
BENCHMARK(IdleEnvironmentCpu)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

void IdleScenarioCpu(benchmark::State& state) {
    Engine engine;
    if (!engine.Ready()) {
        state.SkipWithError("the engine did not start");
        return;
    }
    CTest* test = engine.TimedTest("600");
    for (auto _ : state) {
        CScenario* scenario = engine.Environment().AddScenario(nullptr);
        scenario->AddCycle(nullptr)->AddTest(test, 0);
        scenario->Start(true, state.range(0));
        std::this_thread::sleep_for(std::chrono::seconds(2));
        CpuWindow window(engine.Pid());
        std::this_thread::sleep_for(std::chrono::seconds(kWindowSeconds));
        window.End(state);
        scenario->Stop();
        engine.Environment().RemoveScenario(0);
    }
}
BENCHMARK(IdleScenarioCpu)
    ->Arg(1000)
    ->Arg(250)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

void PolledRunCpu(benchmark::State& state) {
    Engine engine;
    if (!engine.Ready()) {
        state.SkipWithError("the engine did not start");
        return;
    }
    CTest* test = engine.TimedTest("600");
    for (auto _ : state) {
        CTestRun run(test);
        run.Imp()->Start();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        CpuWindow window(engine.Pid());
        for (int second = 0; second < kWindowSeconds; ++second) {
            CTestRun::State runState = CTestRun::UNDEFINED;
            int percent = 0;
            std::string text;
            run.GetState(runState);
            run.GetPercentComplete(percent);
            run.GetProgressInformation(text);
            std::this_thread::sleep_until(window.Start() + std::chrono::seconds(second + 1));
        }
        window.End(state);
        run.Stop();
    }
}
BENCHMARK(PolledRunCpu)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

void StartToRunning(benchmark::State& state) {
    Engine engine;
    if (!engine.Ready()) {
        state.SkipWithError("the engine did not start");
        return;
    }
    CTest* test = engine.TimedTest("30");
    for (auto _ : state) {
        CTestRun run(test);
        auto start = Clock::now();
        if (run.Imp()->Start() != CTestRun::OK) {
            state.SkipWithError("START_TEST refused");
            return;
        }
        CTestRun::State runState = CTestRun::UNDEFINED;
        while (run.GetState(runState) == 0 && runState != CTestRun::RUNNING &&
               runState != CTestRun::EXITED) {
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        run.Stop();
        while (run.GetState(runState) == 0 && runState != CTestRun::EXITED) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
}
BENCHMARK(StartToRunning)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace
