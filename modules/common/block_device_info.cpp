#include "block_device_info.h"

#include <cstdio>
#include <cstdlib>
#include <regex>

#include "machine_files.h"

namespace velk::module {

namespace {

std::string Attribute(const std::string& path) {
    return ReadMachineAttribute(path).value_or("");
}

// The first of the attributes that has a text.
std::string FirstAttribute(std::initializer_list<std::string> paths) {
    for (const std::string& path : paths) {
        std::string value = Attribute(path);
        if (!value.empty()) {
            return value;
        }
    }
    return {};
}

// The unit serial number from a SCSI VPD page 0x80 (header of four bytes,
// then the text).
std::string SerialFromVpdPage80(const std::string& sysDevice) {
    std::optional<std::string> page = ReadMachineFile(sysDevice + "/vpd_pg80", 4096);
    if (!page || page->size() <= 4) {
        return {};
    }
    std::size_t length =
        (static_cast<unsigned char>((*page)[2]) << 8) | static_cast<unsigned char>((*page)[3]);
    return TrimBlanks(page->substr(4, length));
}

void FillAddress(BlockDeviceInfo& info) {
    std::string base = "/sys/block/" + info.name;
    std::string target = ReadMachineLink(base + "/device").value_or("");
    std::string leaf = target.substr(target.rfind('/') + 1);
    std::smatch match;
    static const std::regex kScsi("^(\\d+):(\\d+):(\\d+):(\\d+)$");
    static const std::regex kNvmeName("^nvme(\\d+)n(\\d+)$");
    static const std::regex kVirtio("^virtio(\\d+)$");
    if (std::regex_match(leaf, match, kScsi)) {
        info.bus = "SCSI";
        info.busType = "SCSI_BUS";
        for (int i = 1; i <= 4; ++i) {
            info.address.push_back(static_cast<std::uint32_t>(std::stoul(match[i].str())));
        }
        info.hardwareLocator = "SCSI:" + match[1].str() + ":" + match[2].str() + ":" +
                               match[3].str() + ":" + match[4].str();
    } else if (std::regex_match(info.name, match, kNvmeName)) {
        info.bus = "NVME";
        info.busType = "NVME_BUS";
        info.address = {static_cast<std::uint32_t>(std::stoul(match[1].str())),
                        static_cast<std::uint32_t>(std::stoul(match[2].str()))};
        info.hardwareLocator = "NVME:" + match[1].str() + ":" + match[2].str();
    } else if (std::regex_match(leaf, match, kVirtio)) {
        info.bus = "VIRTIO";
        info.busType = "VIRTIO_BUS";
        info.address = {static_cast<std::uint32_t>(std::stoul(match[1].str()))};
        info.hardwareLocator = "VIRTIO:" + match[1].str();
    } else {
        info.bus = "BLOCK";
        info.busType = "SYSTEM_BUS";
        info.hardwareLocator = "BLOCK:" + info.name;
    }
}

}  // namespace

std::vector<std::string> ListBlockDevices() {
    return ListMachineDirectory("/sys/block");
}

bool IsHardwareBlockDevice(const std::string& name) {
    return MachinePathExists("/sys/block/" + name + "/device");
}

std::string KernelNameOfNode(const std::string& node) {
    return node.substr(node.rfind('/') + 1);
}

std::optional<BlockDeviceInfo> ReadBlockDevice(const std::string& name) {
    std::string base = "/sys/block/" + name;
    if (name.empty() || name.find('/') != std::string::npos || !MachinePathExists(base)) {
        return std::nullopt;
    }
    BlockDeviceInfo info;
    info.name = name;
    info.node = "/dev/" + name;
    info.sizeBytes = ReadMachineNumber(base + "/size").value_or(0) * 512;
    info.logicalBlockSize = static_cast<std::uint32_t>(
        ReadMachineNumber(base + "/queue/logical_block_size").value_or(512));
    info.physicalBlockSize = static_cast<std::uint32_t>(
        ReadMachineNumber(base + "/queue/physical_block_size").value_or(info.logicalBlockSize));
    if (info.logicalBlockSize == 0) {
        info.logicalBlockSize = 512;
    }
    info.removable = ReadMachineNumber(base + "/removable").value_or(0) != 0;
    info.readOnly = ReadMachineNumber(base + "/ro").value_or(0) != 0;
    info.rotational = ReadMachineNumber(base + "/queue/rotational").value_or(0) != 0;
    std::string device = base + "/device";
    info.vendor = FirstAttribute({device + "/vendor"});
    info.model = FirstAttribute({device + "/model", base + "/model"});
    info.serial = FirstAttribute({device + "/serial", base + "/serial"});
    if (info.serial.empty()) {
        info.serial = SerialFromVpdPage80(device);
    }
    info.firmware = FirstAttribute({device + "/firmware_rev", device + "/rev"});
    FillAddress(info);
    return info;
}

}  // namespace velk::module
