#include "device_records.h"

#include <climits>
#include <set>

#include "markup_text.h"
#include "number_text.h"
#include "tracing.h"

namespace velk::engine {
namespace {

// Device type codes of optical drives that modules may use internally.
constexpr const char* kOpticalCodes[] = {"CD", "CDR", "CDRW", "DVD", "DVDPLUSRW", "DVDMINUSRW"};

std::optional<std::string> Text(const std::string& element, const char* name, int skip = 0) {
    std::optional<std::string> value = FieldOf(element, name, skip);
    if (value) {
        *value = NeutraliseMarkup(*value);
    }
    return value;
}

std::optional<ModuleDevice> ParseDevice(const std::string& element) {
    if (!IsBalancedMarkup(element)) {
        VTRACE(VELK_TRACE_DE, "dropped a device whose markup does not nest: %s\n", element.c_str());
        return std::nullopt;
    }
    std::optional<std::string> didText = FieldOf(element, "DID");
    // The client reads a DID as a signed 32-bit number.
    std::optional<unsigned> parsed = didText ? ParseUnsigned(*didText) : std::nullopt;
    const unsigned did = parsed.value_or(UINT_MAX);
    std::optional<std::string> hwLocator = Text(element, "HWLOCATOR");
    if (did > static_cast<unsigned>(INT_MAX) || !hwLocator || hwLocator->empty()) {
        VTRACE(VELK_TRACE_DE, "dropped a device without DID or HWLOCATOR: %s\n", element.c_str());
        return std::nullopt;
    }
    ModuleDevice device;
    device.did = did;
    device.hwLocator = *hwLocator;
    device.name = Text(element, "NAME").value_or("");
    device.description = Text(element, "DESCRIPTION");
    device.osLocator = Text(element, "OSLOCATOR").value_or("");
    device.devType = ClientDeviceType(Text(element, "DEVTYPE").value_or(""));
    device.busType = Text(element, "BUSTYPE");
    for (std::size_t i = 0; i < device.fru.size(); ++i) {
        device.fru[i] = Text(element, ModuleDevice::kFruNames[i]);
    }
    for (int k = 0;; ++k) {
        std::optional<std::string> field = Text(element, "FRU_ADDINFO_FIELD", k);
        if (!field) {
            break;
        }
        device.fruAdditional.push_back(
            FruAdditionalInfo{*field, Text(element, "FRU_ADDINFO_DESC", k).value_or(""),
                              Text(element, "FRU_ADDINFO_VALUE", k).value_or("")});
    }
    std::optional<std::string> tests = Text(element, "TESTS_SUPPORTED");
    if (tests && !tests->empty()) {
        device.testsSupported = *tests;
    }
    device.element = element;
    return device;
}

}  // namespace

bool ModuleDevice::HasFru() const {
    for (const std::optional<std::string>& field : fru) {
        if (field) {
            return true;
        }
    }
    return !fruAdditional.empty();
}

bool ModuleDevice::Supports(int test) const {
    std::string_view list = testsSupported;
    while (!list.empty()) {
        std::string_view::size_type comma = list.find(',');
        std::string_view entry = list.substr(0, comma);
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        while (!entry.empty() && entry.front() == ' ') {
            entry.remove_prefix(1);
        }
        while (!entry.empty() && entry.back() == ' ') {
            entry.remove_suffix(1);
        }
        if (entry == "*") {
            return true;
        }
        std::optional<int> index = ParseInt(entry);
        if (index && *index == test) {
            return true;
        }
    }
    return false;
}

std::string ClientDeviceType(const std::string& code) {
    for (const char* optical : kOpticalCodes) {
        if (code == optical) {
            return "OPTICAL";
        }
    }
    return code;
}

ParsedDevices ParseEnumerationData(const std::string& data) {
    ParsedDevices parsed;
    std::set<unsigned> seen;
    for (const std::string& element : SplitElements(data, "<DEVICE>", "</DEVICE>")) {
        std::optional<ModuleDevice> device = ParseDevice(element);
        if (!device || !seen.insert(device->did).second) {
            ++parsed.dropped;
            continue;
        }
        parsed.devices.push_back(std::move(*device));
    }
    return parsed;
}

}  // namespace velk::engine
