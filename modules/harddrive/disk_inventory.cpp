#include "disk_inventory.h"

#include <cstdio>
#include <string>

#include "block_device_record.h"
#include "hard_drive.h"
#include "nls_text.h"

namespace velk::harddrive {

using velk::module::BlockDeviceInfo;

bool IsDiskName(const std::string& name) {
    // Optical ("sr") and diskette ("fd") drives have modules of their own.
    return !name.empty() && name.rfind("sr", 0) != 0 && name.rfind("fd", 0) != 0 &&
           velk::module::IsHardwareBlockDevice(name);
}

std::vector<BlockDeviceInfo> FindDisks() {
    std::vector<BlockDeviceInfo> disks;
    for (const std::string& name : velk::module::ListBlockDevices()) {
        if (!IsDiskName(name)) {
            continue;
        }
        if (std::optional<BlockDeviceInfo> info = velk::module::ReadBlockDevice(name)) {
            disks.push_back(std::move(*info));
        }
    }
    return disks;
}

std::string SizeText(unsigned long long bytes) {
    const char* units[] = {"B", "kB", "MB", "GB", "TB", "PB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1000.0 && unit < 5) {
        value /= 1000.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", value, units[unit]);
    return text;
}

namespace {

int AddDisk(const BlockDeviceInfo& disk, std::uint32_t did) {
    using velk::module::NlsTag;
    using velk::module::SanitizeText;
    std::string model = SanitizeText(disk.model.empty() ? disk.name : disk.model);
    std::string name = NlsTag("szDevHardDrive", {{"MODEL", model}, {"NODE", disk.node}});
    std::string description = NlsTag("szDevHardDriveDescription",
                                     {{"SIZE", SizeText(disk.sizeBytes)}, {"NODE", disk.node}});
    Bxi2_Device* device = nullptr;
    int status = velk::module::CreateBlockDeviceRecord("HD", did, name, description, disk, &device);
    if (status != BXI2_OK) {
        return status;
    }
    Bxi2_AddFruAdditionalInfoToDevice(device, "CAPACITY", "Capacity in bytes",
                                      std::to_string(disk.sizeBytes).c_str());
    Bxi2_AddFruAdditionalInfoToDevice(device, "SECTORSIZE", "Logical sector size in bytes",
                                      std::to_string(disk.logicalBlockSize).c_str());
    Bxi2_AddFruAdditionalInfoToDevice(device, "ROTATIONAL", "Rotating media",
                                      disk.rotational ? "yes" : "no");
    return Bxi2_AddDevice(device);
}

}  // namespace

int Enumerate() {
    std::uint32_t did = 1;
    for (const BlockDeviceInfo& disk : FindDisks()) {
        int status = AddDisk(disk, did++);
        if (status != BXI2_OK) {
            return status;
        }
    }
    return BXI2_OK;
}

int SysInfo(Bxi2_Device* device, const char* parameters) {
    if (device == nullptr) {
        return BXI2_E_BAD_ARGUMENT;
    }
    std::string node = Bxi2_GetDeviceOsLocator(device);
    std::optional<BlockDeviceInfo> disk =
        velk::module::ReadBlockDevice(velk::module::KernelNameOfNode(node));
    if (!disk) {
        return BXI2_OK;
    }
    using velk::module::SanitizeText;
    Bxi2_AddSysInfoToDevice(device, "NODE", disk->node.c_str(), "Device node");
    Bxi2_AddSysInfoToDevice(device, "MODEL", SanitizeText(disk->model).c_str(), "Model");
    Bxi2_AddSysInfoToDevice(device, "SERIAL", SanitizeText(disk->serial).c_str(), "Serial number");
    Bxi2_AddSysInfoToDevice(device, "FIRMWARE", SanitizeText(disk->firmware).c_str(),
                            "Firmware revision");
    Bxi2_AddSysInfoToDevice(device, "CAPACITY", std::to_string(disk->sizeBytes).c_str(),
                            "Capacity in bytes");
    Bxi2_AddSysInfoToDevice(device, "SECTORSIZE", std::to_string(disk->logicalBlockSize).c_str(),
                            "Logical sector size in bytes");
    Bxi2_AddSysInfoToDevice(device, "REMOVABLE", disk->removable ? "yes" : "no", "Removable media");
    return BXI2_OK;
}

}  // namespace velk::harddrive
