#include "drive_commands.h"

#include <linux/cdrom.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace velk::optical {

namespace {

constexpr unsigned kTimeoutMs = 20000;

CommandOutcome Send(int fd, const std::uint8_t* cdb, std::uint8_t cdbLength, std::uint8_t* data,
                    unsigned dataLength) {
    CommandOutcome outcome;
    std::uint8_t sense[32] = {};
    sg_io_hdr_t io{};
    io.interface_id = 'S';
    io.cmdp = const_cast<std::uint8_t*>(cdb);
    io.cmd_len = cdbLength;
    io.dxfer_direction = dataLength > 0 ? SG_DXFER_FROM_DEV : SG_DXFER_NONE;
    io.dxferp = data;
    io.dxfer_len = dataLength;
    io.sbp = sense;
    io.mx_sb_len = sizeof sense;
    io.timeout = kTimeoutMs;
    if (::ioctl(fd, SG_IO, &io) != 0) {
        outcome.error = errno;
        return outcome;
    }
    // A transport or host failure is no answer from the drive.
    outcome.answered = io.host_status == 0 && (io.driver_status & 0x07) == 0;
    outcome.status = io.status;
    if (io.sb_len_wr > 2) {
        bool fixed = (sense[0] & 0x7f) == 0x70 || (sense[0] & 0x7f) == 0x71;
        outcome.senseKey = fixed ? (sense[2] & 0x0f) : (sense[1] & 0x0f);
        outcome.asc = fixed ? (io.sb_len_wr > 12 ? sense[12] : 0) : sense[2];
    }
    if (!outcome.answered && io.status == 0x02) {
        outcome.answered = true;
    }
    return outcome;
}

}  // namespace

CommandOutcome TestUnitReady(int fd) {
    const std::uint8_t cdb[6] = {0x00, 0, 0, 0, 0, 0};
    return Send(fd, cdb, sizeof cdb, nullptr, 0);
}

CommandOutcome Inquiry(int fd, int* deviceType) {
    std::uint8_t data[36] = {};
    const std::uint8_t cdb[6] = {0x12, 0, 0, 0, sizeof data, 0};
    CommandOutcome outcome = Send(fd, cdb, sizeof cdb, data, sizeof data);
    if (deviceType != nullptr) {
        *deviceType = outcome.answered && outcome.status == 0 ? (data[0] & 0x1f) : -1;
    }
    return outcome;
}

std::optional<Configuration> GetConfiguration(int fd) {
    std::uint8_t data[1024] = {};
    // RT 2: the one feature given, 0000h (the profile list).
    const std::uint8_t cdb[10] = {0x46, 0x02, 0, 0, 0, 0, 0, sizeof data >> 8, sizeof data & 0xff,
                                  0};
    CommandOutcome outcome = Send(fd, cdb, sizeof cdb, data, sizeof data);
    if (!outcome.answered || outcome.status != 0) {
        return std::nullopt;
    }
    Configuration configuration;
    std::size_t length = 4 + ((std::size_t{data[0]} << 24) | (std::size_t{data[1]} << 16) |
                              (std::size_t{data[2]} << 8) | data[3]);
    length = std::min(length, sizeof data);
    configuration.currentProfile = static_cast<std::uint16_t>((data[6] << 8) | data[7]);
    if (length >= 12 && data[8] == 0 && data[9] == 0) {
        std::size_t end = std::min<std::size_t>(length, 12 + data[11]);
        for (std::size_t at = 12; at + 4 <= end; at += 4) {
            configuration.profiles.push_back(
                static_cast<std::uint16_t>((data[at] << 8) | data[at + 1]));
        }
    }
    return configuration;
}

int DriveStatus(int fd) {
    int status = ::ioctl(fd, CDROM_DRIVE_STATUS, CDSL_CURRENT);
    return status < 0 ? -errno : status;
}

int DiscStatus(int fd) {
    int status = ::ioctl(fd, CDROM_DISC_STATUS, 0);
    return status < 0 ? -errno : status;
}

int Capabilities(int fd) {
    int mask = ::ioctl(fd, CDROM_GET_CAPABILITY, 0);
    return mask < 0 ? -errno : mask;
}

}  // namespace velk::optical
