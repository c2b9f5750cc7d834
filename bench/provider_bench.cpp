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
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include <benchmark/benchmark.h>

#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Provider/CIMInstanceProvider.h>

#include "CollectingHandlers.h"
#include "InstanceRepository.h"
#include "ProviderLibrary.h"

using namespace Pegasus;

namespace {

const int kDevices = 100;
const int kTestsPerDevice = 10;

struct Setup {
    std::string root;
    std::unique_ptr<velk::cimserver::ProviderLibrary> library;
    std::shared_ptr<velk::cimserver::InstanceRepository> repository;
    CIMProvider* provider = nullptr;
    CIMInstanceProvider* instances = nullptr;
};

Setup* setup = nullptr;

// The test module's definitions with kTestsPerDevice tests.
void writeDefinitions(const std::string& to) {
    std::ifstream in(std::string(VELK_TESTMODULE_DIR) + "/velktest.vkm");
    std::stringstream text;
    text << in.rdbuf();
    std::string definitions = text.str();
    std::string from = "iNumTests=2";
    definitions.replace(definitions.find(from), from.size(),
                        "iNumTests=" + std::to_string(kTestsPerDevice));
    std::ofstream out(to);
    out << definitions;
    for (int i = 2; i < kTestsPerDevice; i++) {
        std::string n = "[" + std::to_string(i) + "]";
        out << "szTestName" << n << "=szTestQuickName\n"
            << "szTestDescription" << n << "=szTestQuickDescription\n"
            << "iTestFlags" << n << "=0\niTestTimeout" << n << "=60\niTestEstDuration" << n
            << "=1\n";
    }
}

void addComputerSystem(velk::cimserver::InstanceRepository& repository) {
    Array<CIMKeyBinding> keys;
    keys.append(CIMKeyBinding(CIMName("CreationClassName"), String("CIM_UnitaryComputerSystem"),
                              CIMKeyBinding::STRING));
    keys.append(CIMKeyBinding(CIMName("Name"), String("benchsystem"), CIMKeyBinding::STRING));
    CIMInstance system{CIMName("CIM_UnitaryComputerSystem")};
    system.addProperty(
        CIMProperty(CIMName("CreationClassName"), CIMValue(String("CIM_UnitaryComputerSystem"))));
    system.addProperty(CIMProperty(CIMName("Name"), CIMValue(String("benchsystem"))));
    repository.add(
        CIMObjectPath(String(), CIMNamespaceName(), CIMName("CIM_UnitaryComputerSystem"), keys),
        system);
}

CIMObjectPath classPath(const char* className) {
    return CIMObjectPath(String("benchhost"), CIMNamespaceName("root/korva"), CIMName(className));
}

Uint32 enumerate(const char* className) {
    velk::cimserver::CollectingInstanceHandler handler;
    setup->instances->enumerateInstances(OperationContext(), classPath(className), false, false,
                                         CIMPropertyList(), handler);
    return handler.instances().size();
}

bool start() {
    setup = new Setup;
    char pattern[] = "/tmp/velk-provider-bench-XXXXXX";
    setup->root = mkdtemp(pattern);
    std::string bin = setup->root + "/bin";
    std::string pipes = setup->root + "/pipes";
    mkdir(bin.c_str(), 0700);
    mkdir(pipes.c_str(), 0700);
    std::filesystem::create_symlink(VELK_CORE_PATH, bin + "/velkcore");
    for (const char* suffix : {".linux", ".nls"}) {
        std::filesystem::create_symlink(std::string(VELK_TESTMODULE_DIR) + "/velktest" + suffix,
                                        bin + "/velktest" + suffix);
    }
    writeDefinitions(bin + "/velktest.vkm");
    std::ofstream(bin + "/velklog.props") << "log4cpp.rootCategory=ERROR, file\n"
                                             "log4cpp.appender.file=FileAppender\n"
                                             "log4cpp.appender.file.fileName="
                                          << setup->root << "/provider.log\n"
                                          << "log4cpp.appender.file.layout=BasicLayout\n";
    setenv("VELKOR_HOME", bin.c_str(), 1);
    setenv("VELK_TMP", pipes.c_str(), 1);
    setenv("VELKTEST_DISKS", std::to_string(kDevices).c_str(), 1);

    setup->library = std::make_unique<velk::cimserver::ProviderLibrary>(VELK_PROVIDER_LIBRARY);
    setup->repository = std::make_shared<velk::cimserver::InstanceRepository>();
    addComputerSystem(*setup->repository);
    setup->provider = setup->library->createProvider("VLK_DiagProvider");
    setup->instances = dynamic_cast<CIMInstanceProvider*>(setup->provider);
    CIMOMHandle cimom(setup->repository);
    setup->provider->initialize(cimom);
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
    if (setup->provider != nullptr) {
        setup->provider->terminate();
    }
    setup->library.reset();
    std::filesystem::remove_all(setup->root);
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
