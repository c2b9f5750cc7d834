// velkcli's records and output forms, from device lists built by hand.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <string>

#include "Catalog.h"
#include "EngineSession.h"
#include "Output.h"
#include "ReplyBuilder.h"
#include "TestEnvironmentImp.h"
#include "TestParamImp.h"
#include "VelkCore.h"

namespace {

using namespace velkcli;
using namespace velk::dlltest;
using VELKCORE::CNLS;
using VELKCORE::CTestEnvironment;

TEST(JsonStringTest, EscapesQuotesBackslashesAndControls) {
    EXPECT_EQ(JsonString("plain"), "\"plain\"");
    EXPECT_EQ(JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(JsonString("line\nnext\ttab\r"), "\"line\\nnext\\ttab\\r\"");
    EXPECT_EQ(JsonString(std::string("\x01\x1f", 2)), "\"\\u0001\\u001f\"");
    EXPECT_EQ(JsonString("Ger\xC3\xA4t"), "\"Ger\xC3\xA4t\"");
}

TEST(TableTest, AlignsColumnsAndShowsEmptyCellsAsDashes) {
    EXPECT_EQ(Table({{"A", "BB", "C"}, {"long", "", "x"}}), "A     BB  C\nlong  -   x\n");
    EXPECT_EQ(Table({{"N", "V"}, {"Ger\xC3\xA4t", "1"}}, "  "), "  N      V\n  Ger\xC3\xA4t  1\n");
}

class CatalogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string fru =
            Element("FRU_MANUFACTURER", "Velkor") + Element("FRU_MODELNUMBER", "VT-1000") +
            Element("FRU_ADDINFO_FIELD", "CACHE") + Element("FRU_ADDINFO_DESC", "Cache size") +
            Element("FRU_ADDINFO_VALUE", "8 \"MB\"");
        std::string parameters = Element(
            "TEST_PROPERTIES",
            Element("PROPERTY", Element("ID", "COUNT") + Element("TYPE", "uint32") +
                                    Element("NAME", "Count") + Element("DEFAULT_VALUE", "200") +
                                    Element("MIN_VALUE", "1") + Element("MAX_VALUE", "100000") +
                                    Element("MUST_BE_SET", "1")));
        std::string tests = TestElement(0, "Quick test",
                                        Element("FLAGS", "24") + Element("TIMEOUT", "60") +
                                            Element("EST_DURATION", "1") + parameters) +
                            TestElement(1, "Timed test", Element("FLAGS", "0"));
        std::string data =
            Device(DeviceHead("Disk 0", "IDE:0:0") + fru + Component("VeLkTest", "1", tests)) +
            Device(DeviceHead("Port", "COM:1:03f8", "COM", "/dev/ttyS0") +
                   Component("VeLkTest", "4", TestElement(0, "Quick test")));
        ASSERT_EQ(environment_.Imp()->ReadDeviceList(Reply(data).c_str(), false), 0);
    }
    void TearDown() override { VELKCORE::CTestEnvironmentImp::SetOutputLanguage(CNLS::EN); }

    CTestEnvironment environment_;
};

TEST_F(CatalogTest, CollectsTestsWithCimNamesFlagsAndParameters) {
    std::vector<DeviceTests> all = CollectTests(environment_, std::nullopt, CNLS::DE);
    ASSERT_EQ(all.size(), 2u);
    ASSERT_EQ(all[0].tests.size(), 2u);
    const TestInfo& quick = all[0].tests[0];
    EXPECT_EQ(quick.cimName, "VeLkTest:0:Quick test");
    EXPECT_EQ(quick.flags, (std::vector<std::string>{"risky", "destructive"}));
    EXPECT_EQ(quick.timeoutSeconds, 60);
    EXPECT_EQ(quick.durationSeconds, 1);
    EXPECT_FALSE(all[0].tests[1].timeoutSeconds.has_value());
    ASSERT_EQ(quick.parameters.size(), 1u);
    EXPECT_EQ(quick.parameters[0].minimum, "1");
    EXPECT_EQ(quick.parameters[0].maximum, "100000");
    EXPECT_TRUE(quick.parameters[0].mustBeSet);
    EXPECT_EQ(VELKCORE::CTestEnvironmentImp::GetOutputLanguage(), CNLS::DE);
    // Listing validated nothing.
    VELKCORE::CTest* test = nullptr;
    VELKCORE::CDevice* device = nullptr;
    environment_.GetDeviceArrayElement(0, &device);
    device->GetTestArrayElement(0, &test);
    VELKCORE::CTestParameter* parameter = nullptr;
    test->GetParameterArrayElement(0, &parameter);
    EXPECT_FALSE(parameter->Imp()->Validated());
}

TEST_F(CatalogTest, TablesShowEveryRecord) {
    std::string devices = DevicesTable(CollectDevices(environment_, CNLS::EN));
    EXPECT_EQ(devices.substr(0, devices.find('\n')),
              "NAME    TYPE  OS LOCATOR  HW LOCATOR  MANUFACTURER  MODEL    SERIAL  FIRMWARE  "
              "FIRMWARE DATE  PHYSICAL ADDRESS");
    EXPECT_NE(devices.find("Disk 0  HD    /dev/sda    IDE:0:0     Velkor        VT-1000  -"),
              std::string::npos)
        << devices;
    EXPECT_NE(devices.find("Additional FRU information:\n"), std::string::npos);
    EXPECT_NE(devices.find("IDE:0:0     CACHE  Cache size   8 \"MB\""), std::string::npos)
        << devices;
    std::string tests = TestsTable(CollectTests(environment_, std::nullopt, CNLS::EN));
    EXPECT_NE(tests.find("Disk 0 [HD, IDE:0:0]\n"), std::string::npos) << tests;
    EXPECT_NE(tests.find("VeLkTest:0:Quick test  Quick test  risky,destructive  60 s      1 s"),
              std::string::npos)
        << tests;
    EXPECT_NE(tests.find("  Parameters of VeLkTest:0:Quick test:\n"
                         "    PARAMETER  TYPE    DEFAULT  MIN  MAX     NAME\n"
                         "    COUNT      uint32  200      1    100000  Count\n"),
              std::string::npos)
        << tests;
    EXPECT_EQ(DevicesTable({}), "No devices.\n");
}

TEST_F(CatalogTest, JsonHoldsEveryField) {
    std::string devices = DevicesJson(CollectDevices(environment_, CNLS::EN));
    EXPECT_NE(devices.find("\"hwLocator\": \"IDE:0:0\""), std::string::npos) << devices;
    EXPECT_NE(devices.find("\"serialNumber\": null"), std::string::npos);
    EXPECT_NE(devices.find("{\"field\": \"CACHE\", \"description\": \"Cache size\", "
                           "\"value\": \"8 \\\"MB\\\"\"}"),
              std::string::npos)
        << devices;
    std::string tests = TestsJson(CollectTests(environment_, std::nullopt, CNLS::EN));
    EXPECT_NE(tests.find("\"cimName\": \"VeLkTest:0:Quick test\""), std::string::npos) << tests;
    EXPECT_NE(tests.find("\"flags\": [\"risky\", \"destructive\"]"), std::string::npos);
    EXPECT_NE(tests.find("\"timeoutSeconds\": null"), std::string::npos);
    EXPECT_NE(tests.find("\"minimum\": \"1\", \"maximum\": \"100000\", \"mustBeSet\": true"),
              std::string::npos)
        << tests;
    EXPECT_EQ(DevicesJson({}), "{\n  \"devices\": []\n}\n");
    EXPECT_NO_THROW(nlohmann::json::parse(devices)) << devices;
    EXPECT_NO_THROW(nlohmann::json::parse(tests)) << tests;
}

TEST(HomeTest, OptionThenEnvironmentThenDefault) {
    const char* saved = std::getenv("VELKOR_HOME");
    std::string savedValue = saved != nullptr ? saved : "";
    setenv("VELKOR_HOME", "/from/env", 1);
    EXPECT_EQ(ResolveHome(std::string("/from/option")), "/from/option");
    EXPECT_EQ(ResolveHome(std::nullopt), "/from/env");
    unsetenv("VELKOR_HOME");
    EXPECT_EQ(ResolveHome(std::nullopt), "/opt/Velkor/bin");
    EXPECT_EQ(ResolveHome(std::string("")), "/opt/Velkor/bin");
    if (saved != nullptr) {
        setenv("VELKOR_HOME", savedValue.c_str(), 1);
    }
}

}  // namespace
