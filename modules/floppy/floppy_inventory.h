// The machine's diskette drives: /sys/block/fd<N>, and the drive type the
// firmware reports (the "cmos" attribute of the floppy platform device).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "block_device_info.h"

namespace velk::floppy {

struct DisketteDrive {
    velk::module::BlockDeviceInfo info;
    unsigned number = 0;    // N of fd<N>
    std::string driveType;  // "1.44M 3.5\"" etc., "" when not told
};

std::vector<DisketteDrive> FindDisketteDrives();
std::optional<DisketteDrive> FindDisketteDrive(const std::string& name);

}  // namespace velk::floppy
