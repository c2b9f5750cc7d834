#include "Catalog.h"

#include "TestParamImp.h"
#include "VelkCore.h"

namespace velkcli {

using namespace VELKCORE;

namespace {

void SetLanguage(const CTestEnvironment& environment, CNLS::LanguageId language) {
    CNLS* nls = nullptr;
    environment.GetNLS(&nls);
    nls->SetOutputLanguage(language);
}

std::vector<CDevice*> Devices(const CTestEnvironment& environment) {
    std::vector<CDevice*> devices;
    unsigned int count = 0;
    environment.GetDeviceArraySize(count);
    for (unsigned int i = 0; i < count; ++i) {
        CDevice* device = nullptr;
        environment.GetDeviceArrayElement(i, &device);
        if (device != nullptr) {
            devices.push_back(device);
        }
    }
    return devices;
}

std::vector<CTest*> Tests(const CDevice& device) {
    std::vector<CTest*> tests;
    unsigned int count = 0;
    device.GetTestArraySize(count);
    for (unsigned int i = 0; i < count; ++i) {
        CTest* test = nullptr;
        device.GetTestArrayElement(i, &test);
        if (test != nullptr) {
            tests.push_back(test);
        }
    }
    return tests;
}

DeviceInfo Describe(CDevice& device) {
    DeviceInfo info;
    std::string text;
    auto read = [&text](int (CDevice::*getter)(std::string&) const, const CDevice& from) {
        (from.*getter)(text);
        return Defined(text);
    };
    info.name = read(&CDevice::GetName, device);
    info.description = read(&CDevice::GetDescription, device);
    info.type = read(&CDevice::GetDeviceType, device);
    info.osLocator = read(&CDevice::GetOSLocator, device);
    info.hwLocator = read(&CDevice::GetHWLocator, device);
    info.manufacturer = read(&CDevice::GetManufacturer, device);
    info.modelNumber = read(&CDevice::GetModelNumber, device);
    info.serialNumber = read(&CDevice::GetSerialNumber, device);
    info.firmwareRevision = read(&CDevice::GetFirmwareRev, device);
    info.firmwareDate = read(&CDevice::GetFirmwareDate, device);
    info.physicalAddress = read(&CDevice::GetPhysicalAddr, device);
    CDevice::CAdditionalInfo* record = nullptr;
    for (int result = device.GetFirstAdditionalInfo(&record); result == CDevice::OK;
         result = device.GetNextAdditionalInfo(&record)) {
        info.additionalInfo.push_back(AdditionalInfo{Defined(record->GetField()),
                                                     Defined(record->GetDescription()),
                                                     Defined(record->GetValue())});
    }
    return info;
}

ParameterInfo DescribeParameter(const CTestParameter& parameter) {
    ParameterInfo info;
    std::string text;
    parameter.GetId(text);
    info.id = Defined(text);
    parameter.GetName(text);
    info.name = Defined(text);
    parameter.GetDescription(text);
    info.description = Defined(text);
    parameter.GetType(text);
    info.type = Defined(text);
    parameter.GetDefaultValue(text);
    info.defaultValue = Defined(text);
    bool flag = false;
    // The bounds the engine described; listing must not validate anything.
    parameter.HasMinVal(flag);
    if (flag) {
        info.minimum = parameter.Imp()->MinValue();
    }
    parameter.HasMaxVal(flag);
    if (flag) {
        info.maximum = parameter.Imp()->MaxValue();
    }
    parameter.HasToBeApplied(info.mustBeSet);
    parameter.HasRequestedValidation(info.recommendValidate);
    return info;
}

TestInfo DescribeTest(const CTest& test) {
    TestInfo info;
    std::string text;
    test.GetModuleIdAndIndex(info.moduleId, info.index);
    test.GetName(text);
    info.name = Defined(text);
    test.GetDescription(text);
    info.description = Defined(text);
    info.flags = FlagWords(test);
    int seconds = -1;
    test.GetTimeOut(seconds);
    if (seconds >= 0) {
        info.timeoutSeconds = seconds;
    }
    test.GetEstimatedDuration(seconds);
    if (seconds >= 0) {
        info.durationSeconds = seconds;
    }
    unsigned int count = 0;
    test.GetParameterArraySize(count);
    for (unsigned int i = 0; i < count; ++i) {
        CTestParameter* parameter = nullptr;
        if (test.GetParameterArrayElement(i, &parameter) == CTest::OK && parameter != nullptr) {
            info.parameters.push_back(DescribeParameter(*parameter));
        }
    }
    return info;
}

}  // namespace

std::string Defined(const std::string& text) {
    return text == "UNDEF" ? std::string() : text;
}

std::vector<std::string> FlagWords(const CTest& test) {
    using Getter = int (CTest::*)(bool&) const;
    struct Flag {
        Getter getter;
        const char* word;
    };
    const Flag flags[] = {{&CTest::GetInteractive, "interactive"},
                          {&CTest::GetRequiresFixture, "fixture"},
                          {&CTest::GetShowFixturePromptEveryRun, "fixture-prompt"},
                          {&CTest::GetRisky, "risky"},
                          {&CTest::GetDestructive, "destructive"},
                          {&CTest::GetSoftareDiag, "software"},
                          {&CTest::GetSelfFixIfPossible, "self-fix"},
                          {&CTest::GetSelfHelp, "self-help"}};
    std::vector<std::string> words;
    for (const Flag& flag : flags) {
        bool set = false;
        (test.*flag.getter)(set);
        if (set) {
            words.emplace_back(flag.word);
        }
    }
    return words;
}

std::vector<DeviceInfo> CollectDevices(const CTestEnvironment& environment,
                                       CNLS::LanguageId language) {
    SetLanguage(environment, language);
    std::vector<DeviceInfo> devices;
    for (CDevice* device : Devices(environment)) {
        devices.push_back(Describe(*device));
    }
    return devices;
}

std::vector<DeviceTests> CollectTests(const CTestEnvironment& environment,
                                      const std::optional<std::string>& hwLocator,
                                      CNLS::LanguageId language) {
    std::vector<DeviceTests> result;
    std::vector<std::vector<std::string>> englishNames;
    // CIM test names are built from the English names, as the provider
    // publishes them; everything else comes in the chosen language.
    SetLanguage(environment, CNLS::EN);
    std::vector<CDevice*> chosen;
    for (CDevice* device : Devices(environment)) {
        std::string locator;
        device->GetHWLocator(locator);
        if (hwLocator && locator != *hwLocator) {
            continue;
        }
        chosen.push_back(device);
        std::vector<std::string> names;
        for (CTest* test : Tests(*device)) {
            std::string name;
            test->GetName(name);
            names.push_back(name);
        }
        englishNames.push_back(std::move(names));
    }
    SetLanguage(environment, language);
    for (size_t d = 0; d < chosen.size(); ++d) {
        DeviceTests entry;
        entry.device = Describe(*chosen[d]);
        std::vector<CTest*> tests = Tests(*chosen[d]);
        for (size_t t = 0; t < tests.size(); ++t) {
            TestInfo info = DescribeTest(*tests[t]);
            info.cimName =
                info.moduleId + ":" + std::to_string(info.index) + ":" + englishNames[d][t];
            entry.tests.push_back(std::move(info));
        }
        result.push_back(std::move(entry));
    }
    return result;
}

}  // namespace velkcli
