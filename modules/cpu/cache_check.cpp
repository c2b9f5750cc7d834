#include "cache_check.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace velk::cpumodule {
namespace {

constexpr int kTimingRepeats = 5;
constexpr uint64_t kMinLargeBuffer = 8ull << 20;

// The value pass p stores at word i: address-dependent, different each pass,
// every bit toggling between passes.
uint64_t Pattern(unsigned pass, uint64_t index) {
    uint64_t value = index * 0x9E3779B97F4A7C15ull ^ (static_cast<uint64_t>(pass) << 56);
    return (pass & 1) ? ~value : value;
}

std::string FormatRate(double nsPerByte) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4fns/B", nsPerByte);
    return text;
}

// Nanoseconds per byte of the fastest of several full reads of words.
double TimeReads(const uint64_t* words, uint64_t count) {
    double best = 0;
    for (int repeat = 0; repeat <= kTimingRepeats; ++repeat) {
        auto start = std::chrono::steady_clock::now();
        uint64_t sum = 0;
        for (uint64_t i = 0; i < count; i += 8) {
            sum += words[i];  // one word per 64-byte line
        }
        Opaque(sum);
        double ns =
            std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start)
                .count();
        // The first read only brings the buffer in.
        if (repeat == 1 || (repeat > 1 && ns < best)) {
            best = ns;
        }
    }
    return best / static_cast<double>(count * sizeof(uint64_t));
}

}  // namespace

std::optional<CheckMismatch> JudgeCacheTiming(const CacheTiming& timing) {
    if (timing.uncachedNsPerByte <= 0 ||
        timing.cachedNsPerByte <= timing.uncachedNsPerByte * kCacheSlowdownLimit) {
        return std::nullopt;
    }
    return CheckMismatch{"cache-speed", FormatRate(timing.cachedNsPerByte),
                         FormatRate(timing.uncachedNsPerByte)};
}

CacheCheckResult CheckCache(uint64_t cacheBytes, uint64_t largestCacheBytes, unsigned passes,
                            CoreControl& control) {
    CacheCheckResult result;
    uint64_t count = std::max<uint64_t>(std::min(cacheBytes, kMaxCacheBuffer) / 8, 8);
    std::vector<uint64_t> buffer(count);
    for (unsigned pass = 0; pass < passes; ++pass) {
        if (control.StopRequested()) {
            result.stopped = true;
            return result;
        }
        for (uint64_t i = 0; i < count; ++i) {
            buffer[i] = Pattern(pass, i);
        }
        // Read twice: once as written, once after the writes settled.
        for (int read = 0; read < 2; ++read) {
            for (uint64_t i = 0; i < count; ++i) {
                uint64_t got = Opaque(buffer[i]);
                if (got != Pattern(pass, i)) {
                    result.mismatch = CheckMismatch{"cache-word-" + std::to_string(i), Hex(got),
                                                    Hex(Pattern(pass, i))};
                    return result;
                }
            }
        }
        control.AddDone(1);
    }
    uint64_t largeBytes = std::max(largestCacheBytes * 2, kMinLargeBuffer);
    result.timing.cachedNsPerByte = TimeReads(buffer.data(), count);
    if (largeBytes <= kMaxLargeBuffer) {
        std::vector<uint64_t> large(largeBytes / 8, 1);
        result.timing.uncachedNsPerByte = TimeReads(large.data(), large.size());
    }
    result.mismatch = JudgeCacheTiming(result.timing);
    return result;
}

}  // namespace velk::cpumodule
