// The tests of the optical-drive modules.
#include <linux/cdrom.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "block_reader.h"
#include "device_open.h"
#include "drive_commands.h"
#include "drive_inventory.h"
#include "module_main.h"
#include "nls_text.h"
#include "optical_drive.h"
#include "surface_scan.h"
#include "sys_root.h"
#include "test_parameters.h"
#include "test_progress.h"

namespace velk::optical {

using velk::module::NlsTag;

namespace {

constexpr std::size_t kScanChunk = 1 << 20;
constexpr std::size_t kRandomChunk = 64 << 10;
constexpr std::uint64_t kDefaultRandomCount = 64;
constexpr std::size_t kLeadSectors = 64;  // read by the media test
constexpr auto kSpinUpWait = std::chrono::seconds(20);

struct DiscUnderTest {
    OpticalDrive drive;
    velk::module::OpenedDevice device;
    std::uint64_t sizeBytes = 0;
};

int NoMedia(const std::string& node) {
    Bxi2_Warning(OpenFailureEventCode(velk::module::OpenFailure::kNoMedia), "%s",
                 NlsTag("szWarnNoMedia", {{"DEVICE", node}, {"ERROR", ""}}).c_str());
    return BXI2_RESULT_NOMEDIA;
}

// For a real drive: waits while it spins up, and tells no disc, an open
// tray, an audio disc or a disc of the wrong kind apart.  Nothing when the
// disc is there and suits the module.
std::optional<int> CheckDisc(DiscUnderTest& disc, velk::module::TestProgress& progress) {
    int fd = disc.device.fd.Get();
    const std::string& node = disc.drive.info.node;
    int status = DriveStatus(fd);
    auto waitUntil = std::chrono::steady_clock::now() + kSpinUpWait;
    while (status == CDS_DRIVE_NOT_READY && std::chrono::steady_clock::now() < waitUntil &&
           !progress.ShouldEnd()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        status = DriveStatus(fd);
    }
    if (progress.StopRequested()) {
        return BXI2_RESULT_DISCONTINUED;
    }
    if (status == CDS_NO_DISC || status == CDS_TRAY_OPEN || status == CDS_DRIVE_NOT_READY) {
        return NoMedia(node);
    }
    if (DiscStatus(fd) == CDS_AUDIO) {
        Bxi2_Warning(kEventWrongDisc, "%s", NlsTag("szWarnAudioDisc", {{"NODE", node}}).c_str());
        return BXI2_RESULT_NOMEDIA;
    }
    if (std::optional<Configuration> configuration = GetConfiguration(fd);
        configuration && !DiscSuits(kModuleFamily, configuration->currentProfile)) {
        char profile[8];
        std::snprintf(profile, sizeof profile, "%04x", configuration->currentProfile);
        Bxi2_Warning(kEventWrongDisc, "%s",
                     NlsTag("szWarnWrongDisc", {{"NODE", node}, {"PROFILE", profile}}).c_str());
        return BXI2_RESULT_NOMEDIA;
    }
    return std::nullopt;
}

// Opens the drive of record with its disc.  Nothing when ready; else the
// test result after the warning that says why.
std::optional<int> OpenDisc(const Bxi2_Device* record, DiscUnderTest& disc,
                            velk::module::TestProgress& progress) {
    const char* node = Bxi2_GetDeviceOsLocator(record);
    std::optional<OpticalDrive> drive =
        node != nullptr ? FindOpticalDrive(velk::module::KernelNameOfNode(node)) : std::nullopt;
    const char* locator = Bxi2_GetDeviceHwLocator(record);
    if (drive && (locator == nullptr || drive->info.hardwareLocator != locator)) {
        drive.reset();  // the node now belongs to another drive
    }
    if (!drive) {
        Bxi2_Warning(kEventNoDevice, "%s",
                     NlsTag("szWarnNoDrive", {{"NODE", node != nullptr ? node : ""}}).c_str());
        return BXI2_RESULT_SETUPERROR;
    }
    disc.drive = std::move(*drive);
    velk::module::OpenOptions options;
    options.direct = true;
    options.nonBlocking = true;
    disc.device = velk::module::OpenDevice(disc.drive.info.node, options);
    if (disc.device.failure != velk::module::OpenFailure::kNone) {
        return velk::module::ReportOpenFailure(disc.device, disc.drive.info.node);
    }
    if (disc.device.blockDevice) {
        if (std::optional<int> refused = CheckDisc(disc, progress)) {
            return refused;
        }
        std::uint64_t bytes = 0;
        disc.sizeBytes = ::ioctl(disc.device.fd.Get(), BLKGETSIZE64, &bytes) == 0
                             ? bytes
                             : disc.drive.info.sizeBytes;
    } else {
        // An image file stands for the drive: the kernel's size tells
        // whether a disc is in, the file holds what it reads.
        disc.sizeBytes = disc.drive.info.sizeBytes;
    }
    disc.sizeBytes -= disc.sizeBytes % disc.drive.info.logicalBlockSize;
    if (disc.sizeBytes == 0) {
        return NoMedia(disc.drive.info.node);
    }
    return std::nullopt;
}

velk::module::BlockReader ReaderOf(const DiscUnderTest& disc) {
    return velk::module::BlockReader(disc.device.fd.Get(), disc.sizeBytes,
                                     disc.drive.info.logicalBlockSize, disc.device.direct);
}

// The file system a disc's first sectors show, or "" for none known.
std::string FileSystemOf(const std::uint8_t* lead, std::size_t length) {
    auto at = [&](std::size_t offset, const char* text) {
        std::size_t size = std::strlen(text);
        return offset + size <= length && std::memcmp(lead + offset, text, size) == 0;
    };
    if (at(32769, "CD001")) {
        return "ISO 9660";
    }
    for (std::size_t offset = 32768; offset < 32768 + 6 * 2048; offset += 2048) {
        if (at(offset + 1, "NSR02") || at(offset + 1, "NSR03")) {
            return "UDF";
        }
    }
    return {};
}

int RunMediaTest(DiscUnderTest& disc) {
    velk::module::BlockReader reader = ReaderOf(disc);
    std::size_t length = static_cast<std::size_t>(
        std::min<std::uint64_t>(disc.sizeBytes, kLeadSectors * disc.drive.info.logicalBlockSize));
    velk::module::AlignedBuffer lead(length);
    std::vector<velk::module::SectorRange> failures;
    bool readable = reader.Read(0, length, lead.Data(), failures, velk::module::ErrorLimit());
    velk::module::ReportSectorRanges(kEventUnreadable, "szErrUnreadable", failures,
                                     disc.drive.info.node, velk::module::ErrorLimit());
    Bxi2_SetPercentDone(100);
    if (!readable) {
        return BXI2_RESULT_FAIL;
    }
    if (std::all_of(lead.Data(), lead.Data() + length, [](std::uint8_t b) { return b == 0; })) {
        Bxi2_Error(kEventNoData, "%s",
                   NlsTag("szErrNoData", {{"NODE", disc.drive.info.node}}).c_str());
        return BXI2_RESULT_FAIL;
    }
    std::string fileSystem = FileSystemOf(lead.Data(), length);
    Bxi2_Informative("%s",
                     NlsTag("szInfoDisc", {{"NODE", disc.drive.info.node},
                                           {"SIZE", std::to_string(disc.sizeBytes)},
                                           {"FILESYSTEM", fileSystem.empty() ? "-" : fileSystem}})
                         .c_str());
    return BXI2_RESULT_PASS;
}

int RunReadTest(int test, DiscUnderTest& disc, velk::module::TestProgress& progress) {
    using namespace velk::module;
    std::vector<Extent> plan;
    if (test == kRandomVerify) {
        double count = static_cast<double>(ParameterUnsigned("COUNT", kDefaultRandomCount));
        auto scaled =
            std::max<std::uint64_t>(1, static_cast<std::uint64_t>(count * PercentToTest() / 100.0));
        plan = RandomPlan(disc.sizeBytes, disc.drive.info.logicalBlockSize, kRandomChunk, scaled,
                          SeedOrClock(ParameterUnsigned("SEED", 0)));
    } else {
        plan = SequentialPlan(disc.sizeBytes, kScanChunk, PercentToTest());
    }
    BlockReader reader = ReaderOf(disc);
    ScanOutcome outcome = ScanExtents(reader, plan, test == kRandomVerify, progress, ErrorLimit());
    return ReportScan(outcome, progress, disc.device.direct, disc.drive.info.node, ErrorLimit(),
                      kEventUnreadable, kEventMismatch, kEventTimeLimit);
}

int NoAnswer(const std::string& node, const char* command, int error) {
    if (error == EACCES || error == EPERM) {
        Bxi2_Warning(
            151, "%s",
            NlsTag("szWarnPrivilege", {{"DEVICE", node}, {"ERROR", std::strerror(error)}}).c_str());
        return BXI2_RESULT_PRIVILEGEERROR;
    }
    Bxi2_Error(kEventNoAnswer, "%s",
               NlsTag("szErrNoAnswer", {{"NODE", node},
                                        {"COMMAND", command},
                                        {"ERROR", error != 0 ? std::strerror(error) : "no answer"}})
                   .c_str());
    return BXI2_RESULT_FAIL;
}

int RunCommandTest(const Bxi2_Device* record) {
    const char* osLocator = Bxi2_GetDeviceOsLocator(record);
    std::string node = osLocator != nullptr ? osLocator : "";
    velk::module::OpenOptions options;
    options.nonBlocking = true;
    options.exclusive = false;  // commands do not disturb a mounted disc
    velk::module::OpenedDevice device = velk::module::OpenDevice(node, options);
    if (device.failure != velk::module::OpenFailure::kNone) {
        return velk::module::ReportOpenFailure(device, node);
    }
    Bxi2_SetPercentDone(100);
    if (!device.blockDevice) {
        Bxi2_Informative("%s", NlsTag("szInfoNotADrive", {{"NODE", node}}).c_str());
        return BXI2_RESULT_NOTAPPLICABLE;
    }
    int fd = device.fd.Get();
    int deviceType = -1;
    CommandOutcome inquiry = Inquiry(fd, &deviceType);
    if (!inquiry.answered) {
        return NoAnswer(node, "INQUIRY", inquiry.error);
    }
    if (deviceType != 5) {
        return NoAnswer(node, "INQUIRY (device type)", 0);
    }
    CommandOutcome ready = TestUnitReady(fd);
    if (!ready.answered) {
        return NoAnswer(node, "TEST UNIT READY", ready.error);
    }
    if (!GetConfiguration(fd)) {
        return NoAnswer(node, "GET CONFIGURATION", 0);
    }
    if (int mask = Capabilities(fd); mask < 0) {
        return NoAnswer(node, "CDROM_GET_CAPABILITY", -mask);
    }
    if (int status = DriveStatus(fd); status < 0) {
        return NoAnswer(node, "CDROM_DRIVE_STATUS", -status);
    }
    Bxi2_Informative("%s", NlsTag("szInfoCommands", {{"NODE", node}}).c_str());
    return BXI2_RESULT_PASS;
}

}  // namespace

int Run(int test, Bxi2_Device* device) {
    if (device == nullptr) {
        return BXI2_RESULT_NOTAPPLICABLE;
    }
    if (!velk::module::CheckParameters()) {
        return BXI2_RESULT_BADPARAMS;
    }
    if (test == kDriveCommands) {
        return RunCommandTest(device);
    }
    if (test != kMediaPresent && test != kDataArea && test != kRandomVerify) {
        return BXI2_RESULT_NOTAPPLICABLE;
    }
    velk::module::TestProgress progress(
        velk::module::BudgetForTimeout(velk::module::DeclaredTimeoutSeconds(test)));
    DiscUnderTest disc;
    if (std::optional<int> refused = OpenDisc(device, disc, progress)) {
        return *refused;
    }
    if (disc.device.sharedWithMount) {
        Bxi2_Informative("%s", NlsTag("szInfoMounted", {{"NODE", disc.drive.info.node}}).c_str());
    }
    return test == kMediaPresent ? RunMediaTest(disc) : RunReadTest(test, disc, progress);
}

}  // namespace velk::optical
