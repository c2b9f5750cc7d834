// The machine's optical drives: the kernel's CD-ROM information
// (/proc/sys/dev/cdrom/info: names and capabilities), their block devices
// in sysfs, and for a real drive its MMC profile list.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "block_device_info.h"
#include "optical_family.h"

namespace velk::optical {

struct OpticalDrive {
    velk::module::BlockDeviceInfo info;
    bool readsCd = true;
    bool readsDvd = false;
    // The kernel's capability lines for the drive ("Can write CD-R" -> "1").
    std::map<std::string, std::string> capabilities;
    Family family = Family::kCd;
};

// The kernel's CD-ROM information: per drive name its capability lines.
std::map<std::string, std::map<std::string, std::string>> ReadCdromInfo();

// Every optical drive, in kernel-name order.
std::vector<OpticalDrive> FindOpticalDrives();

// The drive with the kernel name, or nothing.
std::optional<OpticalDrive> FindOpticalDrive(const std::string& name);

}  // namespace velk::optical
