// The test environment against the real engine (velkcore) and the test
// module (velktest) in a private sandbox: starting from nothing, the devices
// and tests as the module defines them, parameter validation by the module,
// and translation by the NLS engine.  Teardown checks that Stop ends the
// engine and leaves no FIFO.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DeviceImp.h"
#include "Sandbox.h"
#include "TestEnvironmentImp.h"
#include "TestImp.h"
#include "TestParamImp.h"
#include "VelkCore.h"

namespace {

using namespace VELKCORE;
using velk::dlltest::FifoHasReader;
using velk::dlltest::IniValue;
using velk::dlltest::ReadIniSection;
using velk::dlltest::Sandbox;
using velk::dlltest::TestModuleFile;

using Ini = std::map<std::string, std::string>;

class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::optional<std::string> vkm = TestModuleFile(".vkm");
        std::optional<std::string> nls = TestModuleFile(".nls");
        ASSERT_TRUE(vkm && nls) << "the test module is not built";
        module_ = ReadIniSection(*vkm, "Module");
        english_ = ReadIniSection(*nls, "EN");
        german_ = ReadIniSection(*nls, "DE");
        sandbox_ = std::make_unique<Sandbox>();
        environment_ = std::make_unique<CTestEnvironment>();
        ASSERT_EQ(environment_->SetVelkHomeDir(sandbox_->BinDir()), 0);
    }

    void TearDown() override {
        CTestEnvironmentImp::SetOutputLanguage(CNLS::EN);
        velk::dlltest::StopEnvironment(environment_);
        if (sandbox_ != nullptr) {
            velk::dlltest::ExpectNothingLeft(*sandbox_);
        }
        sandbox_.reset();
    }

    std::string Module(const std::string& key) const {
        auto found = module_.find(key);
        return found != module_.end() ? found->second : std::string();
    }
    std::string Keyed(const char* base, int test, int parameter = -1) const {
        std::string key = std::string(base) + "[" + std::to_string(test) + "]";
        if (parameter >= 0) {
            key += "[" + std::to_string(parameter) + "]";
        }
        std::transform(key.begin(), key.end(), key.begin(), ::tolower);
        return Module(key);
    }
    std::string English(const std::string& id) const { return IniValue(english_, id); }
    std::string German(const std::string& id) const { return IniValue(german_, id); }

    std::vector<CDevice*> Devices() {
        std::vector<CDevice*> devices;
        unsigned int count = 0;
        environment_->GetDeviceArraySize(count);
        for (unsigned int i = 0; i < count; ++i) {
            CDevice* device = nullptr;
            environment_->GetDeviceArrayElement(i, &device);
            devices.push_back(device);
        }
        return devices;
    }
    std::vector<CTest*> Tests(CDevice* device) {
        std::vector<CTest*> tests;
        unsigned int count = 0;
        device->GetTestArraySize(count);
        for (unsigned int i = 0; i < count; ++i) {
            CTest* test = nullptr;
            device->GetTestArrayElement(i, &test);
            tests.push_back(test);
        }
        return tests;
    }
    // The first test with the module's index.
    CTest* FindTest(int index) {
        for (CDevice* device : Devices()) {
            for (CTest* test : Tests(device)) {
                std::string module;
                int testIndex = -1;
                test->GetModuleIdAndIndex(module, testIndex);
                if (module == Module("szmoduleid") && testIndex == index) {
                    return test;
                }
            }
        }
        return nullptr;
    }
    CTestParameter* FindParameter(CTest* test, const std::string& id) {
        unsigned int count = 0;
        test->GetParameterArraySize(count);
        for (unsigned int i = 0; i < count; ++i) {
            CTestParameter* parameter = nullptr;
            test->GetParameterArrayElement(i, &parameter);
            std::string parameterId;
            parameter->GetId(parameterId);
            if (parameterId == id) {
                return parameter;
            }
        }
        return nullptr;
    }
    CTestParameter::State Apply(CTestParameter* parameter, const std::string& value) {
        EXPECT_EQ(parameter->ApplyValue(value), 0) << value;
        CTestParameter::State state = CTestParameter::NOT_APPLIED;
        parameter->GetState(state);
        return state;
    }
    CTestEnvironment::State State() const { return environment_->Imp()->State(); }

    Ini module_;
    Ini english_;
    Ini german_;
    std::unique_ptr<Sandbox> sandbox_;
    std::unique_ptr<CTestEnvironment> environment_;
};

TEST_F(EngineTest, StartLaunchesTheEngineAndReadsTheTestsTheModuleDefines) {
    ASSERT_FALSE(FifoHasReader(sandbox_->BrokerFifo()));
    ASSERT_EQ(environment_->Start(), 0);
    EXPECT_EQ(State(), CTestEnvironment::READY);
    EXPECT_GT(environment_->GetEnginePid(), 0);
    std::vector<CDevice*> devices = Devices();
    ASSERT_FALSE(devices.empty());
    int numberOfTests = std::stoi(Module("inumtests"));
    bool sawAdditionalFru = false;
    for (CDevice* device : devices) {
        std::string text;
        device->GetHWLocator(text);
        EXPECT_NE(text, "UNDEF");
        device->GetName(text);
        EXPECT_EQ(text.find("<NLS"), std::string::npos) << "untranslated name " << text;
        CDevice::CAdditionalInfo* info = nullptr;
        sawAdditionalFru = sawAdditionalFru || device->GetFirstAdditionalInfo(&info) == 0;
        std::vector<CTest*> tests = Tests(device);
        EXPECT_FALSE(tests.empty());
        for (CTest* test : tests) {
            std::string module;
            int index = -1;
            test->GetModuleIdAndIndex(module, index);
            EXPECT_EQ(module, Module("szmoduleid"));
            ASSERT_GE(index, 0);
            ASSERT_LT(index, numberOfTests);
            CDevice* owner = nullptr;
            test->GetDevice(&owner);
            EXPECT_EQ(owner, device);
            test->GetName(text);
            EXPECT_EQ(text, English(Keyed("szTestName", index)));
            int number = 0;
            test->GetTimeOut(number);
            EXPECT_EQ(number, std::stoi(Keyed("iTestTimeout", index)));
            test->GetEstimatedDuration(number);
            EXPECT_EQ(number, std::stoi(Keyed("iTestEstDuration", index)));
            bool destructive = true;
            test->GetDestructive(destructive);
            EXPECT_EQ(destructive, (std::stoi(Keyed("iTestFlags", index)) & 0x10) != 0);
            test->GetModuleVersion(text);
            EXPECT_EQ(text, Module("szversion"));
            unsigned int parameters = 0;
            test->GetParameterArraySize(parameters);
            for (unsigned int p = 0; p < parameters; ++p) {
                CTestParameter* parameter = nullptr;
                test->GetParameterArrayElement(p, &parameter);
                parameter->GetId(text);
                EXPECT_EQ(text, Keyed("szParameterId", index, static_cast<int>(p)));
                parameter->GetType(text);
                EXPECT_EQ(text, Keyed("szParameterType", index, static_cast<int>(p)));
                parameter->GetDefaultValue(text);
                EXPECT_EQ(text, Keyed("szParameterDefaultValue", index, static_cast<int>(p)));
            }
            EXPECT_TRUE(Keyed("szParameterId", index, static_cast<int>(parameters)).empty())
                << "parameters missing for test " << index;
        }
    }
    EXPECT_TRUE(sawAdditionalFru);
}

TEST_F(EngineTest, EngineJudgesParameterValues) {
    ASSERT_EQ(environment_->Start(), 0);
    // A test with an integer parameter that has both limits in the module's
    // definitions.
    CTest* test = nullptr;
    std::string id;
    long minimum = 0;
    long maximum = 0;
    for (int t = 0; t < std::stoi(Module("inumtests")) && test == nullptr; ++t) {
        for (int p = 0; !Keyed("szParameterId", t, p).empty() && test == nullptr; ++p) {
            std::string type = Keyed("szParameterType", t, p);
            std::string low = Keyed("iParameterMinValue", t, p);
            std::string high = Keyed("iParameterMaxValue", t, p);
            if ((type == "int32" || type == "uint32") && !low.empty() && !high.empty()) {
                test = FindTest(t);
                id = Keyed("szParameterId", t, p);
                minimum = std::stol(low);
                maximum = std::stol(high);
            }
        }
    }
    ASSERT_NE(test, nullptr) << "the module defines no limited integer parameter";
    CTestParameter* parameter = FindParameter(test, id);
    ASSERT_NE(parameter, nullptr);

    std::string bound;
    EXPECT_EQ(parameter->GetMaxVal(bound), 0);  // validates first
    EXPECT_EQ(bound, std::to_string(maximum));
    EXPECT_EQ(Apply(parameter, std::to_string(maximum + 1)), CTestParameter::VALUE_TOO_BIG);
    EXPECT_EQ(Apply(parameter, std::to_string(minimum - 1)), CTestParameter::VALUE_TOO_SMALL);
    EXPECT_EQ(Apply(parameter, "twelve"), CTestParameter::VALUE_BAD);
    EXPECT_EQ(Apply(parameter, std::to_string(minimum)), CTestParameter::VALID);
    EXPECT_EQ(Apply(parameter, "1:2"), CTestParameter::VALUE_BAD);

    // The percentage to test is checked by the module interface itself.
    CTestParamImp* percent = test->Imp()->PercentToTest();
    EXPECT_EQ(Apply(percent->Interface(), "0"), CTestParameter::VALUE_TOO_SMALL);
    EXPECT_EQ(Apply(percent->Interface(), "100"), CTestParameter::VALID);
    EXPECT_EQ(Apply(percent->Interface(), "100.5"), CTestParameter::VALUE_TOO_BIG);
}

TEST_F(EngineTest, TextsAreTranslatedByTheNlsEngine) {
    ASSERT_EQ(environment_->Start(), 0);
    CTest* quick = FindTest(0);
    ASSERT_NE(quick, nullptr);
    std::string nameId = Keyed("szTestName", 0);
    ASSERT_FALSE(German(nameId).empty()) << "no German text for " << nameId;
    CNLS* nls = nullptr;
    environment_->GetNLS(&nls);
    std::string name;
    nls->SetOutputLanguage(CNLS::DE);
    quick->GetName(name);
    EXPECT_EQ(name, German(nameId));
    nls->SetOutputLanguage(CNLS::EN);
    quick->GetName(name);
    EXPECT_EQ(name, English(nameId));
    // French is not in the string file: English is shown.
    nls->SetOutputLanguage(CNLS::FR);
    quick->GetName(name);
    EXPECT_EQ(name, English(nameId));
}

}  // namespace
