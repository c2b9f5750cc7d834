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

TEST(SystemInfoTest, StatusRecordsReportBusyOrNoInformation) {
    CDeviceImp device;
    CDevice::CSystemInfo* info = nullptr;
    std::string busy =
        Reply(DeviceWith("m.vkm", Record("Status", {"Device In Use"}) + Record("VENDOR", {"x"})));
    EXPECT_EQ(device.ReadSystemInfoReply(busy.c_str(), &info), 3);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->GetKey(), "Status");
    EXPECT_EQ(Values(*info), std::vector<std::string>{"Device In Use"});
    EXPECT_EQ(device.Interface()->GetNextSystemInfo(&info), 0);
    std::string none = Reply(DeviceWith("m.vkm", Record("Status", {"No Information Available"})));
    EXPECT_EQ(device.ReadSystemInfoReply(none.c_str(), &info), 4);
    std::string other = Reply(DeviceWith("m.vkm", Record("Status", {"Fine"})));
    EXPECT_EQ(device.ReadSystemInfoReply(other.c_str(), &info), 0);
}

TEST(SystemInfoTest, NoRecordGivesFive) {
    CDeviceImp device;
    CDevice::CSystemInfo* info = nullptr;
    EXPECT_EQ(device.ReadSystemInfoReply(Reply("").c_str(), &info), 5);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(device.ReadSystemInfoReply(Reply(DeviceWith("m.vkm", "")).c_str(), &info), 5);
    EXPECT_EQ(device.Interface()->GetNextSystemInfo(&info), 1);
}

TEST(SystemInfoTest, RecordWithoutDescriptionOrValueFails) {
    CDeviceImp device;
    CDevice::CSystemInfo* info = nullptr;
    std::string noDescription = Reply(DeviceWith(
        "m.vkm", Element("SYSINFO", Element("SYSINFO_KEY", "K") + Element("SYSINFO_VALUE", "v"))));
    EXPECT_EQ(device.ReadSystemInfoReply(noDescription.c_str(), &info), 1);
    std::string noValue = Reply(DeviceWith("m.vkm", Record("K", {})));
    EXPECT_EQ(device.ReadSystemInfoReply(noValue.c_str(), &info), 1);
    EXPECT_EQ(info, nullptr);
}

TEST(SystemInfoTest, WithoutEngineTheRequestFailsAndClearsOldRecords) {
    CDeviceImp device;
    device.AddSystemInfo(CDevice::CSystemInfo("K", "D", {"v"}, "m"));
    CDevice::CSystemInfo* info = nullptr;
    EXPECT_EQ(device.Interface()->GetFirstSystemInfo(&info), 1);
    EXPECT_EQ(info, nullptr);
    EXPECT_TRUE(device.SystemInfo().empty());
}

}  // namespace
