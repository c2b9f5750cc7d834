#include "surface_tests.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>

#include "disk_access.h"
#include "hard_drive.h"
#include "module_main.h"
#include "nls_text.h"
#include "test_parameters.h"
#include "test_progress.h"

namespace velk::harddrive {

using velk::module::NlsTag;
using velk::module::SectorRange;

namespace {

constexpr std::size_t kScanChunk = 1 << 20;     // sequential reads
constexpr std::size_t kRandomChunk = 64 << 10;  // random reads
constexpr std::uint64_t kDefaultRandomCount = 256;

// One read of the plan: where and how much.
struct Extent {
    std::uint64_t offset;
    std::size_t length;
};

struct ScanOutcome {
    std::vector<SectorRange> failures;
    std::vector<SectorRange> mismatches;
    std::uint64_t bytesRead = 0;
    std::size_t extentsDone = 0;
    bool stopped = false;
    bool outOfTime = false;
};

// The sampled 1 MiB chunks of the surface, in surface order.
std::vector<Extent> SequentialPlan(std::uint64_t size) {
    std::uint64_t chunks = (size + kScanChunk - 1) / kScanChunk;
    std::vector<Extent> plan;
    for (std::uint64_t chunk : velk::module::SampleChunks(chunks, PercentToTest())) {
        std::uint64_t offset = chunk * kScanChunk;
        plan.push_back(
            {offset, static_cast<std::size_t>(std::min<std::uint64_t>(kScanChunk, size - offset))});
    }
    return plan;
}

// COUNT places (scaled by the percent to test) chosen at random, aligned to
// the sector size; the seed is reported so that a run can be repeated.
std::vector<Extent> RandomPlan(std::uint64_t size, std::uint32_t sectorSize) {
    std::uint64_t count = velk::module::ParameterUnsigned("COUNT", kDefaultRandomCount);
    count = std::max<std::uint64_t>(
        1, static_cast<std::uint64_t>(static_cast<double>(count) * PercentToTest() / 100.0));
    std::uint64_t seed = velk::module::ParameterUnsigned("SEED", 0);
    if (seed == 0) {
        seed =
            static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    }
    Bxi2_Informative("%s", NlsTag("szInfoRandom", {{"COUNT", std::to_string(count)},
                                                   {"SEED", std::to_string(seed)}})
                               .c_str());
    std::mt19937_64 random(seed);
    std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(kRandomChunk, size));
    length -= length % sectorSize;
    std::uint64_t places = (size - length) / sectorSize + 1;
    std::vector<Extent> plan;
    for (std::uint64_t i = 0; i < count; ++i) {
        plan.push_back({random() % places * sectorSize, length});
    }
    return plan;
}

ScanOutcome Scan(DiskUnderTest& disk, const std::vector<Extent>& plan, bool verify,
                 velk::module::TestProgress& progress) {
    velk::module::BlockReader reader(disk.device.fd.Get(), disk.info.sizeBytes,
                                     disk.info.logicalBlockSize, disk.device.direct);
    std::size_t largest = 0;
    for (const Extent& extent : plan) {
        largest = std::max(largest, extent.length);
    }
    velk::module::AlignedBuffer buffer(verify ? 2 * largest + 4096 : largest);
    auto limit = static_cast<std::size_t>(std::max(Bxi2_GetErrorLimit(), 1));
    std::uint64_t plannedBytes = 0;
    for (const Extent& extent : plan) {
        plannedBytes += extent.length;
    }
    ScanOutcome outcome;
    progress.Report(0, plan.size());
    for (const Extent& extent : plan) {
        if (progress.StopRequested()) {
            outcome.stopped = true;
            break;
        }
        if (progress.OutOfTime()) {
            outcome.outOfTime = true;
            break;
        }
        if (verify) {
            reader.ReadTwiceAndCompare(extent.offset, extent.length, buffer, outcome.failures,
                                       outcome.mismatches, limit);
        } else {
            reader.Read(extent.offset, extent.length, buffer.Data(), outcome.failures, limit);
        }
        outcome.bytesRead += extent.length;
        ++outcome.extentsDone;
        progress.Report(outcome.extentsDone, plan.size());
        progress.Text(NlsTag("szProgressRead", {{"DONE", std::to_string(outcome.bytesRead >> 20)},
                                                {"TOTAL", std::to_string(plannedBytes >> 20)}}));
        if (outcome.failures.size() + outcome.mismatches.size() >= limit) {
            break;
        }
    }
    return outcome;
}

void ReportThroughput(const ScanOutcome& outcome, const velk::module::TestProgress& progress,
                      bool direct) {
    double seconds = std::chrono::duration<double>(progress.Elapsed()).count();
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.1f",
                  seconds > 0 ? static_cast<double>(outcome.bytesRead) / 1e6 / seconds : 0.0);
    char elapsed[32];
    std::snprintf(elapsed, sizeof elapsed, "%.1f", seconds);
    Bxi2_Informative(
        "%s", NlsTag("szInfoThroughput", {{"MB", std::to_string(outcome.bytesRead / 1000000)},
                                          {"SECONDS", elapsed},
                                          {"RATE", rate},
                                          {"MODE", direct ? "O_DIRECT" : "cache dropped"}})
                  .c_str());
}

}  // namespace

int RunSurfaceTest(int test, const Bxi2_Device* record) {
    DiskUnderTest disk;
    if (std::optional<int> refused = OpenForTest(record, disk)) {
        return *refused;
    }
    velk::module::TestProgress progress(
        velk::module::BudgetForTimeout(velk::module::DeclaredTimeoutSeconds(test)));
    std::vector<Extent> plan = test == kRandomVerify
                                   ? RandomPlan(disk.info.sizeBytes, disk.info.logicalBlockSize)
                                   : SequentialPlan(disk.info.sizeBytes);
    ScanOutcome outcome = Scan(disk, plan, test != kSurfaceScan, progress);
    ReportThroughput(outcome, progress, disk.device.direct);
    auto limit = static_cast<std::size_t>(std::max(Bxi2_GetErrorLimit(), 1));
    std::uint64_t bad = ReportSectorRanges(kEventUnreadable, "szErrUnreadable", outcome.failures,
                                           disk.info.node, limit);
    std::uint64_t differing = ReportSectorRanges(kEventMismatch, "szErrMismatch",
                                                 outcome.mismatches, disk.info.node, limit);
    if (outcome.stopped) {
        return BXI2_RESULT_DISCONTINUED;
    }
    if (bad + differing > 0) {
        return BXI2_RESULT_FAIL;
    }
    if (outcome.outOfTime) {
        Bxi2_Warning(kEventTimeLimit, "%s",
                     NlsTag("szWarnTimeLimit", {{"DONE", std::to_string(outcome.extentsDone)},
                                                {"TOTAL", std::to_string(plan.size())}})
                         .c_str());
    }
    progress.Report(1, 1);
    return BXI2_RESULT_PASS;
}

}  // namespace velk::harddrive
