// VELkParallelPort: the parallel-port module.  One device per parallel port
// of the kernel's parport layer; test 0 checks that the port is present and
// enabled, test 1 drives its lines through a loopback adapter.
#include <cstdio>
#include <string>

#include "bxi2.h"
#include "bxi2_session.h"
#include "module_main.h"
#include "nls_text.h"
#include "test_parameters.h"
#include "parallel_ports.h"
#include "parallel_tests.h"

namespace {

using velk::module::SanitizeText;
using velk::modules::NlsTag;
using velk::modules::Text;
using velk::parallelmodule::ParallelPort;

std::string Locator(const ParallelPort& port) {
    char text[48];
    std::snprintf(text, sizeof text, "LPT:%u:%04lx", port.index + 1, port.base);
    return text;
}

std::string Probed(const ParallelPort& port, const char* key) {
    auto found = port.probed.find(key);
    return found == port.probed.end() ? std::string() : SanitizeText(found->second);
}

int AddPort(const ParallelPort& port) {
    std::string number = std::to_string(port.index + 1);
    std::string name = NlsTag(Text("szDevLpt", {{"NUM", number}}));
    std::string description =
        NlsTag(Text("szDevLptDescription", {{"DEVICE", port.name}, {"MODES", port.modes}}));
    Bxi2_Device* device = nullptr;
    int status = Bxi2_CreateDevicePort("LPT", port.index + 1, name.c_str(), port.devicePath.c_str(),
                                       description.c_str(), port.index + 1, port.base, &device);
    if (status != BXI2_OK) {
        return status;
    }
    char address[64];
    std::snprintf(address, sizeof address, "I/O 0x%lx IRQ %d", port.base, port.irq);
    Bxi2_AddFruToDevice(device, "", "", "", "", "", address);
    Bxi2_AddFruAdditionalInfoToDevice(device, "MODES", "Transfer modes",
                                      SanitizeText(port.modes).c_str());
    if (!port.probed.empty()) {
        std::string attached = Probed(port, "MFG") + " " + Probed(port, "MDL");
        Bxi2_AddFruAdditionalInfoToDevice(device, "ATTACHED", "Attached device", attached.c_str());
        Bxi2_AddFruAdditionalInfoToDevice(device, "ATTACHED_CLASS", "Attached device class",
                                          Probed(port, "CLASS").c_str());
    }
    return Bxi2_AddDevice(device);
}

int Enumerate() {
    for (const auto& port : velk::parallelmodule::ListParallelPorts()) {
        AddPort(port);
    }
    return BXI2_OK;
}

int Run(int test, Bxi2_Device* device) {
    if (!velk::module::CheckParameters()) {
        return BXI2_RESULT_BADPARAMS;
    }
    velk::modules::Bxi2Session session(test);
    const char* locator = device != nullptr ? Bxi2_GetDeviceHwLocator(device) : nullptr;
    for (const auto& port : velk::parallelmodule::ListParallelPorts()) {
        if (locator != nullptr && Locator(port) == locator) {
            return velk::parallelmodule::RunParallelTest(test, port, session);
        }
    }
    session.Error(velk::parallelmodule::kEventPortMissing,
                  Text("szErrPortGone", {{"LOCATOR", SanitizeText(locator ? locator : "")}}));
    return test == velk::parallelmodule::kPresenceTest ? BXI2_RESULT_FAIL : BXI2_RESULT_SETUPERROR;
}

int SysInfo(Bxi2_Device* device, const char* parameters) {
    const char* locator = Bxi2_GetDeviceHwLocator(device);
    for (const auto& port : velk::parallelmodule::ListParallelPorts()) {
        if (locator != nullptr && Locator(port) == locator) {
            Bxi2_AddSysInfoToDevice(device, "DEVICE", port.devicePath.c_str(), "Device node");
            Bxi2_AddSysInfoToDevice(device, "MODES", SanitizeText(port.modes).c_str(), "Modes");
            for (const auto& [key, value] : port.probed) {
                Bxi2_AddSysInfoToDevice(device, SanitizeText(key).c_str(),
                                        SanitizeText(value).c_str(), "IEEE 1284 device id");
            }
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
