// Level-2 cache check on one CPU: a buffer the size of the cache is filled
// with address-dependent patterns and read back with verification, and the
// time to read it is compared with the time to read a buffer far larger
// than every cache, which a working cache must not make slower.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core_runner.h"
#include "self_checks.h"

namespace velk::cpumodule {

struct CacheTiming {
    double cachedNsPerByte = 0;    // reading the cache-sized buffer
    double uncachedNsPerByte = 0;  // reading the large buffer (0: not measured)
};

// How much slower than the large buffer the cache-sized one may read before
// the cache counts as not working.
constexpr double kCacheSlowdownLimit = 2.0;
// Largest buffers the check allocates.
constexpr uint64_t kMaxCacheBuffer = 64ull << 20;
constexpr uint64_t kMaxLargeBuffer = 128ull << 20;

struct CacheCheckResult {
    std::optional<CheckMismatch> mismatch;  // data or timing failure
    CacheTiming timing;
    bool stopped = false;
};

// Runs passes of pattern writes and verified reads over cacheBytes (capped
// at kMaxCacheBuffer); measures the timing against a buffer of twice
// largestCacheBytes (at least 8 MiB) unless that exceeds kMaxLargeBuffer.
// One unit of progress per pass.
CacheCheckResult CheckCache(uint64_t cacheBytes, uint64_t largestCacheBytes, unsigned passes,
                            CoreControl& control);

// Verdict of the timing: a mismatch when the cached read is more than
// kCacheSlowdownLimit times slower than the uncached one.
std::optional<CheckMismatch> JudgeCacheTiming(const CacheTiming& timing);

}  // namespace velk::cpumodule
