// Throughput of the hard-drive module's surface scan (VeLkHardDrive test 0)
// against dd reading the same image with the same block size (1 MiB) and
// O_DIRECT, as a ratio, in one run:
//
//   disk_read_bench --benchmark_repetitions=3
//
// The image (VELK_BENCH_DISK_MB, default 512 MiB, of written data, no holes)
// lies in a private fake machine (VELK_SYSROOT) beside a private bin
// directory with velkcore and the module; the real engine runs the module.
// The module's figure is the one it logs itself (bytes read and seconds of
// its read loop, szInfoThroughput), dd's the one dd prints; process start-up
// is in neither.  Counters: module_MBps, dd_MBps and ratio (module / dd).
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench_engine.h"
#include "client-connection-manager.h"
#include "message-protocol.h"

namespace {

using namespace velkbench;
using Clock = std::chrono::steady_clock;

void WriteText(const std::string& path, const std::string& text) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        mkdir(path.substr(0, slash).c_str(), 0755);
    }
    std::ofstream(path) << text;
}

std::uint64_t ImageBytes() {
    const char* megabytes = std::getenv("VELK_BENCH_DISK_MB");
    std::uint64_t value = megabytes != nullptr ? std::strtoull(megabytes, nullptr, 10) : 0;
    return (value > 0 ? value : 512) << 20;
}

// A private root with bin/ (velkcore and the module) and pipes/, and
// machine/ with one SCSI disk whose node is an image of written data.
class BenchMachine {
  public:
    BenchMachine() {
        std::string machine = root_.Path() + "/machine";
        std::string device = machine + "/sys/devices/host0/target0:0:0/0:0:0:0";
        WriteText(device + "/model", "Bench Disk\n");
        WriteText(machine + "/sys/block/sda/size", std::to_string(ImageBytes() / 512) + "\n");
        WriteText(machine + "/sys/block/sda/queue/logical_block_size", "512\n");
        symlink("../../devices/host0/target0:0:0/0:0:0:0",
                (machine + "/sys/block/sda/device").c_str());
        image_ = machine + "/dev/sda";
        WriteText(image_, "");
        std::ofstream image(image_, std::ios::binary);
        std::vector<char> chunk(1 << 20);
        for (std::size_t i = 0; i < chunk.size(); ++i) {
            chunk[i] = static_cast<char>(i * 131 + 7);
        }
        for (std::uint64_t written = 0; written < ImageBytes(); written += chunk.size()) {
            image.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        }
        image.close();
        setenv("VELK_SYSROOT", machine.c_str(), 1);
        pipes_ = std::make_unique<BenchPipes>(root_.Pipes());
    }
    ~BenchMachine() {
        pipes_.reset();
        unsetenv("VELK_SYSROOT");
    }
    std::string Engine() const { return root_.Engine(); }
    const std::string& Image() const { return image_; }

  private:
    BenchRoot root_{"disk-bench", VELK_CORE_PATH, VELK_MODULE_BIN_DIR, "VeLkHardDrive"};
    std::unique_ptr<BenchPipes> pipes_;
    std::string image_;
};

bool ConnectAndWaitForEnumeration() {
    return velkbench::ConnectAndWaitForEnumeration("disk_read_bench", std::chrono::milliseconds(1));
}

// Runs test 0 on the disk and returns the module's own MB/s (0 on failure);
// *direct tells whether it read with O_DIRECT.
double ModuleRate(bool* direct) {
    std::string id = Field(Transact("START_TEST:VeLkHardDrive:0:1"), "MSG/DATA/TESTPROCESSID");
    if (id.empty()) {
        return 0;
    }
    while (Field(Transact("GET_TEST_STATUS:" + id), "MSG/DATA/TESTSTATUS/STATE") != "2") {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Transact("GET_TEST_MESSAGES:" + id);
    double rate = 0;
    static const std::regex kFigures("BYTES=(\\d+) SECONDS=([0-9.]+)");
    Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
        VelkClientMessage* node =
            VelkClientFindMessageWithTypeField(VELK_MSG_TYPE_DE_RETRIEVED_TEST_MESSAGE);
        if (node == nullptr) {
            VelkClientWaitForMessages(50, 0);
            continue;
        }
        node = VelkClientGetNextMessage(node);
        std::string text = node->pMessage;
        VelkClientFreeMessage(node);
        std::smatch match;
        if (std::regex_search(text, match, kFigures)) {
            rate = std::stod(match[1].str()) / 1e6 / std::stod(match[2].str());
            *direct = text.find("MODE=O_DIRECT") != std::string::npos;
        }
        if (Field(text, "MSG/DATA/TESTLOGITEM/SEQUENCENO") == "-1") {
            break;
        }
    }
    Transact("FREE_TEST_PROCESS:" + id);
    return rate;
}

// dd of the image with 1 MiB blocks and O_DIRECT: its own MB/s (0 on failure).
double DdRate(const std::string& image, const std::string& errorFile) {
    setenv("LC_ALL", "C", 1);
    pid_t pid = Spawn("dd", {"if=" + image, "of=/dev/null", "bs=1M", "iflag=direct"}, errorFile);
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return 0;
    }
    std::ifstream report(errorFile);
    std::string text((std::istreambuf_iterator<char>(report)), std::istreambuf_iterator<char>());
    static const std::regex kFigures("(\\d+) bytes .* copied, ([0-9.e-]+) s");
    std::smatch match;
    if (!std::regex_search(text, match, kFigures)) {
        return 0;
    }
    return std::stod(match[1].str()) / 1e6 / std::stod(match[2].str());
}

void SurfaceScanAgainstDd(benchmark::State& state) {
    BenchMachine machine;
    pid_t engine = Spawn(machine.Engine(), {});
    if (engine <= 0 || !ConnectAndWaitForEnumeration()) {
        state.SkipWithError("engine not ready");
        StopEngine(engine);
        return;
    }
    double moduleTotal = 0;
    double ddTotal = 0;
    int rounds = 0;
    bool direct = false;
    for (auto _ : state) {
        // Which one reads first alternates, so that neither gains from the
        // other's effect on the storage below.
        double module = 0;
        double dd = 0;
        if (rounds % 2 == 0) {
            module = ModuleRate(&direct);
            dd = DdRate(machine.Image(), machine.Image() + ".dd.err");
        } else {
            dd = DdRate(machine.Image(), machine.Image() + ".dd.err");
            module = ModuleRate(&direct);
        }
        if (module <= 0 || dd <= 0) {
            state.SkipWithError("a read did not report its throughput");
            break;
        }
        moduleTotal += module;
        ddTotal += dd;
        ++rounds;
    }
    StopEngine(engine);
    if (rounds > 0) {
        state.counters["module_MBps"] = moduleTotal / rounds;
        state.counters["dd_MBps"] = ddTotal / rounds;
        state.counters["ratio"] = moduleTotal / ddTotal;
        state.counters["image_MiB"] = static_cast<double>(ImageBytes() >> 20);
        state.counters["module_O_DIRECT"] = direct ? 1 : 0;
    }
}
BENCHMARK(SurfaceScanAgainstDd)->Unit(benchmark::kMillisecond)->Iterations(4);

}  // namespace
