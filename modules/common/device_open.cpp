#include "device_open.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>

#include "bxi2.h"
#include "machine_files.h"
#include "nls_text.h"
#include "sys_root.h"

namespace velk::module {

OpenFailure ClassifyOpenError(int error, bool writing, bool noMediaForNxio) {
    switch (error) {
        case 0:
            return OpenFailure::kNone;
        case ENOMEDIUM:
            return OpenFailure::kNoMedia;
        case ENXIO:
            return noMediaForNxio ? OpenFailure::kNoMedia : OpenFailure::kMissing;
        case EBUSY:
        case EWOULDBLOCK:
            return OpenFailure::kBusy;
        case EACCES:
        case EPERM:
            return OpenFailure::kPrivilege;
        case EROFS:
            return writing ? OpenFailure::kWriteProtected : OpenFailure::kOther;
        case ENOENT:
        case ENODEV:
        case ENOTDIR:
            return OpenFailure::kMissing;
        default:
            return OpenFailure::kOther;
    }
}

int ResultForOpenFailure(OpenFailure failure) {
    switch (failure) {
        case OpenFailure::kNone:
            return BXI2_RESULT_PASS;
        case OpenFailure::kNoMedia:
            return BXI2_RESULT_NOMEDIA;
        case OpenFailure::kBusy:
            return BXI2_RESULT_BUSY;
        case OpenFailure::kPrivilege:
            return BXI2_RESULT_PRIVILEGEERROR;
        case OpenFailure::kWriteProtected:
            return BXI2_RESULT_FAIL;
        case OpenFailure::kMissing:
        case OpenFailure::kOther:
            return BXI2_RESULT_SETUPERROR;
    }
    return BXI2_RESULT_SETUPERROR;
}

const char* OpenFailureTextId(OpenFailure failure) {
    switch (failure) {
        case OpenFailure::kBusy:
            return "szWarnDeviceBusy";
        case OpenFailure::kPrivilege:
            return "szWarnPrivilege";
        case OpenFailure::kNoMedia:
            return "szWarnNoMedia";
        case OpenFailure::kWriteProtected:
            return "szWarnWriteProtected";
        default:
            return "szWarnGeneric";
    }
}

int OpenFailureEventCode(OpenFailure failure) {
    switch (failure) {
        case OpenFailure::kBusy:
            return 150;
        case OpenFailure::kPrivilege:
            return 151;
        case OpenFailure::kNoMedia:
            return 153;
        case OpenFailure::kWriteProtected:
            return 154;
        default:
            return 152;
    }
}

int ReportOpenFailure(const OpenedDevice& device, std::string_view machinePath) {
    std::string tag = NlsTag(OpenFailureTextId(device.failure),
                             {{"DEVICE", std::string(machinePath)},
                              {"ERROR", device.error != 0 ? std::strerror(device.error) : ""}});
    Bxi2_Warning(OpenFailureEventCode(device.failure), "%s", tag.c_str());
    return ResultForOpenFailure(device.failure);
}

namespace {

// The kernel name of a block device node from its device number, through
// /sys/dev/block/MAJ:MIN (a link ending in the name).
std::string KernelNameOfNode(dev_t device) {
    std::ostringstream link;
    link << "/sys/dev/block/" << major(device) << ':' << minor(device);
    std::optional<std::string> target = ReadMachineLink(link.str());
    if (!target) {
        return {};
    }
    return target->substr(target->rfind('/') + 1);
}

int OpenOnce(const std::string& path, int flags) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

}  // namespace

bool KernelDeviceInUseByMount(std::string_view kernelName) {
    if (kernelName.empty()) {
        return false;
    }
    // A device or partition name starts with the disk's name ("sda", "sda1",
    // "nvme0n1p2"); mountinfo's fourth-from-source field is the device.
    auto names = [&](std::string_view candidate) {
        std::size_t slash = candidate.rfind('/');
        std::string_view leaf =
            slash == std::string_view::npos ? candidate : candidate.substr(slash + 1);
        return leaf.substr(0, kernelName.size()) == kernelName;
    };
    if (std::optional<std::string> mounts = ReadMachineFile("/proc/self/mountinfo")) {
        std::istringstream lines(*mounts);
        std::string line;
        while (std::getline(lines, line)) {
            std::size_t separator = line.find(" - ");
            if (separator == std::string::npos) {
                continue;
            }
            std::istringstream fields(line.substr(separator + 3));
            std::string type;
            std::string source;
            fields >> type >> source;
            if (source.rfind("/dev/", 0) == 0 && names(source)) {
                return true;
            }
        }
    }
    if (std::optional<std::string> swaps = ReadMachineFile("/proc/swaps")) {
        std::istringstream lines(*swaps);
        std::string line;
        while (std::getline(lines, line)) {
            std::istringstream fields(line);
            std::string source;
            fields >> source;
            if (source.rfind("/dev/", 0) == 0 && names(source)) {
                return true;
            }
        }
    }
    return false;
}

OpenedDevice OpenDevice(std::string_view machinePath, const OpenOptions& options) {
    OpenedDevice opened;
    opened.path = SysPath(machinePath);
    struct stat info;
    if (::stat(opened.path.c_str(), &info) != 0) {
        opened.error = errno;
        opened.failure = ClassifyOpenError(opened.error, options.write, options.nxioMeansNoMedia);
        return opened;
    }
    opened.blockDevice = S_ISBLK(info.st_mode);
    int flags = (options.write ? O_RDWR : O_RDONLY) | O_CLOEXEC;
    if (options.nonBlocking) {
        flags |= O_NONBLOCK;
    }
    // An exclusive open has a meaning for block devices only.
    int exclusive = options.exclusive && opened.blockDevice ? O_EXCL : 0;
    int fd = -1;
    if (options.direct) {
        fd = OpenOnce(opened.path, flags | exclusive | O_DIRECT);
        opened.direct = fd >= 0;
    }
    if (fd < 0) {
        fd = OpenOnce(opened.path, flags | exclusive);
    }
    if (fd < 0 && errno == EBUSY && exclusive != 0 && !options.write &&
        KernelDeviceInUseByMount(KernelNameOfNode(info.st_rdev))) {
        // Only a file system or swap holds it: reading beside it is safe.
        opened.sharedWithMount = true;
        if (options.direct) {
            fd = OpenOnce(opened.path, flags | O_DIRECT);
            opened.direct = fd >= 0;
        }
        if (fd < 0) {
            fd = OpenOnce(opened.path, flags);
        }
    }
    if (fd < 0) {
        opened.error = errno;
        opened.failure = ClassifyOpenError(opened.error, options.write, options.nxioMeansNoMedia);
        opened.direct = false;
        return opened;
    }
    opened.fd.Reset(fd);
    if (options.exclusive) {
        int lock = (options.write ? LOCK_EX : LOCK_SH) | LOCK_NB;
        if (::flock(fd, lock) != 0) {
            opened.error = errno;
            opened.failure = OpenFailure::kBusy;
            opened.fd.Reset();
            opened.direct = false;
        }
    }
    return opened;
}

}  // namespace velk::module
