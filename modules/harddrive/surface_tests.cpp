#include "surface_tests.h"

#include "disk_access.h"
#include "hard_drive.h"
#include "module_main.h"
#include "surface_scan.h"
#include "test_parameters.h"
#include "test_progress.h"

namespace velk::harddrive {

namespace {

constexpr std::size_t kScanChunk = 1 << 20;     // sequential reads
constexpr std::size_t kRandomChunk = 64 << 10;  // random reads
constexpr std::uint64_t kDefaultRandomCount = 256;

}  // namespace

int RunSurfaceTest(int test, const Bxi2_Device* record) {
    using namespace velk::module;
    DiskUnderTest disk;
    if (std::optional<int> refused = OpenForTest(record, disk)) {
        return *refused;
    }
    TestProgress progress(BudgetForTimeout(DeclaredTimeoutSeconds(test)));
    std::vector<Extent> plan;
    if (test == kRandomVerify) {
        // COUNT places, scaled by the percent to test.
        double count = static_cast<double>(ParameterUnsigned("COUNT", kDefaultRandomCount));
        auto scaled =
            std::max<std::uint64_t>(1, static_cast<std::uint64_t>(count * PercentToTest() / 100.0));
        plan = RandomPlan(disk.info.sizeBytes, disk.info.logicalBlockSize, kRandomChunk, scaled,
                          SeedOrClock(ParameterUnsigned("SEED", 0)));
    } else {
        plan = SequentialPlan(disk.info.sizeBytes, kScanChunk, PercentToTest());
    }
    BlockReader reader(disk.device.fd.Get(), disk.info.sizeBytes, disk.info.logicalBlockSize,
                       disk.device.direct);
    ScanOutcome outcome = ScanExtents(reader, plan, test != kSurfaceScan, progress, ErrorLimit());
    return ReportScan(outcome, progress, disk.device.direct, disk.info.node, ErrorLimit(),
                      kEventUnreadable, kEventMismatch, kEventTimeLimit);
}

}  // namespace velk::harddrive
