// The tests of the processor module, run on one processor (package): each
// runs on every online logical CPU of the package, in threads pinned to them.
#pragma once

#include <cstdint>

#include "cpu_topology.h"
#include "test_session.h"

namespace velk::cpumodule {

enum CpuTestIndex {
    kIntegerTest = 0,  // integer arithmetic and logic
    kFloatTest = 1,    // floating-point arithmetic
    kCacheTest = 2,    // level-2 cache present and working
    kMmxTest = 3,      // MMX present and computing correctly
    kCpuTestCount = 4,
};

// Event codes of the module's log items.
enum CpuEventCode {
    kEventMismatch = 301,
    kEventNoLevelTwoCache = 302,
    kEventNoMmx = 303,
    kEventNotPinned = 304,
    kEventNoUsableCpu = 305,
    kEventUnknownTest = 306,
};

// Work per CPU at 100 percent: rounds of identities (or cache passes).
struct CpuTestWork {
    uint64_t integerRounds = 2000000;
    uint64_t floatRounds = 4000000;
    uint64_t mmxRounds = 2000000;
    unsigned cachePasses = 64;
};

// Runs test on processor; the module interface's result code (PASS, FAIL,
// SETUPERROR, NOTAPPLICABLE, DISCONTINUED).
int RunCpuTest(int test, const Processor& processor, velk::modules::TestSession& session,
               const CpuTestWork& work = CpuTestWork());

}  // namespace velk::cpumodule
