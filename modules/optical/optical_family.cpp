#include "optical_family.h"

namespace velk::optical {

Family FamilyOf(bool readsCd, bool readsDvd) {
    if (readsDvd) {
        return readsCd ? Family::kCdDvd : Family::kDvd;
    }
    return Family::kCd;
}

bool IsCdProfile(std::uint16_t profile) {
    return profile >= 0x08 && profile <= 0x0a;
}

bool IsDvdProfile(std::uint16_t profile) {
    return profile >= 0x10 && profile <= 0x2b;
}

ReadableMedia MediaOfProfiles(const std::vector<std::uint16_t>& profiles) {
    ReadableMedia media;
    for (std::uint16_t profile : profiles) {
        media.cd = media.cd || IsCdProfile(profile);
        media.dvd = media.dvd || IsDvdProfile(profile);
    }
    return media;
}

bool DiscSuits(Family family, std::optional<std::uint16_t> currentProfile) {
    if (!currentProfile || *currentProfile == 0) {
        return true;
    }
    bool cd = IsCdProfile(*currentProfile);
    bool dvd = IsDvdProfile(*currentProfile);
    switch (family) {
        case Family::kCd:
            return cd;
        case Family::kDvd:
            return dvd;
        case Family::kCdDvd:
            return cd || dvd;
    }
    return false;
}

}  // namespace velk::optical
