// Round trip of a transaction through the real message broker, beside the
// floor: the same 157-byte message echoed between two processes over two raw
// FIFOs.  Both run in one program run; the summary prints both medians and
// their ratio.
//
//   transport_bench [benchmark flags]
//
// The program starts velkcore and second copies of itself (as the answering
// client and as the raw echo) in a private pipe directory, and stops them all
// by pid when it ends.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ftw.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "client-connection-manager.h"
#include "message-protocol.h"
#include "pipe-lowlevel.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kMessageSize = 157;
constexpr int kReplyTimeoutMs = 10000;

double MedianMicroseconds(std::vector<double>& samples) {
    if (samples.empty()) {
        return 0.0;
    }
    auto middle = samples.begin() + static_cast<std::ptrdiff_t>(samples.size() / 2);
    std::nth_element(samples.begin(), middle, samples.end());
    return *middle;
}

// ---- The other processes ----

// Answers every request with the same payload until killed.
int RunResponder() {
    VelkInitPipes();
    VelkInitReadWriteThread();
    int code = VelkClientOpenConnectionEx("transport_bench responder", "NORMAL", "", nullptr);
    std::printf("READY %d\n", code);
    std::fflush(stdout);
    if (code != 0) {
        return 1;
    }
    std::vector<char> payload(8192);
    std::vector<char> reply(9000);
    for (;;) {
        VelkClientWaitForMessages(1000, 0);
        while (VelkClientMessage* message = VelkClientGetNextMessage(nullptr)) {
            uint32_t sender = 0;
            uint32_t id = 0;
            if (VelkParsePacketHeaderAndData(message->pMessage, &sender, &id, nullptr,
                                             payload.data(),
                                             static_cast<uint32_t>(payload.size())) >= 0 &&
                VelkClientCreateResponse(sender, id, payload.data(), reply.data(),
                                         static_cast<uint32_t>(reply.size())) == 0) {
                VelkClientSendMessage(reply.data());
            }
            VelkClientFreeMessage(message);
        }
    }
}

bool ReadExactly(int fd, char* buffer, size_t count) {
    size_t done = 0;
    while (done < count) {
        ssize_t got = read(fd, buffer + done, count - done);
        if (got <= 0) {
            return false;
        }
        done += static_cast<size_t>(got);
    }
    return true;
}

// Echoes fixed-size messages from one FIFO into another until its input ends.
int RunEcho(const char* inputPath, const char* outputPath) {
    int input = open(inputPath, O_RDONLY | O_CLOEXEC);
    int output = open(outputPath, O_WRONLY | O_CLOEXEC);
    if (input < 0 || output < 0) {
        return 1;
    }
    char message[kMessageSize];
    while (ReadExactly(input, message, sizeof message)) {
        if (write(output, message, sizeof message) != static_cast<ssize_t>(sizeof message)) {
            return 1;
        }
    }
    return 0;
}

// Passes fixed-size messages on in both directions of a two-hop chain:
// first -> second, then back from secondBack -> firstBack.
int RunRelay(const char* first, const char* second, const char* secondBack, const char* firstBack) {
    int fromClient = open(first, O_RDONLY | O_CLOEXEC);
    int toEcho = open(second, O_WRONLY | O_CLOEXEC);
    int fromEcho = open(secondBack, O_RDONLY | O_CLOEXEC);
    int toClient = open(firstBack, O_WRONLY | O_CLOEXEC);
    if (fromClient < 0 || toEcho < 0 || fromEcho < 0 || toClient < 0) {
        return 1;
    }
    char message[kMessageSize];
    while (ReadExactly(fromClient, message, sizeof message) &&
           write(toEcho, message, sizeof message) == static_cast<ssize_t>(sizeof message) &&
           ReadExactly(fromEcho, message, sizeof message) &&
           write(toClient, message, sizeof message) == static_cast<ssize_t>(sizeof message)) {
    }
    return 0;
}

// ---- Set-up shared by the benchmarks ----

class Child {
  public:
    Child(const std::vector<std::string>& arguments, bool captureOutput) {
        int pipeEnds[2] = {-1, -1};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (captureOutput && pipe2(pipeEnds, O_CLOEXEC) == 0) {
            posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
        }
        std::vector<char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        if (pipeEnds[1] >= 0) {
            close(pipeEnds[1]);
        }
        output_ = pipeEnds[0];
    }
    ~Child() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status = 0;
            waitpid(pid_, &status, 0);
        }
        if (output_ >= 0) {
            close(output_);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t Pid() const { return pid_; }
    std::string ReadLine() const {
        std::string line;
        char c;
        while (output_ >= 0 && read(output_, &c, 1) == 1 && c != '\n') {
            line += c;
        }
        return line;
    }

  private:
    pid_t pid_ = -1;
    int output_ = -1;
};

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
    return remove(path);
}

std::string SelfPath() {
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

// A private pipe directory with the broker and the answering client running,
// and this process connected.
class BrokerSetup {
  public:
    BrokerSetup() {
        char pattern[] = "/tmp/velk-bench-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            return;
        }
        directory_ = pattern;
        setenv("VELK_TMP", directory_.c_str(), 1);
        broker_ = std::make_unique<Child>(std::vector<std::string>{VELK_CORE_PATH}, false);
        std::string fifo = directory_ + "/VELKFIFO";
        for (int attempt = 0; attempt < 1000 && !HasReader(fifo); ++attempt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        VelkInitPipes();
        VelkInitReadWriteThread();
        responder_ =
            std::make_unique<Child>(std::vector<std::string>{SelfPath(), "--responder"}, true);
        ready_ = responder_->ReadLine() == "READY 0" && VelkClientOpenConnection() == 0;
    }
    ~BrokerSetup() {
        VelkClientCloseConnection();
        responder_.reset();
        broker_.reset();
        VelkStopReadWriteThread();
        VelkCleanupPipes();
        if (!directory_.empty()) {
            nftw(directory_.c_str(), RemoveEntry, 8, FTW_DEPTH | FTW_PHYS);
        }
    }

    bool Ready() const { return ready_; }
    pid_t ResponderPid() const { return responder_->Pid(); }
    const std::string& Directory() const { return directory_; }

  private:
    static bool HasReader(const std::string& path) {
        int probe = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (probe < 0) {
            return false;
        }
        close(probe);
        return true;
    }

    std::string directory_;
    std::unique_ptr<Child> broker_;
    std::unique_ptr<Child> responder_;
    bool ready_ = false;
};

BrokerSetup& Setup() {
    static BrokerSetup setup;
    return setup;
}

double gRawMedianUs = 0.0;
double gRelayMedianUs = 0.0;
double gBrokerMedianUs = 0.0;

// A transaction request of 157 bytes or so to the answering client.
std::string BuildRequest(const std::string& addressee) {
    char header[300];
    VelkCreateMessageHeader(header, sizeof header, addressee.c_str(), nullptr,
                            VELK_MSG_TYPE_DE_COMMAND, nullptr);
    char message[1024];
    VelkCreateMessage(message, sizeof message, "MSG", header, "<DATA>GET_TEST_STATUS:4711</DATA>",
                      static_cast<const char*>(nullptr));
    return message;
}

// Round trips of 157 bytes over raw FIFOs: out to the first process of the
// chain, back from it; the median in microseconds.
double MeasureRawRoundTrips(benchmark::State& state, const std::string& out,
                            const std::string& back) {
    int output = open(out.c_str(), O_WRONLY | O_CLOEXEC);
    int input = open(back.c_str(), O_RDONLY | O_CLOEXEC);
    std::string message = BuildRequest("2345");
    message.resize(kMessageSize, ' ');
    std::vector<char> reply(kMessageSize);
    std::vector<double> samples;
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        if (write(output, message.data(), kMessageSize) != static_cast<ssize_t>(kMessageSize) ||
            !ReadExactly(input, reply.data(), kMessageSize)) {
            state.SkipWithError("raw round trip failed");
            break;
        }
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    close(output);
    close(input);
    double median = MedianMicroseconds(samples);
    state.counters["median_us"] = median;
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    return median;
}

std::string MakeBenchFifo(const std::string& name) {
    std::string path = Setup().Directory() + "/" + name;
    mkfifo(path.c_str(), 0600);
    return path;
}

// The floor: one process echoes, two hops per round trip.
void BM_RawFifoEcho(benchmark::State& state) {
    std::string toEcho = MakeBenchFifo("echo_in");
    std::string fromEcho = MakeBenchFifo("echo_out");
    {
        Child echo({SelfPath(), "--echo", toEcho, fromEcho}, false);
        gRawMedianUs = MeasureRawRoundTrips(state, toEcho, fromEcho);
    }
    unlink(toEcho.c_str());
    unlink(fromEcho.c_str());
}

// The broker's topology over raw FIFOs: a relay between us and the echo,
// four hops per round trip like a transaction through the broker.
void BM_RawFifoRelay(benchmark::State& state) {
    std::vector<std::string> fifos = {MakeBenchFifo("relay_in"), MakeBenchFifo("relay_to_echo"),
                                      MakeBenchFifo("echo_to_relay"), MakeBenchFifo("relay_out")};
    {
        Child relay({SelfPath(), "--relay", fifos[0], fifos[1], fifos[2], fifos[3]}, false);
        Child echo({SelfPath(), "--echo", fifos[1], fifos[2]}, false);
        gRelayMedianUs = MeasureRawRoundTrips(state, fifos[0], fifos[3]);
    }
    for (const std::string& fifo : fifos) {
        unlink(fifo.c_str());
    }
}

void BM_BrokerTransaction(benchmark::State& state) {
    BrokerSetup& setup = Setup();
    if (!setup.Ready()) {
        state.SkipWithError("broker or answering client did not start");
        return;
    }
    std::string addressee = std::to_string(setup.ResponderPid());
    std::vector<char> reply(8192);
    std::vector<double> samples;
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        std::string request = BuildRequest(addressee);
        if (VelkClientSendTransaction(request.c_str(), reply.data(),
                                      static_cast<uint32_t>(reply.size()), kReplyTimeoutMs,
                                      0) != 0) {
            state.SkipWithError("transaction failed");
            break;
        }
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    gBrokerMedianUs = MedianMicroseconds(samples);
    state.counters["median_us"] = gBrokerMedianUs;
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

BENCHMARK(BM_RawFifoEcho)->UseRealTime();
BENCHMARK(BM_RawFifoRelay)->UseRealTime();
BENCHMARK(BM_BrokerTransaction)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--responder") == 0) {
        return RunResponder();
    }
    if (argc > 3 && std::strcmp(argv[1], "--echo") == 0) {
        return RunEcho(argv[2], argv[3]);
    }
    if (argc > 5 && std::strcmp(argv[1], "--relay") == 0) {
        return RunRelay(argv[2], argv[3], argv[4], argv[5]);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    if (gRawMedianUs > 0.0 && gBrokerMedianUs > 0.0) {
        std::printf(
            "\nmedian round trip: raw FIFO echo %.1f us, transaction through the broker %.1f us, "
            "ratio %.2f\n",
            gRawMedianUs, gBrokerMedianUs, gBrokerMedianUs / gRawMedianUs);
    }
    if (gRelayMedianUs > 0.0 && gBrokerMedianUs > 0.0) {
        std::printf("raw FIFO relay (same four hops) %.1f us, broker / relay ratio %.2f\n",
                    gRelayMedianUs, gBrokerMedianUs / gRelayMedianUs);
    }
    benchmark::Shutdown();
    return 0;
}
