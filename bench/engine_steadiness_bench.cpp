// Steadiness of the engine over many test runs: the real velkcore with the
// test module in a private bin directory of links runs 200 quick tests one
// after another (passing, failing, flooding 500 events, long texts,
// crashing, refusing its percent to test), each followed by a parameter
// validation, its log retrieval and FREE_TEST_PROCESS.  It reports the
// engine's open descriptors and resident memory after one warm-up run and
// after the 200 runs, and the time per run:
//
//   engine_steadiness_bench            (VELK_BENCH_RUNS=n for another count)
//
// Counters: fds_before, fds_after, rss_kib_before, rss_kib_after,
// children_after (module processes still running or unreaped), failures
// (runs that did not end with the expected result).  Every process started is
// stopped by pid.
#include <dirent.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include <benchmark/benchmark.h>

#include "bench_engine.h"
#include "client-connection-manager.h"
#include "message-protocol.h"

namespace {

using namespace velkbench;
using Clock = std::chrono::steady_clock;

constexpr int kDefaultRuns = 200;

int RunCount() {
    const char* text = std::getenv("VELK_BENCH_RUNS");
    int runs = text != nullptr ? std::atoi(text) : 0;
    return runs > 0 ? runs : kDefaultRuns;
}

// velkcore with the test module in a private bin directory, this process's
// pipe layer pointed at it.
struct BenchSandbox {
    BenchRoot root{"steady-bench", VELK_CORE_PATH, VELK_TESTMODULE_DIR, "velktest"};
    BenchPipes pipes{root.Pipes()};
};

bool ConnectAndWaitForEnumeration() {
    return velkbench::ConnectAndWaitForEnumeration("steady_bench", std::chrono::milliseconds(1));
}

// Takes the retrieved log items off the message table up to the end marker.
void DrainLogItems() {
    Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
        VelkClientMessage* node =
            VelkClientFindMessageWithTypeField(VELK_MSG_TYPE_DE_RETRIEVED_TEST_MESSAGE);
        if (node == nullptr) {
            VelkClientWaitForMessages(50, 0);
            continue;
        }
        node = VelkClientGetNextMessage(node);
        bool last = Field(node->pMessage, "MSG/DATA/TESTLOGITEM/SEQUENCENO") == "-1";
        VelkClientFreeMessage(node);
        if (last) {
            return;
        }
    }
}

int OpenDescriptors(pid_t pid) {
    int count = 0;
    std::string directory = "/proc/" + std::to_string(pid) + "/fd";
    if (DIR* listing = opendir(directory.c_str())) {
        while (struct dirent* entry = readdir(listing)) {
            count += entry->d_name[0] != '.';
        }
        closedir(listing);
    }
    return count;
}

long ResidentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return -1;
}

// Processes whose parent is pid (running or not yet reaped).
int Children(pid_t pid) {
    std::ifstream children("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) +
                           "/children");
    int count = 0;
    std::string child;
    while (children >> child) {
        ++count;
    }
    return count;
}

struct RunKind {
    const char* parameters;
    const char* finalResult;
};

// One quick test of each kind in turn.
const RunKind kKinds[] = {
    {":param=MODE,pass", "0"},
    {":param=MODE,fail", "2"},
    {":param=MODE,flood:param=COUNT,500", "0"},
    {":param=MODE,longtext", "0"},
    {":param=MODE,crash", "11"},
    {":param=VELK_BXI2_PERCENT_TO_TEST,150", "6"},
};

// One run from START_TEST to FREE_TEST_PROCESS; false when it did not end
// with the expected result.
bool OneRun(const RunKind& kind) {
    Transact("VALIDATE_TEST_PARAMETERS:VeLkTest:0:1:param=MODE,pass");
    std::string id = Field(Transact(std::string("START_TEST:VeLkTest:0:1") + kind.parameters),
                           "MSG/DATA/TESTPROCESSID");
    if (id.empty()) {
        return false;
    }
    std::string status;
    Clock::time_point deadline = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < deadline) {
        status = Transact("GET_TEST_STATUS:" + id);
        if (Field(status, "MSG/DATA/TESTSTATUS/STATE") == "2") {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    bool expected = Field(status, "MSG/DATA/TESTSTATUS/FINALRESULT") == kind.finalResult;
    if (Field(Transact("GET_TEST_MESSAGES:" + id), "MSG/DATA") == "<RESULT>OK</RESULT>") {
        DrainLogItems();
    }
    Transact("FREE_TEST_PROCESS:" + id);
    return expected;
}

void SteadinessOverRuns(benchmark::State& state) {
    BenchSandbox sandbox;
    pid_t engine = Spawn(sandbox.root.Engine());
    if (engine <= 0 || !ConnectAndWaitForEnumeration()) {
        state.SkipWithError("engine not ready");
        StopEngine(engine);
        return;
    }
    constexpr std::size_t kKindCount = sizeof kKinds / sizeof kKinds[0];
    for (auto _ : state) {
        for (const RunKind& kind : kKinds) {
            OneRun(kind);  // warm-up: every kind once
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        int fdsBefore = OpenDescriptors(engine);
        long rssBefore = ResidentKiB(engine);
        int failures = 0;
        const int runs = RunCount();
        Clock::time_point begin = Clock::now();
        for (int run = 0; run < runs; ++run) {
            failures += OneRun(kKinds[static_cast<std::size_t>(run) % kKindCount]) ? 0 : 1;
        }
        std::chrono::duration<double> elapsed = Clock::now() - begin;
        // Let the last module be reaped.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        state.SetIterationTime(elapsed.count() / runs);
        state.counters["runs"] = runs;
        state.counters["fds_before"] = fdsBefore;
        state.counters["fds_after"] = OpenDescriptors(engine);
        state.counters["rss_kib_before"] = static_cast<double>(rssBefore);
        state.counters["rss_kib_after"] = static_cast<double>(ResidentKiB(engine));
        state.counters["children_after"] = Children(engine);
        state.counters["failures"] = failures;
    }
    StopEngine(engine);
}
BENCHMARK(SteadinessOverRuns)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
