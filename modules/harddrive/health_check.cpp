#include "health_check.h"

#include <fcntl.h>
#include <linux/nvme_ioctl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "block_device_info.h"
#include "device_open.h"
#include "hard_drive.h"
#include "nls_text.h"
#include "sys_root.h"
#include "unique_fd.h"

#if VELK_HAVE_ATASMART
#include <atasmart.h>
#endif

namespace velk::harddrive {

using velk::module::NlsTag;

namespace {

int NotApplicable(const char* textId, const std::string& node) {
    Bxi2_Informative("%s", NlsTag(textId, {{"NODE", node}}).c_str());
    return BXI2_RESULT_NOTAPPLICABLE;
}

int PrivilegeError(const std::string& node, int error) {
    Bxi2_Warning(
        151, "%s",
        NlsTag("szWarnPrivilege", {{"DEVICE", node}, {"ERROR", std::strerror(error)}}).c_str());
    return BXI2_RESULT_PRIVILEGEERROR;
}

// The NVMe "SMART / Health Information" log page (01h... of the admin
// command set: log identifier 02h, 512 bytes, for the whole controller).
int NvmeHealth(const std::string& node) {
    velk::module::UniqueFd fd(::open(velk::module::SysPath(node).c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.IsOpen()) {
        if (errno == EACCES || errno == EPERM) {
            return PrivilegeError(node, errno);
        }
        return velk::module::ReportOpenFailure(
            {velk::module::UniqueFd(), velk::module::ClassifyOpenError(errno, false), errno, node},
            node);
    }
    alignas(8) unsigned char log[512] = {};
    nvme_admin_cmd command{};
    command.opcode = 0x02;
    command.nsid = 0xffffffffu;
    command.addr = reinterpret_cast<std::uint64_t>(log);
    command.data_len = sizeof log;
    command.cdw10 = ((sizeof log / 4 - 1) << 16) | 0x02;
    if (::ioctl(fd.Get(), NVME_IOCTL_ADMIN_CMD, &command) != 0) {
        if (errno == EACCES || errno == EPERM) {
            return PrivilegeError(node, errno);
        }
        Bxi2_Error(
            kEventHealthBad, "%s",
            NlsTag("szErrHealthUnread", {{"NODE", node}, {"ERROR", std::strerror(errno)}}).c_str());
        return BXI2_RESULT_FAIL;
    }
    unsigned criticalWarning = log[0];
    unsigned temperatureKelvin = log[1] | (log[2] << 8);
    unsigned spare = log[3];
    unsigned spareThreshold = log[4];
    unsigned used = log[5];
    std::uint64_t mediaErrors = 0;
    for (int i = 7; i >= 0; --i) {
        mediaErrors = (mediaErrors << 8) | log[160 + i];
    }
    Bxi2_Informative(
        "%s", NlsTag("szInfoNvmeHealth",
                     {{"TEMPERATURE", std::to_string(static_cast<int>(temperatureKelvin) - 273)},
                      {"SPARE", std::to_string(spare)},
                      {"USED", std::to_string(used)},
                      {"ERRORS", std::to_string(mediaErrors)}})
                  .c_str());
    if (criticalWarning != 0 || spare < spareThreshold) {
        char bits[8];
        std::snprintf(bits, sizeof bits, "0x%02x", criticalWarning);
        Bxi2_Error(kEventHealthBad, "%s",
                   NlsTag("szErrNvmeCritical", {{"NODE", node}, {"WARNING", bits}}).c_str());
        return BXI2_RESULT_FAIL;
    }
    if (mediaErrors > 0) {
        Bxi2_Warning(kEventHealthWarning, "%s",
                     NlsTag("szWarnMediaErrors", {{"COUNT", std::to_string(mediaErrors)}}).c_str());
    }
    return BXI2_RESULT_PASS;
}

#if VELK_HAVE_ATASMART
int AtaHealth(const std::string& node) {
    SkDisk* disk = nullptr;
    if (sk_disk_open(velk::module::SysPath(node).c_str(), &disk) < 0) {
        int error = errno;
        if (error == EACCES || error == EPERM) {
            return PrivilegeError(node, error);
        }
        return NotApplicable("szInfoNoSmart", node);
    }
    struct Closer {
        SkDisk* disk;
        ~Closer() { sk_disk_free(disk); }
    } closer{disk};
    SkBool available = FALSE;
    if (sk_disk_smart_is_available(disk, &available) < 0 || !available) {
        return NotApplicable("szInfoNoSmart", node);
    }
    if (sk_disk_smart_read_data(disk) < 0) {
        int error = errno;
        if (error == EACCES || error == EPERM) {
            return PrivilegeError(node, error);
        }
        Bxi2_Error(
            kEventHealthBad, "%s",
            NlsTag("szErrHealthUnread", {{"NODE", node}, {"ERROR", std::strerror(error)}}).c_str());
        return BXI2_RESULT_FAIL;
    }
    SkBool good = TRUE;
    bool statusKnown = sk_disk_smart_status(disk, &good) >= 0;
    SkSmartOverall overall = SK_SMART_OVERALL_GOOD;
    bool overallKnown = sk_disk_smart_get_overall(disk, &overall) >= 0;
    std::uint64_t badSectors = 0;
    sk_disk_smart_get_bad(disk, &badSectors);
    std::uint64_t milliKelvin = 0;
    std::string temperature = sk_disk_smart_get_temperature(disk, &milliKelvin) >= 0
                                  ? std::to_string(static_cast<long>(milliKelvin / 1000) - 273)
                                  : "?";
    Bxi2_Informative(
        "%s",
        NlsTag("szInfoSmart", {{"STATUS", overallKnown ? sk_smart_overall_to_string(overall) : "?"},
                               {"BAD", std::to_string(badSectors)},
                               {"TEMPERATURE", temperature}})
            .c_str());
    if (statusKnown && !good) {
        Bxi2_Error(kEventHealthBad, "%s", NlsTag("szErrSmartFailing", {{"NODE", node}}).c_str());
        return BXI2_RESULT_FAIL;
    }
    if (overallKnown &&
        (overall == SK_SMART_OVERALL_BAD_ATTRIBUTE_NOW ||
         overall == SK_SMART_OVERALL_BAD_SECTOR_MANY || overall == SK_SMART_OVERALL_BAD_STATUS)) {
        Bxi2_Error(kEventHealthBad, "%s",
                   NlsTag("szErrSmartOverall",
                          {{"NODE", node}, {"STATUS", sk_smart_overall_to_string(overall)}})
                       .c_str());
        return BXI2_RESULT_FAIL;
    }
    if (overallKnown && overall != SK_SMART_OVERALL_GOOD) {
        Bxi2_Warning(kEventHealthWarning, "%s",
                     NlsTag("szWarnSmartOverall",
                            {{"NODE", node}, {"STATUS", sk_smart_overall_to_string(overall)}})
                         .c_str());
    }
    return BXI2_RESULT_PASS;
}
#else
int AtaHealth(const std::string& node) {
    return NotApplicable("szInfoNoSmartLibrary", node);
}
#endif

}  // namespace

namespace {

int AskTheDrive(const Bxi2_Device* record) {
    const char* osLocator = Bxi2_GetDeviceOsLocator(record);
    std::string node = osLocator != nullptr ? osLocator : "";
    std::optional<velk::module::BlockDeviceInfo> info =
        velk::module::ReadBlockDevice(velk::module::KernelNameOfNode(node));
    if (!info) {
        Bxi2_Warning(kEventNoDevice, "%s", NlsTag("szWarnNoDrive", {{"NODE", node}}).c_str());
        return BXI2_RESULT_SETUPERROR;
    }
    struct stat status;
    if (::stat(velk::module::SysPath(node).c_str(), &status) != 0) {
        velk::module::OpenedDevice missing;
        missing.error = errno;
        missing.failure = velk::module::ClassifyOpenError(errno, false);
        return velk::module::ReportOpenFailure(missing, node);
    }
    if (!S_ISBLK(status.st_mode)) {
        // An image file stands for the drive: there is no drive to ask.
        return NotApplicable("szInfoNotADrive", node);
    }
    if (info->bus == "NVME") {
        return NvmeHealth(node);
    }
    if (info->bus == "SCSI") {
        return AtaHealth(node);
    }
    return NotApplicable("szInfoNoHealthInterface", node);
}

}  // namespace

int RunHealthCheck(const Bxi2_Device* record) {
    int result = AskTheDrive(record);
    Bxi2_SetPercentDone(100);
    return result;
}

}  // namespace velk::harddrive
