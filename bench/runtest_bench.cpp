// What a CIM client waits for when it runs a test through the provider
// (loaded with dlopen in front of the real velkcore and the test module):
//
//   RunTest call      wall time of invokeMethod RunTest for the quick test
//                     (the call polls the engine once a second until the run
//                     exists, then follows it one more second)
//   end to result     from the moment the module process of a 4-second test
//                     ends to the first getInstance of its result (read every
//                     10 ms, as a busy client would) that shows its final
//                     TestState
//
//   runtest_bench              (VELK_BENCH_RUNS=N for more than 10 runs)
//
// Figures are median, minimum and maximum in milliseconds.
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <Pegasus/Common/CIMInstance.h>

#include "CollectingHandlers.h"
#include "bench_provider.h"

using namespace Pegasus;
using Clock = std::chrono::steady_clock;

namespace {

const char* const DISK = "IDE:0:0";

double msSince(Clock::time_point begin, Clock::time_point end = Clock::now()) {
    return std::chrono::duration<double, std::milli>(end - begin).count();
}

// The processes whose parent is parent and whose name starts with name.
std::vector<pid_t> childrenNamed(pid_t parent, const std::string& name) {
    std::vector<pid_t> found;
    DIR* proc = opendir("/proc");
    for (dirent* entry = proc ? readdir(proc) : nullptr; entry != nullptr; entry = readdir(proc)) {
        pid_t pid = std::atoi(entry->d_name);
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        if (pid <= 0 || !std::getline(stat, line)) {
            continue;
        }
        std::string::size_type open = line.find('('), close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos) {
            continue;
        }
        char state = 0;
        int ppid = 0;
        std::sscanf(line.c_str() + close + 1, " %c %d", &state, &ppid);
        if (ppid == parent && state != 'Z' && line.compare(open + 1, name.size(), name) == 0) {
            found.push_back(pid);
        }
    }
    if (proc != nullptr) {
        closedir(proc);
    }
    return found;
}

class Client {
  public:
    explicit Client(BenchProvider& provider) : provider(provider) {}

    CIMObjectPath runTest(const char* testName) {
        Array<CIMKeyBinding> keys;
        keys.append(CIMKeyBinding(CIMName("Name"), String(testName), CIMKeyBinding::STRING));
        CIMObjectPath test("benchhost", CIMNamespaceName("root/korva"), CIMName("VLK_DiagTest"),
                           keys);
        Array<CIMKeyBinding> deviceKeys;
        deviceKeys.append(CIMKeyBinding(CIMName("DeviceID"), String(DISK), CIMKeyBinding::STRING));
        Array<CIMParamValue> in;
        in.append(CIMParamValue("SystemElement",
                                CIMValue(CIMObjectPath("benchhost", CIMNamespaceName("root/korva"),
                                                       CIMName("VLK_DiskDrive"), deviceKeys))));
        velk::cimserver::CollectingMethodHandler handler;
        provider.methods->invokeMethod(OperationContext(), test, CIMName("RunTest"), in, handler);
        CIMObjectPath result;
        handler.outParameters()[0].getValue().get(result);
        return result;
    }

    std::string testState(const CIMObjectPath& result) {
        velk::cimserver::CollectingInstanceHandler handler;
        provider.instances->getInstance(OperationContext(), result, false, false, CIMPropertyList(),
                                        handler);
        const CIMInstance& instance = handler.instances()[0];
        return std::string(instance.getProperty(instance.findProperty(CIMName("TestState")))
                               .getValue()
                               .toString()
                               .getCString());
    }

    void waitUntilFinal(const CIMObjectPath& result, int pollMs) {
        while (testState(result) == "4") {
            std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
        }
    }

  private:
    BenchProvider& provider;
};

void report(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("%-16s runs %zu  median %8.1f ms  min %8.1f ms  max %8.1f ms\n", what, ms.size(),
                ms[ms.size() / 2], ms.front(), ms.back());
}

}  // namespace

int main() {
    const char* runsText = std::getenv("VELK_BENCH_RUNS");
    const int runs = runsText != nullptr ? std::max(1, std::atoi(runsText)) : 10;
    setenv("VELKTEST_DEFAULT_SECONDS", "4", 1);
    BenchProvider provider;
    if (provider.enumerate("VLK_DiskDrive") == 0) {
        std::fprintf(stderr, "runtest_bench: the engine lists no disk drive\n");
        return 1;
    }
    Client client(provider);

    std::vector<double> callMs;
    for (int i = 0; i < runs; i++) {
        Clock::time_point begin = Clock::now();
        CIMObjectPath result = client.runTest("VeLkTest:0:Quick test");
        callMs.push_back(msSince(begin));
        client.waitUntilFinal(result, 100);
    }
    report("RunTest call", callMs);

    std::vector<pid_t> engines = childrenNamed(getpid(), "velkcore");
    if (engines.size() != 1) {
        std::fprintf(stderr, "runtest_bench: %zu engines\n", engines.size());
        return 1;
    }
    std::vector<double> latencyMs;
    for (int i = 0; i < runs; i++) {
        CIMObjectPath result = client.runTest("VeLkTest:1:Timed test");
        std::vector<pid_t> modules = childrenNamed(engines[0], "velktest");
        if (modules.size() != 1) {
            client.waitUntilFinal(result, 100);
            continue;
        }
        Clock::time_point endedAt;
        std::thread watcher([&] {
            std::string proc = "/proc/" + std::to_string(modules[0]);
            while (access(proc.c_str(), F_OK) == 0 &&
                   !childrenNamed(engines[0], "velktest").empty()) {
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
            endedAt = Clock::now();
        });
        client.waitUntilFinal(result, 10);
        Clock::time_point visibleAt = Clock::now();
        watcher.join();
        latencyMs.push_back(msSince(endedAt, visibleAt));
    }
    if (latencyMs.empty()) {
        std::fprintf(stderr, "runtest_bench: no module process was seen\n");
        return 1;
    }
    report("end to result", latencyMs);
    return 0;
}
