// Tests 0 to 3 of the diskette module, and the dispatch of every test.
#include <cstring>

#include "block_reader.h"
#include "floppy.h"
#include "floppy_media.h"
#include "module_main.h"
#include "nls_text.h"
#include "surface_scan.h"
#include "test_parameters.h"
#include "test_progress.h"

namespace velk::floppy {

using velk::module::NlsTag;

int RunWriteTest(const Bxi2_Device* record);

namespace {

constexpr std::uint32_t kSectorSize = 512;

velk::module::BlockReader ReaderOf(const DisketteUnderTest& diskette) {
    return velk::module::BlockReader(diskette.device.fd.Get(), diskette.sizeBytes, kSectorSize,
                                     diskette.device.direct);
}

// A FAT boot sector: the 55AAh signature, 512 bytes per sector and a
// non-zero number of sectors per cluster and of FATs.
bool IsFatBootSector(const std::uint8_t* sector) {
    unsigned bytesPerSector = sector[11] | (sector[12] << 8);
    return sector[510] == 0x55 && sector[511] == 0xaa && bytesPerSector == kSectorSize &&
           sector[13] != 0 && sector[16] != 0;
}

int RunMediaTest(DisketteUnderTest& diskette) {
    velk::module::BlockReader reader = ReaderOf(diskette);
    velk::module::AlignedBuffer boot(kSectorSize);
    std::vector<velk::module::SectorRange> failures;
    bool readable = reader.Read(0, kSectorSize, boot.Data(), failures, 1);
    velk::module::ReportSectorRanges(kEventUnreadable, "szErrUnreadable", failures,
                                     diskette.drive.info.node, 1);
    Bxi2_SetPercentDone(100);
    if (!readable) {
        return BXI2_RESULT_FAIL;
    }
    if (!IsFatBootSector(boot.Data())) {
        Bxi2_Error(kEventNotFormatted, "%s",
                   NlsTag("szErrNotFormatted", {{"NODE", diskette.drive.info.node}}).c_str());
        return BXI2_RESULT_FAIL;
    }
    Bxi2_Informative("%s", NlsTag("szInfoDiskette",
                                  {{"NODE", diskette.drive.info.node},
                                   {"SIZE", std::to_string(diskette.sizeBytes)},
                                   {"SECTORS", std::to_string(diskette.geometry.sectorsPerTrack)},
                                   {"HEADS", std::to_string(diskette.geometry.heads)},
                                   {"CYLINDERS", std::to_string(diskette.geometry.cylinders)}})
                               .c_str());
    return BXI2_RESULT_PASS;
}

// One sector of each cylinder, outermost and innermost not yet visited in
// turn, cut to the percent to test.
std::vector<velk::module::Extent> SeekPlan(const DisketteUnderTest& diskette) {
    const Geometry& geometry = diskette.geometry;
    std::uint64_t cylinderBytes =
        std::uint64_t{geometry.sectorsPerTrack} * geometry.heads * kSectorSize;
    std::vector<velk::module::Extent> plan;
    for (unsigned low = 0, high = geometry.cylinders; low < high;) {
        for (unsigned cylinder : {low++, high - 1}) {
            std::uint64_t offset = cylinder * cylinderBytes;
            if (offset < diskette.sizeBytes && (plan.empty() || plan.back().offset != offset)) {
                plan.push_back({offset, kSectorSize});
            }
        }
        if (low < high) {
            --high;
        }
    }
    double percent = velk::module::PercentToTest();
    std::size_t keep = std::max<std::size_t>(
        1, static_cast<std::size_t>(static_cast<double>(plan.size()) * percent / 100.0 + 0.5));
    plan.resize(std::min(keep, plan.size()));
    return plan;
}

int RunReadTest(int test, DisketteUnderTest& diskette, velk::module::TestProgress& progress) {
    using namespace velk::module;
    std::vector<Extent> plan;
    if (test == kSeek) {
        plan = SeekPlan(diskette);
    } else {
        // One track per read.
        std::size_t track = std::size_t{diskette.geometry.sectorsPerTrack} * kSectorSize;
        plan = SequentialPlan(diskette.sizeBytes, track, PercentToTest());
    }
    BlockReader reader = ReaderOf(diskette);
    ScanOutcome outcome = ScanExtents(reader, plan, false, progress, ErrorLimit());
    return ReportScan(outcome, progress, diskette.device.direct, diskette.drive.info.node,
                      ErrorLimit(), kEventUnreadable, kEventMismatch, kEventTimeLimit);
}

int RunWriteProtectTest(DisketteUnderTest& diskette) {
    WriteProtection protection = DetectWriteProtection(diskette);
    Bxi2_SetPercentDone(100);
    const std::string& node = diskette.drive.info.node;
    if (protection.driveError != 0) {
        Bxi2_Warning(kEventDriveStatus, "%s",
                     NlsTag("szWarnDriveStatus",
                            {{"NODE", node}, {"ERROR", std::strerror(protection.driveError)}})
                         .c_str());
    }
    if (!protection.known) {
        Bxi2_Error(kEventDriveStatus, "%s",
                   NlsTag("szErrProtectionUnknown", {{"NODE", node}}).c_str());
        return BXI2_RESULT_FAIL;
    }
    Bxi2_Informative("%s",
                     NlsTag(protection.isProtected ? "szInfoWriteProtected" : "szInfoWritable",
                            {{"NODE", node}, {"SOURCE", protection.source}})
                         .c_str());
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
    if (test == kWrite) {
        return RunWriteTest(device);
    }
    if (test < kMediaPresent || test > kWriteProtect) {
        return BXI2_RESULT_NOTAPPLICABLE;
    }
    velk::module::TestProgress progress(
        velk::module::BudgetForTimeout(velk::module::DeclaredTimeoutSeconds(test)));
    DisketteUnderTest diskette;
    if (std::optional<int> refused = OpenDiskette(device, diskette, false)) {
        return *refused;
    }
    switch (test) {
        case kMediaPresent:
            return RunMediaTest(diskette);
        case kWriteProtect:
            return RunWriteProtectTest(diskette);
        default:
            return RunReadTest(test, diskette, progress);
    }
}

}  // namespace velk::floppy
