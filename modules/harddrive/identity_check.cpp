#include "identity_check.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "block_reader.h"
#include "disk_access.h"
#include "machine_files.h"
#include "hard_drive.h"
#include "nls_text.h"
#include "surface_scan.h"
#include "sys_root.h"

#if VELK_HAVE_ATASMART
#include <atasmart.h>
#endif

namespace velk::harddrive {

using velk::module::NlsTag;

namespace {

void SizeMismatch(const char* what, std::uint64_t kernel, std::uint64_t other,
                  const std::string& node) {
    Bxi2_Error(kEventSizeMismatch, "%s",
               NlsTag("szErrSizeMismatch", {{"NODE", node},
                                            {"SOURCE", what},
                                            {"KERNEL", std::to_string(kernel)},
                                            {"OTHER", std::to_string(other)}})
                   .c_str());
}

// The first and the last sector must read; past the end nothing may come.
bool EdgesHold(DiskUnderTest& disk) {
    const std::uint64_t size = disk.info.sizeBytes;
    const std::uint32_t sector = disk.info.logicalBlockSize;
    velk::module::BlockReader reader(disk.device.fd.Get(), size, sector, disk.device.direct);
    velk::module::AlignedBuffer buffer(sector);
    std::vector<velk::module::SectorRange> failures;
    bool edges = reader.Read(0, sector, buffer.Data(), failures, 2);
    edges = reader.Read(size - sector, sector, buffer.Data(), failures, 2) && edges;
    velk::module::ReportSectorRanges(kEventEdgeUnreadable, "szErrUnreadable", failures,
                                     disk.info.node, 2);
    reader.DropCache(size, sector);
    ssize_t beyond;
    do {
        beyond = ::pread(disk.device.fd.Get(), buffer.Data(), sector, static_cast<off_t>(size));
    } while (beyond < 0 && errno == EINTR);
    if (beyond > 0) {
        Bxi2_Error(
            kEventSizeMismatch, "%s",
            NlsTag("szErrBeyondEnd", {{"NODE", disk.info.node}, {"SIZE", std::to_string(size)}})
                .c_str());
        return false;
    }
    return edges;
}

// A text of the kernel matches the drive's own when it is the drive's text
// or its start (SCSI inquiry data cuts ATA models to 16 characters).
bool SameIdentityText(const std::string& kernel, const std::string& drive) {
    std::string k = velk::module::TrimBlanks(kernel);
    std::string d = velk::module::TrimBlanks(drive);
    return k.empty() || d.empty() || d.rfind(k, 0) == 0;
}

#if VELK_HAVE_ATASMART
// The drive's own identity and size (ATA IDENTIFY) against the kernel's.
bool DriveIdentityHolds(const DiskUnderTest& disk) {
    if (!disk.device.blockDevice || disk.info.bus != "SCSI") {
        return true;
    }
    SkDisk* drive = nullptr;
    if (sk_disk_open(velk::module::SysPath(disk.info.node).c_str(), &drive) < 0) {
        return true;  // not an ATA drive: nothing more to compare
    }
    struct Closer {
        SkDisk* drive;
        ~Closer() { sk_disk_free(drive); }
    } closer{drive};
    bool holds = true;
    std::uint64_t bytes = 0;
    if (sk_disk_get_size(drive, &bytes) >= 0 && bytes != 0 && bytes != disk.info.sizeBytes) {
        SizeMismatch("ATA IDENTIFY", disk.info.sizeBytes, bytes, disk.info.node);
        holds = false;
    }
    SkBool available = FALSE;
    const SkIdentifyParsedData* identity = nullptr;
    if (sk_disk_identify_is_available(drive, &available) >= 0 && available &&
        sk_disk_identify_parse(drive, &identity) >= 0 && identity != nullptr) {
        struct Field {
            const char* name;
            std::string kernel;
            std::string drive;
        };
        for (const Field& field : {Field{"model", disk.info.model, identity->model},
                                   Field{"serial", disk.info.serial, identity->serial},
                                   Field{"firmware", disk.info.firmware, identity->firmware}}) {
            if (!SameIdentityText(field.kernel, field.drive)) {
                Bxi2_Error(kEventIdentityMismatch, "%s",
                           NlsTag("szErrIdentityMismatch",
                                  {{"FIELD", field.name},
                                   {"KERNEL", velk::module::SanitizeText(field.kernel)},
                                   {"DRIVE", velk::module::SanitizeText(field.drive)}})
                               .c_str());
                holds = false;
            }
        }
    }
    return holds;
}
#else
bool DriveIdentityHolds(const DiskUnderTest&) {
    return true;
}
#endif

}  // namespace

int RunIdentityCheck(const Bxi2_Device* record) {
    DiskUnderTest disk;
    if (std::optional<int> refused = OpenForTest(record, disk)) {
        return *refused;
    }
    bool consistent = true;
    if (disk.nodeSize != disk.info.sizeBytes) {
        SizeMismatch(disk.device.blockDevice ? "BLKGETSIZE64" : "file size", disk.info.sizeBytes,
                     disk.nodeSize, disk.info.node);
        consistent = false;
    }
    if (disk.info.sizeBytes % disk.info.logicalBlockSize != 0) {
        SizeMismatch("logical block size", disk.info.sizeBytes, disk.info.logicalBlockSize,
                     disk.info.node);
        consistent = false;
    }
    // The edges are read within what the kernel says the drive holds.
    disk.info.sizeBytes -= disk.info.sizeBytes % disk.info.logicalBlockSize;
    if (disk.info.sizeBytes >= disk.info.logicalBlockSize) {
        consistent = EdgesHold(disk) && consistent;
    }
    consistent = DriveIdentityHolds(disk) && consistent;
    Bxi2_Informative("%s", NlsTag("szInfoIdentity",
                                  {{"MODEL", velk::module::SanitizeText(disk.info.model)},
                                   {"SERIAL", velk::module::SanitizeText(disk.info.serial)},
                                   {"FIRMWARE", velk::module::SanitizeText(disk.info.firmware)},
                                   {"SIZE", std::to_string(disk.info.sizeBytes)}})
                               .c_str());
    Bxi2_SetPercentDone(100);
    return consistent ? BXI2_RESULT_PASS : BXI2_RESULT_FAIL;
}

}  // namespace velk::harddrive
