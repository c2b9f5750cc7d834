// Reading a medium's surface for a test: which places to read (an evenly
// spread sample of the percent to test, or places chosen at random), reading
// them once or twice with comparison while reporting progress and polling for
// a stop, and reporting what was found.
//
// The texts sent are the module's own, with these ids: szProgressRead
// (DONE, TOTAL in MiB), szInfoRandom (COUNT, SEED), szInfoThroughput (MB,
// SECONDS, RATE, MODE), szErrUnreadable and szErrMismatch (FIRST, LAST,
// COUNT, ERROR, NODE), szWarnTimeLimit (DONE, TOTAL).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "block_reader.h"
#include "test_progress.h"

namespace velk::module {

// One read of a plan.
struct Extent {
    std::uint64_t offset;
    std::size_t length;
};

// Evenly spread chunks of chunkSize (a multiple of the sector size) that
// cover percent of a surface of sizeBytes, in surface order.
std::vector<Extent> SequentialPlan(std::uint64_t sizeBytes, std::size_t chunkSize, double percent);

// count places of chunkSize bytes (or the whole surface when smaller),
// aligned to sectorSize, drawn from seed; the choice is logged (szInfoRandom)
// so that a run can be repeated.
std::vector<Extent> RandomPlan(std::uint64_t sizeBytes, std::uint32_t sectorSize,
                               std::size_t chunkSize, std::uint64_t count, std::uint64_t seed);

struct ScanOutcome {
    std::vector<SectorRange> failures;
    std::vector<SectorRange> mismatches;
    std::uint64_t bytesRead = 0;
    std::size_t extentsDone = 0;
    std::size_t extentsPlanned = 0;
    bool stopped = false;
    bool outOfTime = false;
};

// Reads every extent of plan (twice and compared when verify), reporting
// percent done and progress; ends early on a stop request, at the end of the
// time budget, or when errorLimit bad runs were found.
ScanOutcome ScanExtents(BlockReader& reader, const std::vector<Extent>& plan, bool verify,
                        TestProgress& progress, std::size_t errorLimit);

// Logs the outcome (throughput, every bad run up to errorLimit, a time-limit
// warning) and gives the test result: DISCONTINUED after a stop, FAIL with
// bad runs, else PASS.
int ReportScan(const ScanOutcome& outcome, const TestProgress& progress, bool direct,
               const std::string& node, std::size_t errorLimit, int unreadableEvent,
               int mismatchEvent, int timeLimitEvent);

// Sends one error event per run (at most limit): text id with FIRST, LAST,
// COUNT, ERROR and NODE.  The number of sectors in all runs.
std::uint64_t ReportSectorRanges(int eventCode, const char* textId,
                                 const std::vector<SectorRange>& ranges, const std::string& node,
                                 std::size_t limit);

// The percent to test the engine gave (0 < p <= 100).
double PercentToTest();

// The error limit the engine gave (at least 1).
std::size_t ErrorLimit();

// A seed: the given one, or one from the clock when it is 0.
std::uint64_t SeedOrClock(std::uint64_t seed);

}  // namespace velk::module
