// Engine client costs: reading a LIST_DEVICES_AND_TESTS reply of 100 devices
// with 10 tests each into device, module, test and parameter objects;
// reading a device's FRU additional information (against looking each
// record up by index, which is quadratic); and
// the time Start takes to READY, with the engine not yet running (launch,
// handshake, enumeration wait, list) and with it running (handshake, list).
//
// The Start benchmarks need an engine that answers LIST_DEVICES_AND_TESTS:
// VELK_BENCH_ENGINE names its executable (the built velkcore, or the test
// suite's scripted engine); without it they are skipped.  The files of
// VELK_BENCH_MODULES (a directory, optional) join it in the bin directory,
// so that a real engine has modules to enumerate.  Each iteration
// runs in a private pipe directory and stops the engine it started.
#include <benchmark/benchmark.h>

#include <dirent.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "DeviceImp.h"
#include "EngineText.h"
#include "TestEnvironmentImp.h"
#include "VelkCore.h"
#include "process-helpers.h"

namespace {

using VELKCORE::CTestEnvironment;

std::string Element(const std::string& name, const std::string& content) {
    return "<" + name + ">" + content + "</" + name + ">";
}

// 100 devices, each with one component of ten tests with two parameters.
std::string DeviceListReply(int devices, int tests) {
    std::string data;
    for (int device = 0; device < devices; ++device) {
        std::string number = std::to_string(device);
        std::string content =
            Element("NAME", "<NLS mod=hdd.vkm id=szDevHardDrive NUM=" + number + "/>") +
            Element("DESCRIPTION", "<NLS mod=hdd.vkm id=szDevHardDriveDescription/>") +
            Element("OSLOCATOR", "/dev/sd" + number) + Element("HWLOCATOR", "IDE:0:" + number) +
            Element("DEVTYPE", "HD") + Element("FRU_MANUFACTURER", "Velkor") +
            Element("FRU_SERIALNUMBER", "SN" + number) + Element("FRU_ADDINFO_FIELD", "CACHE") +
            Element("FRU_ADDINFO_DESC", "Cache size") + Element("FRU_ADDINFO_VALUE", "8 MB");
        std::string component = Element("ID", "VeLkHardDrive") + Element("DID", number) +
                                Element("NAME", "<NLS mod=hdd.vkm id=szModuleName/>") +
                                Element("VERSION", "1.0.0");
        for (int test = 0; test < tests; ++test) {
            std::string properties =
                Element("PROPERTY", Element("ID", "PASSES") + Element("TYPE", "int32") +
                                        Element("NAME", "<NLS mod=hdd.vkm id=szPasses/>") +
                                        Element("DEFAULT_VALUE", "1") + Element("MIN_VALUE", "1") +
                                        Element("MAX_VALUE", "100")) +
                Element("PROPERTY", Element("ID", "MODE") + Element("TYPE", "string") +
                                        Element("DEFAULT_VALUE", "read"));
            component += Element(
                "TEST",
                Element("NAME", "<NLS mod=hdd.vkm id=szTest" + std::to_string(test) + "/>") +
                    Element("ID", std::to_string(test)) + Element("FLAGS", "32") +
                    Element("TIMEOUT", "600") + Element("EST_DURATION", "30") +
                    Element("TEST_PROPERTIES", properties));
        }
        data += Element("DEVICE", content + Element("COMPONENT", component));
    }
    return "<MSG><HDR><FROM>1</FROM><TO>2</TO><ID>3</ID><RE>4</RE>"
           "<TYPE>TRANSACTION_RESPONSE</TYPE><TIME>20260101000000000</TIME></HDR>" +
           Element("DATA", data) + "</MSG>";
}

void BM_ReadDeviceList(benchmark::State& state) {
    const std::string reply =
        DeviceListReply(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    CTestEnvironment environment;
    for (auto _ : state) {
        environment.Imp()->ReadDeviceList(reply.c_str(), false);
        benchmark::DoNotOptimize(environment.Imp()->Devices().size());
    }
    unsigned int size = 0;
    environment.GetDeviceArraySize(size);
    state.counters["devices"] = size;
    state.counters["reply_bytes"] = static_cast<double>(reply.size());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(reply.size()));
}
BENCHMARK(BM_ReadDeviceList)->Args({100, 10})->Args({10, 10})->Unit(benchmark::kMillisecond);

// A device with n additional FRU records.
std::string FruDevice(int records) {
    std::string text = Element("NAME", "Disk") + Element("OSLOCATOR", "/dev/sda") +
                       Element("HWLOCATOR", "IDE:0:0") + Element("DEVTYPE", "HD");
    for (int k = 0; k < records; ++k) {
        std::string number = std::to_string(k);
        text += Element("FRU_ADDINFO_FIELD", "F" + number) +
                Element("FRU_ADDINFO_DESC", "Field " + number) +
                Element("FRU_ADDINFO_VALUE", "V" + number);
    }
    return text;
}

// Reading a device's FRU additional information, as the device list does.
void BM_ReadFruAdditionalInfo(benchmark::State& state) {
    const std::string text = FruDevice(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        VELKCORE::CDeviceImp device;
        device.initFromDeviceEnum(text.c_str());
        benchmark::DoNotOptimize(device.FruAddInfo().size());
    }
    state.counters["records"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_ReadFruAdditionalInfo)->Arg(1000)->Arg(8000)->Unit(benchmark::kMillisecond);

// For comparison: looking each record's three elements up by index, one
// search from the start of the text per element.
void BM_FruIndexedLookup(benchmark::State& state) {
    const std::string text = FruDevice(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        VELKCORE::detail::GenStr field;
        size_t records = 0;
        for (int k = 0; VELKCORE::detail::ReadField(text.c_str(), "FRU_ADDINFO_FIELD", k, field);
             ++k) {
            benchmark::DoNotOptimize(
                VELKCORE::detail::FieldText(text.c_str(), "FRU_ADDINFO_DESC", k));
            benchmark::DoNotOptimize(
                VELKCORE::detail::FieldText(text.c_str(), "FRU_ADDINFO_VALUE", k));
            ++records;
        }
        benchmark::DoNotOptimize(records);
    }
}
BENCHMARK(BM_FruIndexedLookup)->Arg(1000)->Arg(8000)->Unit(benchmark::kMillisecond);

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
    return remove(path);
}

// A private pipe and bin directory with the engine linked in as velkcore.
class BenchSandbox {
  public:
    explicit BenchSandbox(const char* engine) {
        char pattern[] = "/tmp/velk-bench-XXXXXX";
        root_ = mkdtemp(pattern);
        mkdir((root_ + "/pipes").c_str(), 0700);
        mkdir((root_ + "/bin").c_str(), 0700);
        symlink(engine, (root_ + "/bin/velkcore").c_str());
        if (const char* modules = std::getenv("VELK_BENCH_MODULES")) {
            if (DIR* directory = opendir(modules)) {
                while (struct dirent* entry = readdir(directory)) {
                    std::string name = entry->d_name;
                    if (name != "." && name != "..") {
                        symlink((std::string(modules) + "/" + name).c_str(),
                                (root_ + "/bin/" + name).c_str());
                    }
                }
                closedir(directory);
            }
        }
        setenv("VELK_TMP", (root_ + "/pipes").c_str(), 1);
        setenv("VELKOR_HOME", (root_ + "/bin").c_str(), 1);
    }
    ~BenchSandbox() { nftw(root_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS); }
    std::string Bin() const { return root_ + "/bin"; }

  private:
    std::string root_;
};

double Seconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

void BM_StartEngineNotRunning(benchmark::State& state) {
    const char* engine = std::getenv("VELK_BENCH_ENGINE");
    if (engine == nullptr) {
        state.SkipWithError("VELK_BENCH_ENGINE names no engine");
        return;
    }
    for (auto _ : state) {
        BenchSandbox sandbox(engine);
        CTestEnvironment environment;
        environment.SetVelkHomeDir(sandbox.Bin());
        auto start = std::chrono::steady_clock::now();
        int result = environment.Start();
        state.SetIterationTime(Seconds(std::chrono::steady_clock::now() - start));
        environment.Stop();
        if (result != 0) {
            state.SkipWithError("Start did not reach READY");
            return;
        }
    }
}
BENCHMARK(BM_StartEngineNotRunning)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_StartEngineRunning(benchmark::State& state) {
    const char* engine = std::getenv("VELK_BENCH_ENGINE");
    if (engine == nullptr) {
        state.SkipWithError("VELK_BENCH_ENGINE names no engine");
        return;
    }
    BenchSandbox sandbox(engine);
    CTestEnvironment launcher;
    launcher.SetVelkHomeDir(sandbox.Bin());
    if (launcher.Start() != 0) {
        launcher.Stop();
        state.SkipWithError("the engine did not start");
        return;
    }
    launcher.CloseClient();
    for (auto _ : state) {
        CTestEnvironment environment;
        environment.SetVelkHomeDir(sandbox.Bin());
        auto start = std::chrono::steady_clock::now();
        int result = environment.Start();
        state.SetIterationTime(Seconds(std::chrono::steady_clock::now() - start));
        environment.CloseClient();
        if (result != 0) {
            state.SkipWithError("Start did not reach READY");
            break;
        }
    }
    launcher.Stop();
}
BENCHMARK(BM_StartEngineRunning)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace
