// What velkcli shows, collected from the engine client objects into plain
// records: the devices with their FRU data, and per device the tests with
// their flags, times and parameters.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "NLS.h"

namespace VELKCORE {
class CTest;
class CTestEnvironment;
}  // namespace VELKCORE

namespace velkcli {

// Values the engine did not give ("UNDEF") are empty.
struct AdditionalInfo {
    std::string field;
    std::string description;
    std::string value;
};

struct DeviceInfo {
    std::string name;
    std::string description;
    std::string type;
    std::string osLocator;
    std::string hwLocator;
    std::string manufacturer;
    std::string modelNumber;
    std::string serialNumber;
    std::string firmwareRevision;
    std::string firmwareDate;
    std::string physicalAddress;
    std::vector<AdditionalInfo> additionalInfo;
};

struct ParameterInfo {
    std::string id;
    std::string name;
    std::string description;
    std::string type;
    std::string defaultValue;
    std::optional<std::string> minimum;
    std::optional<std::string> maximum;
    bool mustBeSet = false;
    bool recommendValidate = false;
};

struct TestInfo {
    // Module id, ":", the test's index in its module, ":", the English test
    // name: the name the CIM provider publishes.
    std::string cimName;
    std::string name;  // in the output language
    std::string description;
    std::string moduleId;
    int index = -1;
    std::vector<std::string> flags;
    std::optional<int> timeoutSeconds;
    std::optional<int> durationSeconds;
    std::vector<ParameterInfo> parameters;
};

struct DeviceTests {
    DeviceInfo device;
    std::vector<TestInfo> tests;
};

// "UNDEF" becomes "".
std::string Defined(const std::string& text);

// The flags of a test in words, in bit order: "interactive", "fixture",
// "fixture-prompt", "risky", "destructive", "software", "self-fix",
// "self-help".
std::vector<std::string> FlagWords(const VELKCORE::CTest& test);

// Texts come in language (the output language is left set to it).
std::vector<DeviceInfo> CollectDevices(const VELKCORE::CTestEnvironment& environment,
                                       VELKCORE::CNLS::LanguageId language);
// The tests of every device, or of the device with hwLocator only.
std::vector<DeviceTests> CollectTests(const VELKCORE::CTestEnvironment& environment,
                                      const std::optional<std::string>& hwLocator,
                                      VELKCORE::CNLS::LanguageId language);

}  // namespace velkcli
