// Floating-point self-checks: correctly rounded IEEE 754 results that are
// known exactly, and identities that hold exactly for integer-valued
// operands below 2^26.
#include <cmath>
#include <cstdio>
#include <limits>

#include "self_checks.h"

namespace velk::cpumodule {
namespace {

constexpr uint64_t kProgressStride = 256;

std::string FloatText(double value) {
    char text[48];
    std::snprintf(text, sizeof text, "%a", value);
    return text;
}

std::optional<CheckMismatch> Compare(const char* check, double got, double want) {
    if (got == want || (std::isnan(got) && std::isnan(want))) {
        return std::nullopt;
    }
    return CheckMismatch{check, FloatText(got), FloatText(want)};
}

uint64_t NextRandom(uint64_t& state) {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545F4914F6CDD1Dull;
}

}  // namespace

std::optional<CheckMismatch> CheckFloatVectors() {
    // The division that a flawed divider once got wrong: the remainder of
    // x - (x / y) * y is a rounding error, far below one.
    double x = Opaque(4195835.0), y = Opaque(3145727.0);
    double residue = x - (x / y) * y;
    if (std::fabs(residue) > 1e-6) {
        return CheckMismatch{"fdiv-residue", FloatText(residue), FloatText(0.0)};
    }
    const double one = Opaque(1.0), two = Opaque(2.0), ten = Opaque(10.0);
    struct Vector {
        const char* name;
        double got;
        double want;
    };
    const Vector vectors[] = {
        {"add", Opaque(0.1) + Opaque(0.2), 0x1.3333333333334p-2},
        {"div", one / Opaque(3.0), 0x1.5555555555555p-2},
        {"mul", Opaque(1.5) * Opaque(-2.25), -3.375},
        {"sqrt", std::sqrt(two), 0x1.6a09e667f3bcdp+0},
        {"sqrt", std::sqrt(Opaque(1.5625)), 1.25},
        {"round-even", Opaque(9007199254740992.0) + one, 9007199254740992.0},
        {"single", static_cast<double>(static_cast<float>(Opaque(16777217.0))), 16777216.0},
        {"overflow", Opaque(1e308) * ten, std::numeric_limits<double>::infinity()},
        {"underflow", Opaque(0x1p-1074) / two, 0.0},
        {"truncate", static_cast<double>(static_cast<int64_t>(Opaque(-2.5))), -2.0},
        {"nearbyint", std::nearbyint(Opaque(2.5)), 2.0},
        {"fma",
         std::fma(Opaque(0x1.0000000000001p0), Opaque(0x1.0000000000001p0),
                  Opaque(-0x1.0000000000002p0)),
         0x1p-104},
        {"nan", Opaque(0.0) / Opaque(0.0), std::numeric_limits<double>::quiet_NaN()},
    };
    for (const auto& vector : vectors) {
        if (auto mismatch = Compare(vector.name, vector.got, vector.want)) {
            return mismatch;
        }
    }
    return std::nullopt;
}

std::optional<CheckMismatch> CheckFloatIdentities(uint64_t seed, uint64_t rounds,
                                                  CoreControl& control) {
    uint64_t state = seed * 0xD1B54A32D192ED03ull + 7;
    for (uint64_t round = 0; round < rounds; ++round) {
        uint64_t ia = (NextRandom(state) >> 38) | 1;  // below 2^26
        uint64_t ib = (NextRandom(state) >> 38) | 1;
        double a = Opaque(static_cast<double>(ia));
        double b = Opaque(static_cast<double>(ib));
        double product = a * b;
        if (auto mismatch = Compare("mul", product, static_cast<double>(ia * ib))) {
            return mismatch;
        }
        if (auto mismatch = Compare("div", product / b, static_cast<double>(ia))) {
            return mismatch;
        }
        if (auto mismatch = Compare("add-sub", (a + b) - b, static_cast<double>(ia))) {
            return mismatch;
        }
        if (auto mismatch = Compare("sqrt", std::sqrt(a * a), static_cast<double>(ia))) {
            return mismatch;
        }
        if ((round + 1) % kProgressStride == 0) {
            control.AddDone(kProgressStride);
            if (control.StopRequested()) {
                return std::nullopt;
            }
        }
    }
    control.AddDone(rounds % kProgressStride);
    return std::nullopt;
}

}  // namespace velk::cpumodule
