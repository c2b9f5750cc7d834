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
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ftw.h>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "client-connection-manager.h"
#include "gen-str.h"
#include "message-protocol.h"
#include "pipe-lowlevel.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
    return remove(path);
}

// A private root with bin/ (velkcore and the test module as links) and
// pipes/, the pipe layer of this process pointed at it.
class BenchSandbox {
  public:
    BenchSandbox() {
        char pattern[] = "/tmp/velk-engine-bench-XXXXXX";
        root_ = mkdtemp(pattern);
        chmod(root_.c_str(), 0700);
        mkdir((root_ + "/bin").c_str(), 0700);
        mkdir((root_ + "/pipes").c_str(), 0700);
        symlink(VELK_CORE_PATH, (root_ + "/bin/velkcore").c_str());
        for (const char* suffix : {".linux", ".vkm", ".nls"}) {
            std::string from = std::string(VELK_TESTMODULE_DIR) + "/velktest" + suffix;
            symlink(from.c_str(), (root_ + "/bin/velktest" + suffix).c_str());
        }
        setenv("VELK_TMP", (root_ + "/pipes").c_str(), 1);
        VelkInitPipes();
        VelkInitReadWriteThread();
    }
    ~BenchSandbox() {
        VelkStopReadWriteThread();
        VelkCleanupPipes();
        unsetenv("VELK_TMP");
        nftw(root_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    }
    std::string Engine() const { return root_ + "/bin/velkcore"; }

  private:
    std::string root_;
};

pid_t StartEngine(const BenchSandbox& sandbox) {
    std::string program = sandbox.Engine();
    std::vector<char*> argv = {program.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void StopEngine(pid_t pid) {
    VelkClientCloseConnection();
    while (VelkClientMessage* left = VelkClientGetNextMessage(nullptr)) {
        VelkClientFreeMessage(left);
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
}

// Connects (retrying until the broker answers) and waits for the end of the
// enumeration; false when either fails.
bool ConnectAndWaitForEnumeration() {
    Clock::time_point deadline = Clock::now() + std::chrono::seconds(20);
    while (Clock::now() < deadline) {
        int result = VelkClient_I_OpenConnectionEx(0, "engine_bench", "API", "", nullptr);
        if (result == VELK_OPEN_ENUM_COMPLETE) {
            return true;
        }
        if (result == VELK_OPEN_OK) {
            return VelkClientWaitForEnumCompleteMessage(60000, 0) == 0;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return false;
}

std::string Transact(const std::string& command) {
    CGenStr message;
    CGenStr reply;
    CGenStrInit(&message);
    CGenStrInit(&reply);
    std::string answer;
    if (VelkClientCreateDiagnosticEngineCommandStr(command.c_str(), nullptr, &message) == 0 &&
        VelkClientSendTransactionStr(CGenStrC_Str(&message), &reply, 20000, 0) == 0) {
        answer = CGenStrC_Str(&reply);
    }
    CGenStrDelete(&reply);
    CGenStrDelete(&message);
    return answer;
}

std::string Field(const std::string& text, const char* path) {
    std::vector<char> value(text.size() + 2);
    if (VelkXmlGetField(text.c_str(), path, 0, value.data(),
                        static_cast<std::uint32_t>(value.size())) != 0) {
        return {};
    }
    return value.data();
}

void Enumeration(benchmark::State& state) {
    BenchSandbox sandbox;
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        pid_t engine = StartEngine(sandbox);
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
    pid_t engine = StartEngine(sandbox);
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
