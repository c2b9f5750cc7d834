// The devices a module reported in its enumeration reply (DE_ENUMDATA), one
// record per DEVICE element:
//
//   <DEVICE><DID>1</DID><NAME>..</NAME><DESCRIPTION>..</DESCRIPTION>
//   <OSLOCATOR>..</OSLOCATOR><HWLOCATOR>..</HWLOCATOR><DEVTYPE>..</DEVTYPE>
//   <BUSTYPE>..</BUSTYPE>[FRU fields]<TESTS_SUPPORTED>*</TESTS_SUPPORTED>
//   </DEVICE>
//
// A DEVICE element is dropped as malformed when its markup does not nest,
// when DID is not a decimal number, when HWLOCATOR is missing or empty, or
// when the module reported its DID before.  Texts are kept with stray markup
// neutralised (markup_text.h); the element itself is kept as the module sent
// it, for the module's own device list.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace velk::engine {

struct FruAdditionalInfo {
    std::string field;
    std::string description;
    std::string value;
};

struct ModuleDevice {
    static constexpr std::array<const char*, 6> kFruNames = {"FRU_MANUFACTURER", "FRU_MODELNUMBER",
                                                             "FRU_SERIALNUMBER", "FRU_FIRMWAREREV",
                                                             "FRU_FIRMWAREDATE", "FRU_PHYSADDRESS"};

    unsigned did = 0;
    std::string name;
    std::optional<std::string> description;
    std::string osLocator;
    std::string hwLocator;
    std::string devType;
    std::optional<std::string> busType;
    std::array<std::optional<std::string>, 6> fru;  // in the order of kFruNames
    std::vector<FruAdditionalInfo> fruAdditional;
    std::string testsSupported = "*";
    std::string element;  // the content of the DEVICE element, as sent

    bool HasFru() const;
    // Whether TESTS_SUPPORTED ("*", or test indexes separated by commas)
    // holds test.
    bool Supports(int test) const;
};

struct ParsedDevices {
    std::vector<ModuleDevice> devices;
    unsigned dropped = 0;
};

// The devices of the DATA of a DE_ENUMDATA message.
ParsedDevices ParseEnumerationData(const std::string& data);

// The engine client's type text for a module's device type code: optical
// drive codes become "OPTICAL"; every other code stays as it is.
std::string ClientDeviceType(const std::string& code);

}  // namespace velk::engine
