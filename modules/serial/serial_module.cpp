// VELkSerialPort: the serial-port module.  One device per serial port the
// kernel lists with a device behind it; five tests: loopback data and
// loopback control lines (with a loopback adapter), port present, line
// settings kept, and transmission without an adapter.
#include <cstdio>
#include <string>

#include "bxi2.h"
#include "bxi2_session.h"
#include "module_main.h"
#include "nls_text.h"
#include "test_parameters.h"
#include "serial_ports.h"
#include "serial_tests.h"

namespace {

using velk::module::SanitizeText;
using velk::modules::NlsTag;
using velk::modules::Text;
using velk::serialmodule::SerialPort;

std::string Locator(const SerialPort& port) {
    char text[48];
    std::snprintf(text, sizeof text, "COM:%u:%04lx", port.number, port.ioPort);
    return text;
}

int AddPort(const SerialPort& port, uint32_t did) {
    std::string number = std::to_string(port.number);
    std::string name = NlsTag(Text("szDevCom", {{"NUM", number}}));
    std::string description =
        NlsTag(Text("szDevComDescription",
                    {{"DEVICE", SanitizeText(port.name)}, {"UART", SanitizeText(port.uartName)}}));
    Bxi2_Device* device = nullptr;
    int status = Bxi2_CreateDeviceCOM("COM", did, name.c_str(), port.devicePath.c_str(),
                                      description.c_str(), port.number, port.ioPort, &device);
    if (status != BXI2_OK) {
        return status;
    }
    char address[64];
    std::snprintf(address, sizeof address, "I/O 0x%lx IRQ %d", port.ioPort, port.irq);
    Bxi2_AddFruToDevice(device, SanitizeText(port.manufacturer).c_str(),
                        SanitizeText(port.product.empty() ? port.uartName : port.product).c_str(),
                        SanitizeText(port.serialNumber).c_str(),
                        SanitizeText(port.revision).c_str(), "", address);
    Bxi2_AddFruAdditionalInfoToDevice(device, "UART", "UART or driver",
                                      SanitizeText(port.uartName).c_str());
    if (port.console) {
        Bxi2_AddFruAdditionalInfoToDevice(device, "CONSOLE", "Kernel console", "yes");
    }
    return Bxi2_AddDevice(device);
}

int Enumerate() {
    uint32_t did = 1;
    for (const auto& port : velk::serialmodule::ListSerialPorts()) {
        if (AddPort(port, did) == BXI2_OK) {
            ++did;
        }
    }
    return BXI2_OK;
}

int Run(int test, Bxi2_Device* device) {
    if (!velk::module::CheckParameters()) {
        return BXI2_RESULT_BADPARAMS;
    }
    velk::modules::Bxi2Session session(test);
    const char* locator = device != nullptr ? Bxi2_GetDeviceHwLocator(device) : nullptr;
    for (const auto& port : velk::serialmodule::ListSerialPorts()) {
        if (locator != nullptr && Locator(port) == locator) {
            return velk::serialmodule::RunSerialTest(test, port, session);
        }
    }
    session.Error(velk::serialmodule::kEventPortMissing,
                  Text("szErrPortGone", {{"LOCATOR", SanitizeText(locator ? locator : "")}}));
    return test == velk::serialmodule::kPresenceTest ? BXI2_RESULT_FAIL : BXI2_RESULT_SETUPERROR;
}

int SysInfo(Bxi2_Device* device, const char* parameters) {
    const char* locator = Bxi2_GetDeviceHwLocator(device);
    for (const auto& port : velk::serialmodule::ListSerialPorts()) {
        if (locator != nullptr && Locator(port) == locator) {
            Bxi2_AddSysInfoToDevice(device, "DEVICE", port.devicePath.c_str(), "Device node");
            Bxi2_AddSysInfoToDevice(device, "UART", SanitizeText(port.uartName).c_str(), "UART");
            Bxi2_AddSysInfoToDevice(device, "IRQ", std::to_string(port.irq).c_str(), "IRQ");
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
