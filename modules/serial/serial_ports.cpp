#include "serial_ports.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "machine_files.h"
#include "sys_root.h"

namespace velk::serialmodule {
namespace {

using velk::module::MachinePathExists;
using velk::module::ReadMachineAttribute;
using velk::module::ReadMachineNumber;

constexpr int kUsbSearchDepth = 6;

// The kernel's UART type numbers (include/uapi/linux/serial_core.h).
const char* const kUartNames[] = {
    "",
    "8250",
    "16450",
    "16550",
    "16550A",
    "Cirrus",
    "16650",
    "16650V2",
    "16750",
    "Startech",
    "16C950",
    "16654",
    "16850",
    "RSA",
    "NS16550A",
    "XScale",
    "RM9000",
    "OCTEON",
    "AR7",
    "U6_16550A",
    "Tegra",
    "XR17D15X",
    "LPC3220",
    "8250_CIR",
    "XR17V35X",
    "BRCM_TRUMANAGE",
    "ALTR_16550_F32",
    "ALTR_16550_F64",
    "ALTR_16550_F128",
    "RT2880",
    "16550A_FSL64",
};

bool IsDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The numeric index of a ttyS name ("ttyS12" gives 12), or -1.
long SerialIndex(const std::string& name) {
    std::string digits = name.rfind("ttyS", 0) == 0 ? name.substr(4) : std::string();
    return IsDigits(digits) && digits.size() < 6 ? std::atol(digits.c_str()) : -1;
}

std::string ReadLocal(const std::filesystem::path& path) {
    std::string machine = path.string();
    std::string root = velk::module::SysRoot();
    if (root != "/" && machine.rfind(root, 0) == 0) {
        machine = machine.substr(root.back() == '/' ? root.size() - 1 : root.size());
    }
    return ReadMachineAttribute(machine).value_or("");
}

// The USB device above a tty's device, if there is one: the first parent
// folder with an idVendor file.
void ReadUsbIdentity(SerialPort& port) {
    std::error_code error;
    std::filesystem::path device = std::filesystem::canonical(
        velk::module::SysPath("/sys/class/tty/" + port.name + "/device"), error);
    if (error) {
        return;
    }
    for (int depth = 0; depth < kUsbSearchDepth && device.has_parent_path();
         ++depth, device = device.parent_path()) {
        if (std::filesystem::exists(device / "idVendor", error)) {
            port.manufacturer = ReadLocal(device / "manufacturer");
            port.product = ReadLocal(device / "product");
            port.serialNumber = ReadLocal(device / "serial");
            port.revision = ReadLocal(device / "bcdDevice");
            return;
        }
    }
}

std::string DriverName(const std::string& name) {
    auto link = velk::module::ReadMachineLink("/sys/class/tty/" + name + "/device/driver");
    return link ? link->substr(link->rfind('/') + 1) : std::string();
}

}  // namespace

std::string UartTypeName(int type) {
    if (type <= 0 || type >= static_cast<int>(std::size(kUartNames))) {
        return {};
    }
    return kUartNames[type];
}

std::vector<SerialPort> ListSerialPorts() {
    std::vector<SerialPort> ports;
    for (const std::string& name : velk::module::ListMachineDirectory("/sys/class/tty")) {
        const std::string dir = "/sys/class/tty/" + name;
        if (!MachinePathExists(dir + "/device")) {
            continue;  // a virtual terminal or pseudo-terminal
        }
        SerialPort port;
        port.name = name;
        port.devicePath = "/dev/" + name;
        if (auto type = ReadMachineNumber(dir + "/type")) {
            if (*type == 0) {
                continue;  // a UART slot where no chip answered
            }
            port.uartType = static_cast<int>(std::min<uint64_t>(*type, 1000));
            port.uartName = UartTypeName(port.uartType);
        }
        if (port.uartName.empty()) {
            port.uartName = DriverName(name);
        }
        port.ioPort =
            std::strtoul(ReadMachineAttribute(dir + "/port").value_or("0").c_str(), nullptr, 0);
        if (auto irq = ReadMachineNumber(dir + "/irq")) {
            port.irq = static_cast<int>(std::min<uint64_t>(*irq, 100000));
        }
        port.console = ReadMachineAttribute(dir + "/console").value_or("N") == "Y";
        ReadUsbIdentity(port);
        ports.push_back(port);
    }
    std::sort(ports.begin(), ports.end(), [](const SerialPort& a, const SerialPort& b) {
        long ia = SerialIndex(a.name), ib = SerialIndex(b.name);
        if ((ia >= 0) != (ib >= 0)) {
            return ia >= 0;
        }
        return ia >= 0 ? ia < ib : a.name < b.name;
    });
    uint32_t next = 1;
    for (auto& port : ports) {
        long index = SerialIndex(port.name);
        port.number = index >= 0 ? static_cast<uint32_t>(index) + 1 : next;
        next = port.number + 1;
    }
    return ports;
}

}  // namespace velk::serialmodule
