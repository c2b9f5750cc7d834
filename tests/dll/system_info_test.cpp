// System information of a device, read from SYSINFO replies built by hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DeviceImp.h"
#include "ReplyBuilder.h"
#include "VelkCore.h"

namespace {

using namespace VELKCORE;
using velk::dlltest::Element;
using velk::dlltest::Reply;

// A SYSINFO element as the module side writes it: description, key, then
// one SYSINFO_VALUE per value.
std::string Record(const std::string& key, const std::vector<std::string>& values,
                   const std::string& description = "Description") {
    std::string content = Element("SYSINFO_DESCRIPTION", description) + Element("SYSINFO_KEY", key);
    for (const std::string& value : values) {
        content += Element("SYSINFO_VALUE", value);
    }
    return Element("SYSINFO", content);
}

std::string DeviceWith(const std::string& module, const std::string& records) {
    return Element("DEVICE", Element("TO", "1") + Element("MODULE_NAME", module) +
                                 Element("HWLOCATOR", "HW:0") + records);
}

std::vector<std::string> Values(CDevice::CSystemInfo& info) {
    std::vector<std::string> values;
    std::string value;
    info.ResetValueCursor();
    while (info.GetNextSystemInfoValue(value) == 0) {
        values.push_back(value);
    }
    return values;
}

TEST(SystemInfoTest, RecordsOfEveryModuleInOrder) {
    CDeviceImp device;
    std::string reply =
        Reply(DeviceWith("velktest.vkm", Record("VENDOR", {"Velkor"}, "Vendor") +
                                             Record("FEATURE", {"read", "write", "verify"})) +
              DeviceWith("other.vkm", Record("LOCATOR", {"HW:0"})));
    CDevice::CSystemInfo* info = nullptr;
    ASSERT_EQ(device.ReadSystemInfoReply(reply.c_str(), &info), 0);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->GetKey(), "VENDOR");
    EXPECT_EQ(info->GetDescription(), "Vendor");
    EXPECT_EQ(info->GetModuleName(), "velktest.vkm");
    EXPECT_EQ(Values(*info), std::vector<std::string>{"Velkor"});
    CDevice* iface = device.Interface();
    ASSERT_EQ(iface->GetNextSystemInfo(&info), 0);
    EXPECT_EQ(info->GetKey(), "FEATURE");
    EXPECT_EQ(Values(*info), (std::vector<std::string>{"read", "write", "verify"}));
    ASSERT_EQ(iface->GetNextSystemInfo(&info), 0);
    EXPECT_EQ(info->GetKey(), "LOCATOR");
    EXPECT_EQ(info->GetModuleName(), "other.vkm");
    EXPECT_EQ(iface->GetNextSystemInfo(&info), 1);
    EXPECT_EQ(info, nullptr);
}

TEST(SystemInfoTest, ValuesNestedInOneValueAreCollected) {
    CDeviceImp device;
    std::string nested = Element("SYSINFO_VALUE", "a") + Element("SYSINFO_VALUE", "b");
    std::string reply = Reply(DeviceWith("m.vkm", Record("LIST", {nested})));
    CDevice::CSystemInfo* info = nullptr;
    ASSERT_EQ(device.ReadSystemInfoReply(reply.c_str(), &info), 0);
    EXPECT_EQ(Values(*info), (std::vector<std::string>{"a", "b"}));
}

struct ResultCase {
    const char* what;
    std::string data;
    int result;
};

void PrintTo(const ResultCase& resultCase, std::ostream* os) {
    *os << resultCase.what;
}

class SystemInfoResultTest : public ::testing::TestWithParam<ResultCase> {};

TEST_P(SystemInfoResultTest, FirstRecordDecidesTheResult) {
    CDeviceImp device;
    CDevice::CSystemInfo* info = nullptr;
    EXPECT_EQ(device.ReadSystemInfoReply(Reply(GetParam().data).c_str(), &info), GetParam().result)
        << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SystemInfoResultTest,
    ::testing::Values(
        ResultCase{"busy",
                   DeviceWith("m.vkm", Record("Status", {"Device In Use"}) + Record("V", {"x"})),
                   3},
        ResultCase{"no information",
                   DeviceWith("m.vkm", Record("Status", {"No Information Available"})), 4},
        ResultCase{"other status", DeviceWith("m.vkm", Record("Status", {"Fine"})), 0},
        ResultCase{"no device", "", 5}, ResultCase{"no record", DeviceWith("m.vkm", ""), 5},
        ResultCase{"no description",
                   DeviceWith("m.vkm", Element("SYSINFO", Element("SYSINFO_KEY", "K") +
                                                              Element("SYSINFO_VALUE", "v"))),
                   1},
        ResultCase{"no value", DeviceWith("m.vkm", Record("K", {})), 1}));

TEST(SystemInfoTest, WithoutEngineTheRequestFailsAndClearsOldRecords) {
    CDeviceImp device;
    device.AddSystemInfo(CDevice::CSystemInfo("K", "D", {"v"}, "m"));
    CDevice::CSystemInfo* info = nullptr;
    EXPECT_EQ(device.Interface()->GetFirstSystemInfo(&info), 1);
    EXPECT_EQ(info, nullptr);
    EXPECT_TRUE(device.SystemInfo().empty());
}

}  // namespace
