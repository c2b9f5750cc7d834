#include "floppy_inventory.h"

#include <regex>

#include "floppy.h"
#include "machine_files.h"
#include "nls_text.h"

namespace velk::floppy {

using velk::module::NlsTag;

namespace {

// The drive types of the firmware's diskette drive codes.
std::string DriveTypeText(std::uint64_t code) {
    switch (code) {
        case 1:
            return "360K 5.25\"";
        case 2:
            return "1.2M 5.25\"";
        case 3:
            return "720K 3.5\"";
        case 4:
            return "1.44M 3.5\"";
        case 5:
        case 6:
            return "2.88M 3.5\"";
        default:
            return {};
    }
}

std::optional<DisketteDrive> Describe(const std::string& name) {
    static const std::regex kName("^fd(\\d+)$");
    std::smatch match;
    if (!std::regex_match(name, match, kName) || !velk::module::IsHardwareBlockDevice(name)) {
        return std::nullopt;
    }
    std::optional<velk::module::BlockDeviceInfo> info = velk::module::ReadBlockDevice(name);
    if (!info) {
        return std::nullopt;
    }
    DisketteDrive drive;
    drive.info = std::move(*info);
    drive.number = static_cast<unsigned>(std::stoul(match[1].str()));
    drive.driveType = DriveTypeText(
        velk::module::ReadMachineNumber("/sys/block/" + name + "/device/cmos").value_or(0));
    return drive;
}

}  // namespace

std::vector<DisketteDrive> FindDisketteDrives() {
    std::vector<DisketteDrive> drives;
    for (const std::string& name : velk::module::ListBlockDevices()) {
        if (std::optional<DisketteDrive> drive = Describe(name)) {
            drives.push_back(std::move(*drive));
        }
    }
    return drives;
}

std::optional<DisketteDrive> FindDisketteDrive(const std::string& name) {
    return Describe(name);
}

int Enumerate() {
    std::uint32_t did = 1;
    for (const DisketteDrive& drive : FindDisketteDrives()) {
        std::string type = drive.driveType.empty() ? "?" : drive.driveType;
        std::string name = NlsTag("szDevFloppy", {{"NODE", drive.info.node}, {"TYPE", type}});
        std::string description =
            NlsTag("szDevFloppyDescription", {{"NODE", drive.info.node}, {"TYPE", type}});
        Bxi2_Device* device = nullptr;
        int status = Bxi2_CreateDeviceFD("FD", did++, name.c_str(), drive.info.node.c_str(),
                                         description.c_str(), drive.number, &device);
        if (status != BXI2_OK) {
            return status;
        }
        if (!drive.driveType.empty()) {
            Bxi2_AddFruAdditionalInfoToDevice(device, "DRIVETYPE", "Drive type",
                                              velk::module::SanitizeText(drive.driveType).c_str());
        }
        status = Bxi2_AddDevice(device);
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
    std::optional<DisketteDrive> drive =
        FindDisketteDrive(velk::module::KernelNameOfNode(Bxi2_GetDeviceOsLocator(device)));
    if (!drive) {
        return BXI2_OK;
    }
    Bxi2_AddSysInfoToDevice(device, "NODE", drive->info.node.c_str(), "Device node");
    Bxi2_AddSysInfoToDevice(device, "DRIVETYPE",
                            velk::module::SanitizeText(drive->driveType).c_str(), "Drive type");
    Bxi2_AddSysInfoToDevice(device, "CAPACITY", std::to_string(drive->info.sizeBytes).c_str(),
                            "Capacity of the diskette in bytes");
    return BXI2_OK;
}

}  // namespace velk::floppy
