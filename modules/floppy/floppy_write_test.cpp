// Test 4 of the diskette module: writes a pattern to every track sampled,
// reads it back past the cache, and puts the original data back (checked
// too).  It runs only when the WRITE parameter asks for it.
#include <unistd.h>

#include <cerrno>
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

namespace {

constexpr std::uint32_t kSectorSize = 512;

// Writes length bytes at offset and makes them reach the medium; 0 or errno.
int WriteThrough(const DisketteUnderTest& diskette, std::uint64_t offset, const std::uint8_t* data,
                 std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        ssize_t put = ::pwrite(diskette.device.fd.Get(), data + done, length - done,
                               static_cast<off_t>(offset + done));
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return put < 0 ? errno : EIO;
        }
        done += static_cast<std::size_t>(put);
    }
    return ::fdatasync(diskette.device.fd.Get()) == 0 ? 0 : errno;
}

// The pattern of a track: each sector holds its number and alternating bits.
void FillPattern(std::uint8_t* data, std::size_t length, std::uint64_t firstSector) {
    for (std::size_t at = 0; at < length; ++at) {
        data[at] = (at / kSectorSize) % 2 == 0 ? 0x55 : 0xaa;
    }
    for (std::size_t at = 0; at + 8 <= length; at += kSectorSize) {
        std::uint64_t sector = firstSector + at / kSectorSize;
        std::memcpy(data + at, &sector, sizeof sector);
    }
}

struct TrackOutcome {
    bool readable = true;
    int writeError = 0;
    bool verified = true;
    bool restored = true;
};

TrackOutcome WriteTrack(DisketteUnderTest& diskette, velk::module::BlockReader& reader,
                        const velk::module::Extent& extent, velk::module::AlignedBuffer& original,
                        velk::module::AlignedBuffer& work,
                        std::vector<velk::module::SectorRange>& unreadable) {
    TrackOutcome outcome;
    if (!reader.Read(extent.offset, extent.length, original.Data(), unreadable, 1000)) {
        // A track that cannot be read cannot be put back: leave it alone.
        outcome.readable = false;
        return outcome;
    }
    FillPattern(work.Data(), extent.length, extent.offset / kSectorSize);
    outcome.writeError = WriteThrough(diskette, extent.offset, work.Data(), extent.length);
    if (outcome.writeError == 0) {
        std::vector<velk::module::SectorRange> failures;
        velk::module::AlignedBuffer back(extent.length);
        outcome.verified = reader.Read(extent.offset, extent.length, back.Data(), failures, 1000) &&
                           std::memcmp(back.Data(), work.Data(), extent.length) == 0;
    }
    // The original goes back whatever happened, and is checked.
    int restoreError = WriteThrough(diskette, extent.offset, original.Data(), extent.length);
    std::vector<velk::module::SectorRange> failures;
    outcome.restored = restoreError == 0 &&
                       reader.Read(extent.offset, extent.length, work.Data(), failures, 1000) &&
                       std::memcmp(work.Data(), original.Data(), extent.length) == 0;
    return outcome;
}

void ReportTrack(const char* textId, int eventCode, const DisketteUnderTest& diskette,
                 const velk::module::Extent& extent, int error) {
    Bxi2_Error(eventCode, "%s",
               NlsTag(textId, {{"NODE", diskette.drive.info.node},
                               {"FIRST", std::to_string(extent.offset / kSectorSize)},
                               {"COUNT", std::to_string(extent.length / kSectorSize)},
                               {"ERROR", error != 0 ? std::strerror(error) : ""}})
                   .c_str());
}

int WriteProtected(const std::string& node) {
    Bxi2_Error(kEventWriteProtected, "%s", NlsTag("szErrWriteProtected", {{"NODE", node}}).c_str());
    return BXI2_RESULT_FAIL;
}

}  // namespace

int RunWriteTest(const Bxi2_Device* record) {
    if (!velk::module::ParameterBool("WRITE", false)) {
        Bxi2_Warning(kEventNotAsked, "%s", NlsTag("szWarnWriteNotAsked").c_str());
        return BXI2_RESULT_BADPARAMS;
    }
    velk::module::TestProgress progress(
        velk::module::BudgetForTimeout(velk::module::DeclaredTimeoutSeconds(kWrite)));
    // Write protection is told before anything is opened for writing.
    DisketteUnderTest probe;
    if (std::optional<int> refused = OpenDiskette(record, probe, false)) {
        return *refused;
    }
    WriteProtection protection = DetectWriteProtection(probe);
    probe.device.fd.Reset();
    if (protection.known && protection.isProtected) {
        return WriteProtected(probe.drive.info.node);
    }
    DisketteUnderTest diskette;
    if (std::optional<int> refused = OpenDiskette(record, diskette, true)) {
        return diskette.device.failure == velk::module::OpenFailure::kWriteProtected
                   ? WriteProtected(diskette.drive.info.node)
                   : *refused;
    }
    std::size_t trackBytes = std::size_t{diskette.geometry.sectorsPerTrack} * kSectorSize;
    std::vector<velk::module::Extent> plan =
        velk::module::SequentialPlan(diskette.sizeBytes, trackBytes, velk::module::PercentToTest());
    velk::module::BlockReader reader(diskette.device.fd.Get(), diskette.sizeBytes, kSectorSize,
                                     diskette.device.direct);
    velk::module::AlignedBuffer original(trackBytes);
    velk::module::AlignedBuffer work(trackBytes);
    std::vector<velk::module::SectorRange> unreadable;
    bool failed = false;
    std::size_t done = 0;
    for (const velk::module::Extent& extent : plan) {
        if (progress.ShouldEnd()) {
            break;
        }
        TrackOutcome outcome = WriteTrack(diskette, reader, extent, original, work, unreadable);
        if (outcome.writeError == EROFS) {
            return WriteProtected(diskette.drive.info.node);
        }
        if (outcome.writeError != 0) {
            ReportTrack("szErrWrite", kEventWriteFailed, diskette, extent, outcome.writeError);
        } else if (outcome.readable && !outcome.verified) {
            ReportTrack("szErrVerify", kEventVerifyFailed, diskette, extent, 0);
        }
        if (!outcome.restored) {
            ReportTrack("szErrRestore", kEventRestoreFailed, diskette, extent, 0);
        }
        failed = failed || !outcome.readable || outcome.writeError != 0 || !outcome.verified ||
                 !outcome.restored;
        progress.Report(++done, plan.size());
    }
    velk::module::ReportSectorRanges(kEventUnreadable, "szErrUnreadable", unreadable,
                                     diskette.drive.info.node, velk::module::ErrorLimit());
    if (progress.StopRequested()) {
        return BXI2_RESULT_DISCONTINUED;
    }
    if (failed) {
        return BXI2_RESULT_FAIL;
    }
    if (done < plan.size()) {
        Bxi2_Warning(kEventTimeLimit, "%s",
                     NlsTag("szWarnTimeLimit", {{"DONE", std::to_string(done)},
                                                {"TOTAL", std::to_string(plan.size())}})
                         .c_str());
    }
    Bxi2_Informative("%s", NlsTag("szInfoWritten", {{"NODE", diskette.drive.info.node},
                                                    {"TRACKS", std::to_string(done)}})
                               .c_str());
    Bxi2_SetPercentDone(100);
    return BXI2_RESULT_PASS;
}

}  // namespace velk::floppy
