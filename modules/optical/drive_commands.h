// Commands to an optical drive: the kernel's CD-ROM ioctls and MMC commands
// through SG_IO (INQUIRY, TEST UNIT READY, GET CONFIGURATION).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velk::optical {

// The outcome of one SCSI command: whether the drive answered at all (a
// check condition is an answer), and its status.
struct CommandOutcome {
    bool answered = false;
    int error = 0;              // errno of a failed ioctl
    std::uint8_t status = 0;    // SCSI status (0 good, 2 check condition)
    std::uint8_t senseKey = 0;  // sense key of a check condition
    std::uint8_t asc = 0;       // additional sense code
};

CommandOutcome TestUnitReady(int fd);
// INQUIRY: the peripheral device type (5 for a CD/DVD drive) in *deviceType.
CommandOutcome Inquiry(int fd, int* deviceType);

// GET CONFIGURATION: the drive's profile list and the current profile (0
// without a disc); nothing when the drive does not answer it.
struct Configuration {
    std::uint16_t currentProfile = 0;
    std::vector<std::uint16_t> profiles;
};
std::optional<Configuration> GetConfiguration(int fd);

// CDROM_DRIVE_STATUS: CDS_NO_INFO ... CDS_DISC_OK, or -errno.
int DriveStatus(int fd);
// CDROM_DISC_STATUS: CDS_AUDIO, CDS_DATA_1 ..., or -errno.
int DiscStatus(int fd);
// CDROM_GET_CAPABILITY: the CDC_* mask, or -errno.
int Capabilities(int fd);

}  // namespace velk::optical
