// The test environment against the real engine (velkcore) and the test
// module (velktest) in a private sandbox: starting from nothing, the devices
// and tests as the module defines them.  Teardown checks that Stop ends the
// engine and leaves no FIFO.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "RunFixture.h"

namespace {

using namespace VELKCORE;
using namespace velk::dlltest;

using Ini = std::map<std::string, std::string>;

class EngineTest : public RunFixture {
  protected:
    void SetUp() override {
        std::optional<std::string> vkm = TestModuleFile(".vkm");
        std::optional<std::string> nls = TestModuleFile(".nls");
        ASSERT_TRUE(vkm && nls) << "the test module is not built";
        module_ = ReadIniSection(*vkm, "Module");
        english_ = ReadIniSection(*nls, "EN");
        RunFixture::SetUp();
    }
    std::string Module(const std::string& key) const { return IniValue(module_, key); }
    std::string Keyed(const char* base, int test, int parameter = -1) const {
        std::string key = std::string(base) + "[" + std::to_string(test) + "]";
        return Module(parameter >= 0 ? key + "[" + std::to_string(parameter) + "]" : key);
    }
    std::string English(const std::string& id) const { return IniValue(english_, id); }

    Ini module_;
    Ini english_;
};

TEST_F(EngineTest, StartLaunchesTheEngineAndReadsTheTestsTheModuleDefines) {
    EXPECT_EQ(environment_->Imp()->State(), CTestEnvironment::READY);
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

}  // namespace
