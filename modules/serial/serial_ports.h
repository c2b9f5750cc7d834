// The serial ports of the machine as the kernel lists them in
// /sys/class/tty: every tty with a device behind it (not the virtual
// consoles and pseudo-terminals), except the UART slots whose type is 0
// (PORT_UNKNOWN: no chip answered there).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velk::serialmodule {

struct SerialPort {
    std::string name;        // kernel name, "ttyS0"
    std::string devicePath;  // machine path of its node, "/dev/ttyS0"
    uint32_t number = 0;     // COM number: ttyS<n> is COM n+1, other ports follow
    unsigned long ioPort = 0;
    int irq = -1;
    int uartType = -1;     // sysfs "type" (-1: the port has none, e.g. USB)
    std::string uartName;  // "16550A" for the type, else the driver's name
    bool console = false;  // the kernel console writes to it
    // Of a USB adapter: what its USB device says about itself.
    std::string manufacturer;
    std::string product;
    std::string serialNumber;
    std::string revision;
};

// The name of a UART type number of sysfs ("16550A" for 4), or "" when the
// number is not known.
std::string UartTypeName(int type);

// The ports, ttyS ports first by line, then the others by name; numbered
// in that order.
std::vector<SerialPort> ListSerialPorts();

}  // namespace velk::serialmodule
