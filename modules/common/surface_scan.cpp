#include "surface_scan.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

#include "bxi2.h"
#include "nls_text.h"

namespace velk::module {

std::vector<Extent> SequentialPlan(std::uint64_t sizeBytes, std::size_t chunkSize, double percent) {
    std::uint64_t chunks = (sizeBytes + chunkSize - 1) / chunkSize;
    std::vector<Extent> plan;
    for (std::uint64_t chunk : SampleChunks(chunks, percent)) {
        std::uint64_t offset = chunk * chunkSize;
        plan.push_back({offset, static_cast<std::size_t>(
                                    std::min<std::uint64_t>(chunkSize, sizeBytes - offset))});
    }
    return plan;
}

std::vector<Extent> RandomPlan(std::uint64_t sizeBytes, std::uint32_t sectorSize,
                               std::size_t chunkSize, std::uint64_t count, std::uint64_t seed) {
    Bxi2_Informative("%s", NlsTag("szInfoRandom", {{"COUNT", std::to_string(count)},
                                                   {"SEED", std::to_string(seed)}})
                               .c_str());
    std::vector<Extent> plan;
    std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(chunkSize, sizeBytes));
    length -= length % sectorSize;
    if (length == 0) {
        return plan;
    }
    std::mt19937_64 random(seed);
    std::uint64_t places = (sizeBytes - length) / sectorSize + 1;
    for (std::uint64_t i = 0; i < count; ++i) {
        plan.push_back({random() % places * sectorSize, length});
    }
    return plan;
}

ScanOutcome ScanExtents(BlockReader& reader, const std::vector<Extent>& plan, bool verify,
                        TestProgress& progress, std::size_t errorLimit) {
    std::size_t largest = 0;
    std::uint64_t plannedBytes = 0;
    for (const Extent& extent : plan) {
        largest = std::max(largest, extent.length);
        plannedBytes += extent.length;
    }
    AlignedBuffer buffer(verify ? 2 * largest + 4096 : largest);
    ScanOutcome outcome;
    outcome.extentsPlanned = plan.size();
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
                                       outcome.mismatches, errorLimit);
        } else {
            reader.Read(extent.offset, extent.length, buffer.Data(), outcome.failures, errorLimit);
        }
        outcome.bytesRead += extent.length;
        ++outcome.extentsDone;
        progress.Report(outcome.extentsDone, plan.size());
        progress.Text(NlsTag("szProgressRead", {{"DONE", std::to_string(outcome.bytesRead >> 20)},
                                                {"TOTAL", std::to_string(plannedBytes >> 20)}}));
        if (outcome.failures.size() + outcome.mismatches.size() >= errorLimit) {
            break;
        }
    }
    return outcome;
}

std::uint64_t ReportSectorRanges(int eventCode, const char* textId,
                                 const std::vector<SectorRange>& ranges, const std::string& node,
                                 std::size_t limit) {
    std::uint64_t sectors = 0;
    std::size_t sent = 0;
    for (const SectorRange& range : ranges) {
        sectors += range.sectorCount;
        if (sent++ >= limit) {
            continue;
        }
        std::string error = range.error != 0 ? std::strerror(range.error) : "short read";
        std::string last = std::to_string(range.firstSector + range.sectorCount - 1);
        Bxi2_Error(eventCode, "%s",
                   NlsTag(textId, {{"FIRST", std::to_string(range.firstSector)},
                                   {"LAST", last},
                                   {"COUNT", std::to_string(range.sectorCount)},
                                   {"ERROR", error},
                                   {"NODE", node}})
                       .c_str());
    }
    return sectors;
}

int ReportScan(const ScanOutcome& outcome, const TestProgress& progress, bool direct,
               const std::string& node, std::size_t errorLimit, int unreadableEvent,
               int mismatchEvent, int timeLimitEvent) {
    double seconds = std::chrono::duration<double>(progress.Elapsed()).count();
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.1f",
                  seconds > 0 ? static_cast<double>(outcome.bytesRead) / 1e6 / seconds : 0.0);
    char elapsed[32];
    std::snprintf(elapsed, sizeof elapsed, "%.2f", seconds);
    Bxi2_Informative(
        "%s", NlsTag("szInfoThroughput", {{"MB", std::to_string(outcome.bytesRead / 1000000)},
                                          {"BYTES", std::to_string(outcome.bytesRead)},
                                          {"SECONDS", elapsed},
                                          {"RATE", rate},
                                          {"MODE", direct ? "O_DIRECT" : "cache dropped"}})
                  .c_str());
    std::uint64_t bad =
        ReportSectorRanges(unreadableEvent, "szErrUnreadable", outcome.failures, node, errorLimit);
    std::uint64_t differing =
        ReportSectorRanges(mismatchEvent, "szErrMismatch", outcome.mismatches, node, errorLimit);
    if (outcome.stopped) {
        return BXI2_RESULT_DISCONTINUED;
    }
    if (bad + differing > 0) {
        return BXI2_RESULT_FAIL;
    }
    if (outcome.outOfTime) {
        Bxi2_Warning(timeLimitEvent, "%s",
                     NlsTag("szWarnTimeLimit", {{"DONE", std::to_string(outcome.extentsDone)},
                                                {"TOTAL", std::to_string(outcome.extentsPlanned)}})
                         .c_str());
    }
    Bxi2_SetPercentDone(100);
    return BXI2_RESULT_PASS;
}

double PercentToTest() {
    double percent = Bxi2_GetFloatPercentageToTest();
    return percent > 0.0 && percent <= 100.0 ? percent : 100.0;
}

std::size_t ErrorLimit() {
    return static_cast<std::size_t>(std::max(Bxi2_GetErrorLimit(), 1));
}

std::uint64_t SeedOrClock(std::uint64_t seed) {
    if (seed != 0) {
        return seed;
    }
    return static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
}

}  // namespace velk::module
