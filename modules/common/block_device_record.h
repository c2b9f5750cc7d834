// The device record of a block device for the engine's device list.
#pragma once

#include <cstdint>
#include <string>

#include "block_device_info.h"
#include "bxi2.h"

namespace velk::module {

// Creates the record of a block device of deviceClass ("HD", "OPTICAL"):
// a SCSI device record when it sits on SCSI, a generic one with its bus
// otherwise, and its FRU (vendor, model, serial number and firmware, the
// hardware locator as location).  The caller adds its own information and
// then the device (Bxi2_AddDevice).  A module interface status; *device is
// set only on success.
int CreateBlockDeviceRecord(const char* deviceClass, std::uint32_t did, const std::string& name,
                            const std::string& description, const BlockDeviceInfo& info,
                            Bxi2_Device** device);

}  // namespace velk::module
