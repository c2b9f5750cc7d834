// Which optical module a drive goes to, from what its profile list says it
// reads, and which discs suit each module.
#include <gtest/gtest.h>

#include "optical_family.h"

namespace velk::optical {
namespace {

struct ProfilesCase {
    std::vector<std::uint16_t> profiles;
    Family expected;
};

class DriveFamilyTest : public ::testing::TestWithParam<ProfilesCase> {};

TEST_P(DriveFamilyTest, TheProfileListChoosesTheModule) {
    ReadableMedia media = MediaOfProfiles(GetParam().profiles);
    EXPECT_EQ(FamilyOf(media.cd, media.dvd), GetParam().expected);
}

// CD-ROM 0008h, CD-R 0009h, DVD-ROM 0010h, DVD+R 001Bh, BD-ROM 0040h.
INSTANTIATE_TEST_SUITE_P(Profiles, DriveFamilyTest,
                         ::testing::Values(ProfilesCase{{0x08, 0x09}, Family::kCd},
                                           ProfilesCase{{0x10, 0x1b}, Family::kDvd},
                                           ProfilesCase{{0x40, 0x10, 0x08}, Family::kCdDvd},
                                           ProfilesCase{{0x40}, Family::kCd}));

struct DiscCase {
    Family family;
    std::optional<std::uint16_t> current;
    bool suits;
};

class DiscSuitsTest : public ::testing::TestWithParam<DiscCase> {};

TEST_P(DiscSuitsTest, OnlyTheModulesKindOfDiscSuits) {
    EXPECT_EQ(DiscSuits(GetParam().family, GetParam().current), GetParam().suits);
}

INSTANTIATE_TEST_SUITE_P(
    Discs, DiscSuitsTest,
    ::testing::Values(DiscCase{Family::kCd, 0x08, true}, DiscCase{Family::kCd, 0x10, false},
                      DiscCase{Family::kDvd, 0x0a, false}, DiscCase{Family::kDvd, 0x2b, true},
                      DiscCase{Family::kCdDvd, 0x09, true}, DiscCase{Family::kCdDvd, 0x41, false},
                      DiscCase{Family::kCd, std::nullopt, true}, DiscCase{Family::kDvd, 0, true}));

}  // namespace
}  // namespace velk::optical
