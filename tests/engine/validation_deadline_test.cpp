// A validation whose module connects and never answers is given up at the
// engine's deadline, before the client stops waiting: the client gets an
// answer and the module process ends, however many such requests come.
#include "engine_harness.h"

namespace velk::enginetest {
namespace {

using ValidationDeadlineTest = EngineTest;

TEST_F(ValidationDeadlineTest, ModuleThatNeverAnswersIsEndedAndTheClientAnswered) {
    StartEngine({}, {"VELK_ENGINE_VALIDATE_MS=500"});
    ConnectAndWaitForDevices();
    std::string command =
        "VALIDATE_TEST_PARAMETERS:VeLkTest:0:" + std::to_string(DeviceId("IDE:0:0")) +
        ":param=MODE,hang";
    for (int request = 0; request < 3; ++request) {
        Reply reply = Transact(command);
        ASSERT_EQ(reply.code, 0) << "no answer to request " << request;
        EXPECT_EQ(Field(reply.message, "MSG/DATA/PARAM_VALIDATION_RESULTS"), "");
        EXPECT_EQ(Field(reply.message, "MSG/DATA/RESULT"), "ERROR");
    }
    std::string bin = Box().BinDir();
    EXPECT_TRUE(WaitUntil([&] { return ProcessesUnder(bin).size() == 1; }, 10000))
        << "a validating module still runs";
    // A module that answers is not cut short.
    Reply valid =
        Transact("VALIDATE_TEST_PARAMETERS:VeLkTest:0:" + std::to_string(DeviceId("IDE:0:0")) +
                 ":param=MODE,fail");
    EXPECT_EQ(Field(valid.message, "MSG/DATA/PARAM_VALIDATION_RESULTS/PARAMETER/VALID_FLAG"),
              "valid");
}

}  // namespace
}  // namespace velk::enginetest
