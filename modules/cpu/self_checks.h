// Self-checks of a processor's execution units.  Each compares what the CPU
// computes with an answer known in advance (fixed vectors) or with the same
// value computed another way (identities over pseudo-random operands), so a
// unit that computes wrongly shows as a mismatch.  Operands pass through an
// optimisation barrier: the compiler cannot fold the checks away.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core_runner.h"

namespace velk::cpumodule {

// A value the optimiser must treat as unknown.
template <typename T>
inline T Opaque(T value) {
#if defined(__GNUC__)
    __asm__ volatile("" : "+m"(value));
#endif
    return value;
}

// One check that did not give the expected answer.
struct CheckMismatch {
    std::string check;  // name of the check, one word
    std::string got;
    std::string want;
};

// A fixed integer vector: operation, operands and the known answer.
enum class IntegerOp {
    kAdd,
    kSub,
    kMul,
    kMulHigh,
    kDiv,
    kMod,
    kAnd,
    kOr,
    kXor,
    kNot,
    kShl,
    kShr,
    kSar,
    kRotl,
    kRotr,
    kPopcount,
    kLeadingZeros,
    kTrailingZeros,
    kByteSwap,
    kNeg,
    kSignedMul,
    kSignedDiv,
    kAdd32,
};
struct IntegerVector {
    const char* name;
    IntegerOp op;
    uint64_t a;
    uint64_t b;
    uint64_t want;
};

// The built-in integer vectors.
const std::vector<IntegerVector>& IntegerVectors();
// The first vector whose computed answer differs from its known one.
std::optional<CheckMismatch> CheckIntegerVectors(const std::vector<IntegerVector>& vectors);
// Integer and logic identities over rounds of pseudo-random operands seeded
// by seed; each round adds one unit of progress.
std::optional<CheckMismatch> CheckIntegerIdentities(uint64_t seed, uint64_t rounds,
                                                    CoreControl& control);

// Floating-point fixed vectors and identities, likewise.
std::optional<CheckMismatch> CheckFloatVectors();
std::optional<CheckMismatch> CheckFloatIdentities(uint64_t seed, uint64_t rounds,
                                                  CoreControl& control);

// MMX: whether the running CPU says it has MMX (cpuid), and the MMX
// instructions against a scalar model over rounds of operands.  Without an
// x86 build both report that MMX cannot be used.
bool CpuidReportsMmx();
bool MmxBuiltIn();
std::optional<CheckMismatch> CheckMmx(uint64_t seed, uint64_t rounds, CoreControl& control);

// A hexadecimal text of a 64-bit value ("0x...").
std::string Hex(uint64_t value);

}  // namespace velk::cpumodule
