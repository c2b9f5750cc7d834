// Device lists with a malformed entry keep the devices before it, and FRU
// additional information is read in one pass with the records it always had.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "DeviceImp.h"
#include "EngineText.h"
#include "ReplyBuilder.h"
#include "TestEnvironmentImp.h"
#include "VelkCore.h"

namespace {

using namespace VELKCORE;
using velk::dlltest::Component;
using velk::dlltest::Device;
using velk::dlltest::DeviceHead;
using velk::dlltest::Element;
using velk::dlltest::Reply;
using velk::dlltest::TestElement;

std::string GoodDevice(int index) {
    std::string number = std::to_string(index);
    return Device(DeviceHead("Disk " + number, "HW:" + number) +
                  Component("MOD", number, TestElement(0, "T")));
}

struct MalformedCase {
    const char* what;
    std::string tail;  // after two good devices
};

void PrintTo(const MalformedCase& malformed, std::ostream* out) {
    *out << malformed.what;
}

class MalformedDeviceTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedDeviceTest, DevicesBeforeTheMalformedOneStay) {
    CTestEnvironment environment;
    std::string reply = Reply(GoodDevice(0) + GoodDevice(1) + GetParam().tail);
    ASSERT_EQ(environment.Imp()->ReadDeviceList(reply.c_str(), false), 0);
    ASSERT_EQ(environment.Imp()->Devices().size(), 2u) << GetParam().what;
    EXPECT_EQ(environment.Imp()->Devices()[0]->HWLocator(), "HW:0");
}

INSTANTIATE_TEST_SUITE_P(
    Tails, MalformedDeviceTest,
    ::testing::Values(MalformedCase{"unclosed device at the end", "<DEVICE><NAME>Broken</NAME>"},
                      MalformedCase{"unclosed element in the last device",
                                    Device(DeviceHead("Disk", "HW:2") + "<COMPONENT><ID>X</ID>")},
                      MalformedCase{"unclosed device before a good one",
                                    "<DEVICE><NAME>x" + GoodDevice(3)}));

TEST(FruAdditionalInfoTest, OnePassGivesTheRecordsOfTheIndexedReading) {
    // Records without a description or value borrow the next element of
    // that name, as reading the k-th element of each name always did.
    std::string text = DeviceHead("Disk", "HW:0");
    for (int k = 0; k < 100; ++k) {
        text += Element("FRU_ADDINFO_FIELD", "F" + std::to_string(k));
        if (k % 3 != 0) {
            text += Element("FRU_ADDINFO_DESC", "D" + std::to_string(k));
        }
        if (k % 5 != 0) {
            text += Element("FRU_ADDINFO_VALUE", "V" + std::to_string(k));
        }
    }
    CDeviceImp device;
    ASSERT_TRUE(device.initFromDeviceEnum(text.c_str()));
    ASSERT_EQ(device.FruAddInfo().size(), 100u);
    for (int k = 0; k < 100; ++k) {
        const CDevice::CAdditionalInfo& info = device.FruAddInfo()[k];
        EXPECT_EQ(info.GetField(), "F" + std::to_string(k));
        EXPECT_EQ(info.GetDescription(),
                  detail::FieldText(text.c_str(), "FRU_ADDINFO_DESC", k).value_or("UNDEF"));
        EXPECT_EQ(info.GetValue(),
                  detail::FieldText(text.c_str(), "FRU_ADDINFO_VALUE", k).value_or("UNDEF"));
    }
}

}  // namespace
