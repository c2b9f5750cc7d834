// Integer arithmetic and logic self-checks.
#include <bit>
#include <cstdio>

#include "self_checks.h"

namespace velk::cpumodule {
namespace {

using Op = IntegerOp;

constexpr uint64_t kAllOnes = 0xFFFFFFFFFFFFFFFFull;
constexpr uint64_t kTopBit = 0x8000000000000000ull;
constexpr uint64_t kCounting = 0x0123456789ABCDEFull;
constexpr uint64_t kProgressStride = 256;

uint64_t Compute(Op op, uint64_t a, uint64_t b) {
    a = Opaque(a);
    b = Opaque(b);
    switch (op) {
        case Op::kAdd:
            return a + b;
        case Op::kSub:
            return a - b;
        case Op::kMul:
            return a * b;
        case Op::kMulHigh:
            return static_cast<uint64_t>((static_cast<unsigned __int128>(a) * b) >> 64);
        case Op::kDiv:
            return a / b;
        case Op::kMod:
            return a % b;
        case Op::kAnd:
            return a & b;
        case Op::kOr:
            return a | b;
        case Op::kXor:
            return a ^ b;
        case Op::kNot:
            return ~a;
        case Op::kShl:
            return a << (b & 63);
        case Op::kShr:
            return a >> (b & 63);
        case Op::kSar:
            return static_cast<uint64_t>(static_cast<int64_t>(a) >> (b & 63));
        case Op::kRotl:
            return std::rotl(a, static_cast<int>(b & 63));
        case Op::kRotr:
            return std::rotr(a, static_cast<int>(b & 63));
        case Op::kPopcount:
            return static_cast<uint64_t>(std::popcount(a));
        case Op::kLeadingZeros:
            return static_cast<uint64_t>(std::countl_zero(a));
        case Op::kTrailingZeros:
            return static_cast<uint64_t>(std::countr_zero(a));
        case Op::kByteSwap:
            return __builtin_bswap64(a);
        case Op::kNeg:
            return 0 - a;
        case Op::kSignedMul:
            return static_cast<uint64_t>(static_cast<int64_t>(a) * static_cast<int64_t>(b));
        case Op::kSignedDiv:
            return static_cast<uint64_t>(static_cast<int64_t>(a) / static_cast<int64_t>(b));
        case Op::kAdd32:
            return static_cast<uint32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
    }
    return 0;
}

// The next value of a xorshift64* sequence.
uint64_t NextRandom(uint64_t& state) {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545F4914F6CDD1Dull;
}

// a times b by shifts and additions only.
uint64_t ShiftAddMultiply(uint64_t a, uint64_t b) {
    uint64_t product = 0;
    for (; b != 0; b >>= 1, a <<= 1) {
        if (b & 1) {
            product += a;
        }
    }
    return product;
}

// The high half of a 128-bit product from four 32-bit partial products.
uint64_t SchoolbookMulHigh(uint64_t a, uint64_t b) {
    uint64_t aLow = a & 0xFFFFFFFFu, aHigh = a >> 32;
    uint64_t bLow = b & 0xFFFFFFFFu, bHigh = b >> 32;
    uint64_t lowLow = aLow * bLow;
    uint64_t highLow = aHigh * bLow;
    uint64_t lowHigh = aLow * bHigh;
    uint64_t middle = (lowLow >> 32) + (highLow & 0xFFFFFFFFu) + (lowHigh & 0xFFFFFFFFu);
    return aHigh * bHigh + (highLow >> 32) + (lowHigh >> 32) + (middle >> 32);
}

unsigned CountBitsOneByOne(uint64_t value) {
    unsigned count = 0;
    for (; value != 0; value &= value - 1) {
        ++count;
    }
    return count;
}

std::optional<CheckMismatch> Mismatch(const char* check, uint64_t a, uint64_t b, uint64_t got,
                                      uint64_t want) {
    return CheckMismatch{std::string(check) + "(" + Hex(a) + "," + Hex(b) + ")", Hex(got),
                         Hex(want)};
}

// One round of identities over the operands a and b (b is never 0).
std::optional<CheckMismatch> CheckRound(uint64_t a, uint64_t b) {
    uint64_t x = Opaque(a), y = Opaque(b);
    if (uint64_t got = (x + y) - y; got != a) {
        return Mismatch("add-sub", a, b, got, a);
    }
    if (uint64_t got = x * y, want = ShiftAddMultiply(a, b); got != want) {
        return Mismatch("mul", a, b, got, want);
    }
    if (uint64_t got = Compute(Op::kMulHigh, x, y), want = SchoolbookMulHigh(a, b); got != want) {
        return Mismatch("mulhigh", a, b, got, want);
    }
    uint64_t quotient = x / y, remainder = x % y;
    if (quotient * b + remainder != a || remainder >= b) {
        return Mismatch("divmod", a, b, quotient, remainder);
    }
    if (uint64_t got = x ^ y, want = (a | b) & ~(a & b); got != want) {
        return Mismatch("xor", a, b, got, want);
    }
    if (uint64_t got = ~(x & y), want = ~a | ~b; got != want) {
        return Mismatch("nand", a, b, got, want);
    }
    if (uint64_t got = 0 - x, want = ~a + 1; got != want) {
        return Mismatch("neg", a, b, got, want);
    }
    unsigned shift = static_cast<unsigned>(b % 63) + 1;
    if (uint64_t got = std::rotl(x, static_cast<int>(shift)),
        want = (a << shift) | (a >> (64 - shift));
        got != want) {
        return Mismatch("rotl", a, shift, got, want);
    }
    if (uint64_t got = static_cast<uint64_t>(std::popcount(x)), want = CountBitsOneByOne(a);
        got != want) {
        return Mismatch("popcount", a, 0, got, want);
    }
    return std::nullopt;
}

}  // namespace

std::string Hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

const std::vector<IntegerVector>& IntegerVectors() {
    static const std::vector<IntegerVector> vectors = {
        {"add", Op::kAdd, kAllOnes, 1, 0},
        {"add", Op::kAdd, kCounting, 0xFEDCBA9876543210ull, kAllOnes},
        {"sub", Op::kSub, 0, 1, kAllOnes},
        {"sub", Op::kSub, kTopBit, 1, 0x7FFFFFFFFFFFFFFFull},
        {"mul", Op::kMul, 0xFFFFFFFFull, 0xFFFFFFFFull, 0xFFFFFFFE00000001ull},
        {"mul", Op::kMul, 0x100000001ull, 0x100000001ull, 0x0000000200000001ull},
        {"mulhigh", Op::kMulHigh, kAllOnes, kAllOnes, 0xFFFFFFFFFFFFFFFEull},
        {"mulhigh", Op::kMulHigh, 0x100000000ull, 0x100000000ull, 1},
        {"div", Op::kDiv, 1000000000000ull, 7, 142857142857ull},
        {"div", Op::kDiv, kAllOnes, 0xFFFFFFFFull, 0x100000001ull},
        {"mod", Op::kMod, 1000000000000ull, 7, 1},
        {"and", Op::kAnd, 0xF0F0F0F0F0F0F0F0ull, 0x3C3C3C3C3C3C3C3Cull, 0x3030303030303030ull},
        {"or", Op::kOr, 0xF0F0F0F0F0F0F0F0ull, 0x0F0F0F0F0F0F0F0Full, kAllOnes},
        {"xor", Op::kXor, 0xAAAAAAAAAAAAAAAAull, 0x5555555555555555ull, kAllOnes},
        {"xor", Op::kXor, kCounting, kCounting, 0},
        {"not", Op::kNot, kCounting, 0, 0xFEDCBA9876543210ull},
        {"shl", Op::kShl, 1, 63, kTopBit},
        {"shl", Op::kShl, kCounting, 4, 0x123456789ABCDEF0ull},
        {"shr", Op::kShr, kTopBit, 63, 1},
        {"sar", Op::kSar, kTopBit, 4, 0xF800000000000000ull},
        {"rotl", Op::kRotl, 0x8000000000000001ull, 1, 3},
        {"rotr", Op::kRotr, kCounting, 8, 0xEF0123456789ABCDull},
        {"popcount", Op::kPopcount, kAllOnes, 0, 64},
        {"popcount", Op::kPopcount, kCounting, 0, 32},
        {"clz", Op::kLeadingZeros, 1, 0, 63},
        {"clz", Op::kLeadingZeros, 0x00F0000000000000ull, 0, 8},
        {"ctz", Op::kTrailingZeros, kTopBit, 0, 63},
        {"ctz", Op::kTrailingZeros, 0x1000, 0, 12},
        {"bswap", Op::kByteSwap, kCounting, 0, 0xEFCDAB8967452301ull},
        {"neg", Op::kNeg, 1, 0, kAllOnes},
        {"neg", Op::kNeg, kTopBit, 0, kTopBit},
        {"imul", Op::kSignedMul, static_cast<uint64_t>(-3), 7, static_cast<uint64_t>(-21)},
        {"idiv", Op::kSignedDiv, static_cast<uint64_t>(-100), 7, static_cast<uint64_t>(-14)},
        {"add32", Op::kAdd32, 0xFFFFFFFFull, 1, 0},
        {"add32", Op::kAdd32, 0x7FFFFFFFull, 1, 0x80000000ull},
    };
    return vectors;
}

std::optional<CheckMismatch> CheckIntegerVectors(const std::vector<IntegerVector>& vectors) {
    for (const auto& vector : vectors) {
        uint64_t got = Compute(vector.op, vector.a, vector.b);
        if (got != vector.want) {
            return Mismatch(vector.name, vector.a, vector.b, got, vector.want);
        }
    }
    return std::nullopt;
}

std::optional<CheckMismatch> CheckIntegerIdentities(uint64_t seed, uint64_t rounds,
                                                    CoreControl& control) {
    uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
    for (uint64_t round = 0; round < rounds; ++round) {
        uint64_t a = NextRandom(state);
        uint64_t b = NextRandom(state) >> (round % 64);
        if (b == 0) {
            b = 1;
        }
        if (auto mismatch = CheckRound(a, b)) {
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
