// Opening the drive of a device record for a test, and reporting the sector
// runs a test found bad.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "block_device_info.h"
#include "block_reader.h"
#include "bxi2.h"
#include "device_open.h"

namespace velk::harddrive {

struct DiskUnderTest {
    velk::module::BlockDeviceInfo info;
    velk::module::OpenedDevice device;
    std::uint64_t nodeSize = 0;  // what the node itself reports
};

// Finds the drive of the record (by its device node) and opens it for
// reading, O_DIRECT when the node allows it.  Nothing when it is open; else
// the test result, after the warning that says why was sent (no such drive,
// no media, busy, privilege).
std::optional<int> OpenForTest(const Bxi2_Device* record, DiskUnderTest& disk);

// The size the open node reports: BLKGETSIZE64 for a block device, the
// file size for an image file; nothing when it cannot be told.
std::optional<std::uint64_t> NodeSize(int fd, bool blockDevice);

}  // namespace velk::harddrive
