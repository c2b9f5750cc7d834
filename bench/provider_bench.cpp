// Request times of the provider library, loaded with dlopen as a CIM server
// loads it, in front of the real velkcore and the test module told to report
// 100 disk drives that each run 10 tests:
//
//   EnumerateTests       enumerateInstances of VLK_DiagTest (the catalogue is
//                        rebuilt from all 1000 device tests under the engine
//                        lock on every request)
//   EnumerateDiskDrives  enumerateInstances of VLK_DiskDrive (the device
//                        builder's cached list)
//
// each from 1 and from 8 threads at once.  us_per_request is the mean time
// one request takes in one thread.  With 8 threads, the share of that time
// spent waiting for the engine lock is estimated as
// 1 - (us_per_request with 1 thread) / (us_per_request with 8 threads).
//
//   provider_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// Starting the engine (the first request) is not counted.  The engine is
// stopped when the program ends.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include <benchmark/benchmark.h>

#include "bench_provider.h"

using namespace Pegasus;

namespace {

const int kDevices = 100;
const int kTestsPerDevice = 10;

BenchProvider* setup = nullptr;

// The test module's definitions with kTestsPerDevice tests.
std::string withMoreTests(std::string definitions) {
    std::string from = "iNumTests=2";
    definitions.replace(definitions.find(from), from.size(),
                        "iNumTests=" + std::to_string(kTestsPerDevice));
    std::ostringstream out;
    out << definitions;
    for (int i = 2; i < kTestsPerDevice; i++) {
        std::string n = "[" + std::to_string(i) + "]";
        out << "szTestName" << n << "=szTestQuickName\n"
            << "szTestDescription" << n << "=szTestQuickDescription\n"
            << "iTestFlags" << n << "=0\niTestTimeout" << n << "=60\niTestEstDuration" << n
            << "=1\n";
    }
    return out.str();
}

Uint32 enumerate(const char* className) {
    return setup->enumerate(className);
}

bool start() {
    setenv("VELKTEST_DISKS", std::to_string(kDevices).c_str(), 1);
    setup = new BenchProvider(withMoreTests);
    Uint32 tests = enumerate("VLK_DiagTest");
    Uint32 disks = enumerate("VLK_DiskDrive");
    if (tests != kTestsPerDevice || disks != kDevices) {
        std::fprintf(stderr, "provider_bench: %u tests and %u disk drives, not %d and %d\n", tests,
                     disks, kTestsPerDevice, kDevices);
        return false;
    }
    return true;
}

void stop() {
    delete setup;
}

void measure(benchmark::State& state, const char* className) {
    using Clock = std::chrono::steady_clock;
    double totalUs = 0;
    for (auto _ : state) {
        Clock::time_point begin = Clock::now();
        benchmark::DoNotOptimize(enumerate(className));
        totalUs += std::chrono::duration<double, std::micro>(Clock::now() - begin).count();
    }
    state.counters["us_per_request"] =
        benchmark::Counter(totalUs, benchmark::Counter::kAvgIterations);
}

void EnumerateTests(benchmark::State& state) {
    measure(state, "VLK_DiagTest");
}
void EnumerateDiskDrives(benchmark::State& state) {
    measure(state, "VLK_DiskDrive");
}

BENCHMARK(EnumerateTests)->Threads(1)->Threads(8)->UseRealTime();
BENCHMARK(EnumerateDiskDrives)->Threads(1)->Threads(8)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!start()) {
        stop();
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    stop();
    return 0;
}
