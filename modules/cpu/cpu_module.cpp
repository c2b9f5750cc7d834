// VELkCPU: the processor module.  One device per physical processor
// (package) of this machine, four tests run on every online logical CPU of
// the package: integer arithmetic and logic, floating point, the level-2
// cache and MMX.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bxi2.h"
#include "bxi2_session.h"
#include "cpu_tests.h"
#include "cpu_topology.h"
#include "module_main.h"
#include "nls_text.h"
#include "test_parameters.h"

namespace {

using velk::cpumodule::Processor;
using velk::module::SanitizeText;
using velk::modules::NlsTag;
using velk::modules::Text;

// "cpu0-3" style list of a processor's logical CPUs.
std::string CpuListText(const Processor& processor) {
    std::string text;
    size_t i = 0;
    while (i < processor.cpus.size()) {
        size_t j = i;
        while (j + 1 < processor.cpus.size() &&
               processor.cpus[j + 1].index == processor.cpus[j].index + 1) {
            ++j;
        }
        text += (text.empty() ? "cpu" : ",") + std::to_string(processor.cpus[i].index);
        if (j > i) {
            text += "-" + std::to_string(processor.cpus[j].index);
        }
        i = j + 1;
    }
    return text;
}

int AddProcessor(const Processor& processor) {
    const auto& info = processor.cpus.front().info;
    std::string number = std::to_string(processor.package);
    std::string model = SanitizeText(processor.ModelName());
    std::string name = NlsTag(Text("szDevCpu", {{"NUM", number}, {"MODEL", model}}));
    std::string description =
        NlsTag(Text("szDevCpuDescription", {{"CPUS", std::to_string(processor.cpus.size())}}));
    Bxi2_Device* device = nullptr;
    int status =
        Bxi2_CreateDeviceCPU("CPU", static_cast<uint32_t>(processor.package) + 1, name.c_str(),
                             CpuListText(processor).c_str(), description.c_str(),
                             static_cast<uint32_t>(processor.package), &device);
    if (status != BXI2_OK) {
        return status;
    }
    Bxi2_AddFruToDevice(device, SanitizeText(info.Field("vendor_id")).c_str(), model.c_str(), "",
                        SanitizeText(info.Field("microcode")).c_str(), "",
                        ("package " + number).c_str());
    std::string signature = "family " + SanitizeText(info.Field("cpu family")) + " model " +
                            SanitizeText(info.Field("model")) + " stepping " +
                            SanitizeText(info.Field("stepping"));
    Bxi2_AddFruAdditionalInfoToDevice(device, "SIGNATURE", "Family, model, stepping",
                                      signature.c_str());
    Bxi2_AddFruAdditionalInfoToDevice(device, "LOGICAL_CPUS", "Online logical CPUs",
                                      std::to_string(processor.cpus.size()).c_str());
    if (auto cache = processor.LevelTwoCache()) {
        Bxi2_AddFruAdditionalInfoToDevice(
            device, "L2_CACHE", "Level 2 cache",
            (std::to_string(cache->sizeBytes >> 10) + " KiB").c_str());
    }
    return Bxi2_AddDevice(device);
}

int Enumerate() {
    for (const auto& processor : velk::cpumodule::ReadProcessors()) {
        if (!processor.cpus.empty()) {
            AddProcessor(processor);
        }
    }
    return BXI2_OK;
}

// The processor of a device record, read again from the machine.
const Processor* FindProcessor(const std::vector<Processor>& processors, Bxi2_Device* device) {
    const char* locator = Bxi2_GetDeviceHwLocator(device);
    for (const auto& processor : processors) {
        if (locator != nullptr && "CPU:" + std::to_string(processor.package) == locator) {
            return &processor;
        }
    }
    return nullptr;
}

int Run(int test, Bxi2_Device* device) {
    if (!velk::module::CheckParameters()) {
        return BXI2_RESULT_BADPARAMS;
    }
    auto processors = velk::cpumodule::ReadProcessors();
    const Processor* processor = FindProcessor(processors, device);
    velk::modules::Bxi2Session session(test);
    if (processor == nullptr) {
        session.Error(
            velk::cpumodule::kEventNoUsableCpu,
            Text("szErrNoProcessor",
                 {{"LOCATOR",
                   SanitizeText(device != nullptr ? Bxi2_GetDeviceHwLocator(device) : "")}}));
        return BXI2_RESULT_SETUPERROR;
    }
    return velk::cpumodule::RunCpuTest(test, *processor, session);
}

int SysInfo(Bxi2_Device* device, const char* parameters) {
    auto processors = velk::cpumodule::ReadProcessors();
    const Processor* processor = FindProcessor(processors, device);
    if (processor == nullptr) {
        return BXI2_OK;
    }
    for (const auto& cpu : processor->cpus) {
        std::string index = std::to_string(cpu.index);
        Bxi2_AddSysInfoToDevice(device, "CPU", index.c_str(), "Logical CPU");
        Bxi2_AddSysInfoToDevice(device, "MHZ", SanitizeText(cpu.info.Field("cpu MHz")).c_str(),
                                "Clock (MHz)");
        for (const auto& cache : cpu.caches) {
            std::string text = "cpu" + index + " L" + std::to_string(cache.level) + " " +
                               SanitizeText(cache.type) + " " +
                               std::to_string(cache.sizeBytes >> 10) + " KiB";
            Bxi2_AddSysInfoToDevice(device, "CACHE", text.c_str(), "Cache");
        }
    }
    const auto& flags = processor->cpus.front().info.flags;
    for (const char* feature : {"mmx", "sse", "sse2", "sse3", "ssse3", "sse4_1", "sse4_2", "avx",
                                "avx2", "avx512f", "neon", "asimd"}) {
        if (flags.count(feature) != 0) {
            Bxi2_AddSysInfoToDevice(device, "SIMD", feature, "SIMD instruction set");
        }
    }
    return BXI2_OK;
}

}  // namespace

// The tests take no parameters of their own: any given is not recognized.
int main(int argc, char** argv) {
    return velk::module::RunModule(
        argc, argv, {Enumerate, velk::module::ValidateDeclaredParameters, Run, SysInfo}, {1, 0, 0});
}
