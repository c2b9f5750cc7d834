#include "parallel_ports.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>
#include <sstream>

#include "machine_files.h"

namespace velk::parallelmodule {
namespace {

using velk::module::ListMachineDirectory;
using velk::module::ReadMachineAttribute;
using velk::module::TrimBlanks;

constexpr const char* kPortLists[] = {"/sys/bus/parport/devices", "/sys/class/ppdev",
                                      "/sys/class/parport", "/proc/sys/dev/parport"};

// The index of "parportN", or -1.
long PortIndex(const std::string& name) {
    if (name.rfind("parport", 0) != 0 || name.size() == 7 || name.size() > 12) {
        return -1;
    }
    std::string digits = name.substr(7);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return -1;
    }
    return std::atol(digits.c_str());
}

}  // namespace

std::map<std::string, std::string> ParseDeviceId(const std::string& text) {
    std::map<std::string, std::string> fields;
    std::istringstream entries(text);
    std::string entry;
    while (std::getline(entries, entry, ';')) {
        size_t colon = entry.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        std::string key = TrimBlanks(entry.substr(0, colon));
        std::transform(key.begin(), key.end(), key.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        if (key == "MANUFACTURER") {
            key = "MFG";
        } else if (key == "MODEL") {
            key = "MDL";
        }
        if (!key.empty()) {
            fields[key] = TrimBlanks(entry.substr(colon + 1));
        }
    }
    return fields;
}

std::vector<ParallelPort> ListParallelPorts() {
    std::set<long> indexes;
    for (const char* list : kPortLists) {
        for (const std::string& name : ListMachineDirectory(list)) {
            if (long index = PortIndex(name); index >= 0) {
                indexes.insert(index);
            }
        }
    }
    std::vector<ParallelPort> ports;
    for (long index : indexes) {
        ParallelPort port;
        port.index = static_cast<unsigned>(index);
        port.name = "parport" + std::to_string(index);
        port.devicePath = "/dev/" + port.name;
        const std::string proc = "/proc/sys/dev/parport/" + port.name;
        // base-addr holds the base and the extended base in decimal.
        std::istringstream base(ReadMachineAttribute(proc + "/base-addr").value_or(""));
        base >> port.base;
        port.irq = std::atoi(ReadMachineAttribute(proc + "/irq").value_or("-1").c_str());
        port.modes = ReadMachineAttribute(proc + "/modes").value_or("");
        port.probed = ParseDeviceId(ReadMachineAttribute(proc + "/autoprobe").value_or(""));
        ports.push_back(port);
    }
    return ports;
}

}  // namespace velk::parallelmodule
