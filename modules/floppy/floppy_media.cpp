#include "floppy_media.h"

#include <fcntl.h>
#include <linux/fd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <cerrno>

#include "floppy.h"
#include "machine_files.h"
#include "nls_text.h"
#include "sys_root.h"
#include "unique_fd.h"

namespace velk::floppy {

using velk::module::NlsTag;

std::optional<int> OpenDiskette(const Bxi2_Device* record, DisketteUnderTest& diskette,
                                bool write) {
    const char* node = Bxi2_GetDeviceOsLocator(record);
    std::optional<DisketteDrive> drive =
        node != nullptr ? FindDisketteDrive(velk::module::KernelNameOfNode(node)) : std::nullopt;
    if (!drive) {
        Bxi2_Warning(kEventNoDevice, "%s",
                     NlsTag("szWarnNoDrive", {{"NODE", node != nullptr ? node : ""}}).c_str());
        return BXI2_RESULT_SETUPERROR;
    }
    diskette.drive = std::move(*drive);
    const std::string& path = diskette.drive.info.node;
    if (diskette.drive.info.sizeBytes == 0) {
        velk::module::OpenedDevice empty;
        empty.failure = velk::module::OpenFailure::kNoMedia;
        return velk::module::ReportOpenFailure(empty, path);
    }
    velk::module::OpenOptions options;
    options.write = write;
    options.direct = true;
    options.nxioMeansNoMedia = true;
    diskette.device = velk::module::OpenDevice(path, options);
    if (diskette.device.failure != velk::module::OpenFailure::kNone) {
        return velk::module::ReportOpenFailure(diskette.device, path);
    }
    diskette.sizeBytes = diskette.drive.info.sizeBytes;
    diskette.geometry =
        GeometryOf(diskette.device.fd.Get(), diskette.device.blockDevice, diskette.sizeBytes);
    return std::nullopt;
}

Geometry GeometryOf(int fd, bool blockDevice, std::uint64_t sizeBytes) {
    Geometry geometry;
    floppy_struct parameters{};
    if (blockDevice && ::ioctl(fd, FDGETPRM, &parameters) == 0 && parameters.sect > 0 &&
        parameters.head > 0 && parameters.track > 0) {
        geometry.sectorsPerTrack = parameters.sect;
        geometry.heads = parameters.head;
        geometry.cylinders = parameters.track;
        return geometry;
    }
    struct Standard {
        std::uint64_t bytes;
        unsigned sectors;
        unsigned cylinders;
    };
    for (const Standard& standard :
         {Standard{368640, 9, 40}, Standard{737280, 9, 80}, Standard{1228800, 15, 80},
          Standard{1474560, 18, 80}, Standard{2949120, 36, 80}}) {
        if (standard.bytes == sizeBytes) {
            geometry.sectorsPerTrack = standard.sectors;
            geometry.cylinders = standard.cylinders;
            return geometry;
        }
    }
    std::uint64_t cylinderBytes = std::uint64_t{geometry.sectorsPerTrack} * geometry.heads * 512;
    geometry.cylinders = static_cast<unsigned>((sizeBytes + cylinderBytes - 1) / cylinderBytes);
    return geometry;
}

WriteProtection DetectWriteProtection(const DisketteUnderTest& diskette) {
    WriteProtection protection;
    const std::string& node = diskette.drive.info.node;
    if (velk::module::ReadMachineNumber("/sys/block/" + diskette.drive.info.name + "/ro")
            .value_or(0) != 0) {
        return {true, true, "kernel", 0};
    }
    if (diskette.device.blockDevice) {
        floppy_drive_struct status{};
        if (::ioctl(diskette.device.fd.Get(), FDPOLLDRVSTAT, &status) == 0) {
            bool writable = (status.flags & FD_DISK_WRITABLE) != 0;
            return {true, !writable, "drive", 0};
        }
        protection.driveError = errno;
    }
    // Opening for writing asks the driver, which refuses a protected diskette
    // (nothing is written).
    std::string path = velk::module::SysPath(node);
    velk::module::UniqueFd probe(::open(path.c_str(), O_RDWR | O_CLOEXEC));
    if (!probe.IsOpen() && errno == EROFS) {
        return {true, true, "write open", protection.driveError};
    }
    if (!diskette.device.blockDevice) {
        struct stat image;
        if (::stat(path.c_str(), &image) == 0) {
            return {true, (image.st_mode & 0222) == 0, "image file", 0};
        }
    }
    if (probe.IsOpen()) {
        return {true, false, "write open", protection.driveError};
    }
    return protection;
}

}  // namespace velk::floppy
