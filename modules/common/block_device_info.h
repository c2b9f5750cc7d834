// What the kernel tells of a block device in sysfs: its size, sector sizes,
// identity (vendor, model, serial number, firmware) and where it sits (a
// hardware locator built from its bus address).  Read from
// /sys/block/<name> under the system root.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velk::module {

struct BlockDeviceInfo {
    std::string name;             // kernel name, "sda"
    std::string node;             // device node, "/dev/sda"
    std::uint64_t sizeBytes = 0;  // 512-byte "size" units times 512
    std::uint32_t logicalBlockSize = 512;
    std::uint32_t physicalBlockSize = 512;
    bool removable = false;
    bool readOnly = false;
    bool rotational = false;
    std::string vendor;
    std::string model;
    std::string serial;
    std::string firmware;
    // Bus address: "SCSI" with four numbers, "NVME" (controller, namespace),
    // "VIRTIO" (device number) or "BLOCK" (none: the kernel name is used).
    std::string bus;
    std::vector<std::uint32_t> address;
    std::string hardwareLocator;  // "SCSI:0:0:0:0", "NVME:0:1", "VIRTIO:2", "BLOCK:mmcblk0"
    std::string busType;          // "SCSI_BUS", "NVME_BUS", "VIRTIO_BUS", "SYSTEM_BUS"
};

// The device of the kernel name, or nothing when /sys/block/<name> is not
// there.
std::optional<BlockDeviceInfo> ReadBlockDevice(const std::string& name);

// Kernel names in /sys/block, sorted.
std::vector<std::string> ListBlockDevices();

// True when the block device is backed by hardware (it has a "device" link):
// loop, RAM, zram, device-mapper and md devices are not.
bool IsHardwareBlockDevice(const std::string& name);

// The kernel name of a device node path ("/dev/sda" gives "sda").
std::string KernelNameOfNode(const std::string& node);

}  // namespace velk::module
