#include "disk_access.h"

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <cstring>

#include "hard_drive.h"
#include "nls_text.h"

namespace velk::harddrive {

using velk::module::NlsTag;

std::optional<std::uint64_t> NodeSize(int fd, bool blockDevice) {
    if (blockDevice) {
        std::uint64_t bytes = 0;
        if (::ioctl(fd, BLKGETSIZE64, &bytes) != 0) {
            return std::nullopt;
        }
        return bytes;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

std::optional<int> OpenForTest(const Bxi2_Device* record, DiskUnderTest& disk) {
    const char* node = Bxi2_GetDeviceOsLocator(record);
    std::optional<velk::module::BlockDeviceInfo> info =
        node != nullptr ? velk::module::ReadBlockDevice(velk::module::KernelNameOfNode(node))
                        : std::nullopt;
    if (!info) {
        Bxi2_Warning(kEventNoDevice, "%s",
                     NlsTag("szWarnNoDrive", {{"NODE", node != nullptr ? node : ""}}).c_str());
        return BXI2_RESULT_SETUPERROR;
    }
    disk.info = std::move(*info);
    if (disk.info.sizeBytes == 0) {
        Bxi2_Warning(OpenFailureEventCode(velk::module::OpenFailure::kNoMedia), "%s",
                     NlsTag("szWarnNoMedia", {{"DEVICE", disk.info.node}, {"ERROR", ""}}).c_str());
        return BXI2_RESULT_NOMEDIA;
    }
    velk::module::OpenOptions options;
    options.direct = true;
    disk.device = velk::module::OpenDevice(disk.info.node, options);
    if (disk.device.failure != velk::module::OpenFailure::kNone) {
        return velk::module::ReportOpenFailure(disk.device, disk.info.node);
    }
    if (disk.device.sharedWithMount) {
        Bxi2_Informative("%s", NlsTag("szInfoMounted", {{"NODE", disk.info.node}}).c_str());
    }
    disk.nodeSize = NodeSize(disk.device.fd.Get(), disk.device.blockDevice).value_or(0);
    return std::nullopt;
}

}  // namespace velk::harddrive
