// A module that refuses the parameters of its run before it connects (its
// percent to test, for one) ends the run with BAD PARAMETERS and says why,
// rather than EXITED ABNORMALLY.
#include "engine_harness.h"

namespace velk::enginetest {
namespace {

using ParameterRefusalTest = EngineTest;

TEST_F(ParameterRefusalTest, RefusedPercentToTestEndsTheRunWithBadParameters) {
    StartEngine();
    ConnectAndWaitForDevices();
    for (const char* percent : {"150", "0", "abc"}) {
        std::string id =
            StartTest(0, "IDE:0:0", {std::string("VELK_BXI2_PERCENT_TO_TEST,") + percent});
        ASSERT_FALSE(id.empty()) << percent;
        EXPECT_EQ(Field(WaitForEnd(id), "FINALRESULT"), "6") << percent;
        std::vector<std::string> items = LogItems(id);
        ASSERT_EQ(items.size(), 2u) << percent;
        EXPECT_EQ(Field(items[0], "EVENTCODE"), "9006") << percent;
        EXPECT_EQ(Transact("FREE_TEST_PROCESS:" + id).Data(), "<RESULT>OK</RESULT>");
    }
}

}  // namespace
}  // namespace velk::enginetest
