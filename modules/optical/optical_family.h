// Which optical module tests a drive, chosen by what the drive reads, and
// whether a disc suits a module's tests.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace velk::optical {

enum class Family {
    kCd = 0,     // VeLkCdDrive: reads CDs only
    kDvd = 1,    // VeLkDvdDrive: reads DVDs, not CDs
    kCdDvd = 2,  // VeLkCdDvdDrive: reads both
};

// The family of a drive that reads CDs and/or DVDs (a drive that reads
// neither counts as a CD drive: every drive of the kernel's CD-ROM layer
// reads CDs unless it says otherwise).
Family FamilyOf(bool readsCd, bool readsDvd);

// Kinds of media by MMC profile number.
bool IsCdProfile(std::uint16_t profile);
bool IsDvdProfile(std::uint16_t profile);

// What a drive reads according to its MMC profile list.
struct ReadableMedia {
    bool cd = false;
    bool dvd = false;
};
ReadableMedia MediaOfProfiles(const std::vector<std::uint16_t>& profiles);

// True when the disc of the current profile suits a module of family (a
// data CD for kCd, a data DVD for kDvd, either for kCdDvd); an unknown
// profile (nothing, or 0) suits every family.
bool DiscSuits(Family family, std::optional<std::uint16_t> currentProfile);

}  // namespace velk::optical
