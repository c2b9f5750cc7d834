// The parallel ports of the machine as the kernel's parport layer lists
// them: /sys/bus/parport/devices, /sys/class/ppdev and /sys/class/parport
// name the ports, /proc/sys/dev/parport/<port>/ gives their base address,
// interrupt, modes and what the port's IEEE 1284 probe found attached.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace velk::parallelmodule {

struct ParallelPort {
    std::string name;        // "parport0"
    unsigned index = 0;      // 0 for parport0
    std::string devicePath;  // "/dev/parport0"
    unsigned long base = 0;  // I/O base address (0 when unknown)
    int irq = -1;
    std::string modes;                          // "PCSPP,TRISTATE,EPP"
    std::map<std::string, std::string> probed;  // IEEE 1284 id of what is attached
};

// "MFG:Acme;MDL:Jet 1;CLASS:PRINTER;" into its fields (keys upper-cased,
// long key names shortened: MANUFACTURER to MFG, MODEL to MDL).
std::map<std::string, std::string> ParseDeviceId(const std::string& text);

// The ports, by index.
std::vector<ParallelPort> ListParallelPorts();

}  // namespace velk::parallelmodule
