// MMX self-check: each MMX instruction is executed directly (inline
// assembly, so no compiler can replace it) and compared lane by lane with a
// scalar model of what it must compute.
#include <algorithm>
#include <cstring>
#include <limits>

#include "self_checks.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define VELK_HAVE_MMX 1
#endif

namespace velk::cpumodule {
namespace {

constexpr uint64_t kProgressStride = 256;

template <typename Lane>
Lane GetLane(uint64_t value, int index) {
    Lane lane;
    std::memcpy(&lane, reinterpret_cast<const char*>(&value) + index * sizeof(Lane), sizeof lane);
    return lane;
}

template <typename Lane>
void SetLane(uint64_t& value, int index, Lane lane) {
    std::memcpy(reinterpret_cast<char*>(&value) + index * sizeof(Lane), &lane, sizeof lane);
}

// Applies f to every pair of lanes of type Lane.
template <typename Lane, typename F>
uint64_t LaneWise(uint64_t a, uint64_t b, F f) {
    uint64_t result = 0;
    for (int i = 0; i < static_cast<int>(8 / sizeof(Lane)); ++i) {
        SetLane<Lane>(result, i, static_cast<Lane>(f(GetLane<Lane>(a, i), GetLane<Lane>(b, i))));
    }
    return result;
}

template <typename T>
T Saturate(long value) {
    return static_cast<T>(
        std::clamp<long>(value, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
}

uint64_t ModelPaddb(uint64_t a, uint64_t b) {
    return LaneWise<uint8_t>(a, b, [](uint8_t x, uint8_t y) { return x + y; });
}
uint64_t ModelPaddusb(uint64_t a, uint64_t b) {
    return LaneWise<uint8_t>(a, b, [](uint8_t x, uint8_t y) { return Saturate<uint8_t>(x + y); });
}
uint64_t ModelPsubsw(uint64_t a, uint64_t b) {
    return LaneWise<int16_t>(a, b, [](int16_t x, int16_t y) { return Saturate<int16_t>(x - y); });
}
uint64_t ModelPmullw(uint64_t a, uint64_t b) {
    return LaneWise<int16_t>(a, b, [](int16_t x, int16_t y) { return (x * y) & 0xFFFF; });
}
uint64_t ModelPmulhw(uint64_t a, uint64_t b) {
    return LaneWise<int16_t>(a, b, [](int16_t x, int16_t y) { return (x * y) >> 16; });
}
uint64_t ModelPmaddwd(uint64_t a, uint64_t b) {
    uint64_t result = 0;
    for (int i = 0; i < 2; ++i) {
        int32_t sum = static_cast<int32_t>(
            static_cast<uint32_t>(GetLane<int16_t>(a, 2 * i) * GetLane<int16_t>(b, 2 * i)) +
            static_cast<uint32_t>(GetLane<int16_t>(a, 2 * i + 1) * GetLane<int16_t>(b, 2 * i + 1)));
        SetLane<int32_t>(result, i, sum);
    }
    return result;
}
uint64_t ModelPxor(uint64_t a, uint64_t b) {
    return a ^ b;
}
uint64_t ModelPand(uint64_t a, uint64_t b) {
    return a & b;
}
uint64_t ModelPacksswb(uint64_t a, uint64_t b) {
    uint64_t result = 0;
    for (int i = 0; i < 4; ++i) {
        SetLane<int8_t>(result, i, Saturate<int8_t>(GetLane<int16_t>(a, i)));
        SetLane<int8_t>(result, i + 4, Saturate<int8_t>(GetLane<int16_t>(b, i)));
    }
    return result;
}
uint64_t ModelPunpcklbw(uint64_t a, uint64_t b) {
    uint64_t result = 0;
    for (int i = 0; i < 4; ++i) {
        SetLane<uint8_t>(result, 2 * i, GetLane<uint8_t>(a, i));
        SetLane<uint8_t>(result, 2 * i + 1, GetLane<uint8_t>(b, i));
    }
    return result;
}

#if defined(VELK_HAVE_MMX)
// a OP b in MMX registers; EMMS leaves the x87 state usable again.
#define VELK_MMX_OP(instruction)                                                                  \
    [](uint64_t a, uint64_t b) {                                                                  \
        uint64_t result;                                                                          \
        __asm__ volatile(                                                                         \
            "movq %1, %%mm0\n\t"                                                                  \
            "movq %2, %%mm1\n\t" instruction                                                      \
            " %%mm1, %%mm0\n\t"                                                                   \
            "movq %%mm0, %0\n\t"                                                                  \
            "emms"                                                                                \
            : "=m"(result)                                                                        \
            : "m"(a), "m"(b)                                                                      \
            : "mm0", "mm1", "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)", "st(6)", "st(7)"); \
        return result;                                                                            \
    }

struct MmxCase {
    const char* name;
    uint64_t (*run)(uint64_t, uint64_t);
    uint64_t (*model)(uint64_t, uint64_t);
};

const MmxCase kCases[] = {
    {"paddb", VELK_MMX_OP("paddb"), ModelPaddb},
    {"paddusb", VELK_MMX_OP("paddusb"), ModelPaddusb},
    {"psubsw", VELK_MMX_OP("psubsw"), ModelPsubsw},
    {"pmullw", VELK_MMX_OP("pmullw"), ModelPmullw},
    {"pmulhw", VELK_MMX_OP("pmulhw"), ModelPmulhw},
    {"pmaddwd", VELK_MMX_OP("pmaddwd"), ModelPmaddwd},
    {"pxor", VELK_MMX_OP("pxor"), ModelPxor},
    {"pand", VELK_MMX_OP("pand"), ModelPand},
    {"packsswb", VELK_MMX_OP("packsswb"), ModelPacksswb},
    {"punpcklbw", VELK_MMX_OP("punpcklbw"), ModelPunpcklbw},
};
#endif

uint64_t NextRandom(uint64_t& state) {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545F4914F6CDD1Dull;
}

}  // namespace

bool MmxBuiltIn() {
#if defined(VELK_HAVE_MMX)
    return true;
#else
    return false;
#endif
}

bool CpuidReportsMmx() {
#if defined(VELK_HAVE_MMX)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    return __get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0 && (edx & bit_MMX) != 0;
#else
    return false;
#endif
}

std::optional<CheckMismatch> CheckMmx(uint64_t seed, uint64_t rounds, CoreControl& control) {
#if defined(VELK_HAVE_MMX)
    // Fixed operands first: saturation edges and sign changes.
    const uint64_t edges[][2] = {
        {0xFFFFFFFFFFFFFFFFull, 0x0101010101010101ull},
        {0x7FFF80007FFF8000ull, 0x8000800180007FFFull},
        {0x00FF7F80FF017F00ull, 0xFF80007F01FF0080ull},
    };
    for (const auto& pair : edges) {
        for (const auto& test : kCases) {
            uint64_t got = test.run(pair[0], pair[1]), want = test.model(pair[0], pair[1]);
            if (got != want) {
                return CheckMismatch{
                    std::string(test.name) + "(" + Hex(pair[0]) + "," + Hex(pair[1]) + ")",
                    Hex(got), Hex(want)};
            }
        }
    }
    uint64_t state = seed * 0xA0761D6478BD642Full + 3;
    for (uint64_t round = 0; round < rounds; ++round) {
        uint64_t a = NextRandom(state), b = NextRandom(state);
        for (const auto& test : kCases) {
            uint64_t got = test.run(a, b), want = test.model(a, b);
            if (got != want) {
                return CheckMismatch{std::string(test.name) + "(" + Hex(a) + "," + Hex(b) + ")",
                                     Hex(got), Hex(want)};
            }
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
#else
    return CheckMismatch{"mmx", "unavailable", "available"};
#endif
}

}  // namespace velk::cpumodule
