// Test runs from START_TEST to FREE_TEST_PROCESS: state, percent done,
// progress and log items, the final result of every way a run can end
// (result, crash, stop, a module that ignores the stop, time-out), busy
// devices, and the events a careless module sends.
#include <signal.h>

#include <algorithm>

#include "engine_harness.h"

namespace velk::enginetest {
namespace {

class TestRunTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        StartEngine({}, Environment());
        ConnectAndWaitForDevices();
    }
    virtual std::vector<std::string> Environment() const {
        return {"VELK_ENGINE_STOP_GRACE_MS=1000", "VELK_ENGINE_LOG_LIMIT=20"};
    }

    std::string QuickTest(const std::string& mode) {
        std::string id = StartTest(0, "IDE:0:0", {"MODE," + mode});
        EXPECT_FALSE(id.empty()) << mode;
        return id;
    }
    static std::string FinalResult(const std::string& status) {
        return Field(status, "FINALRESULT").value_or("?");
    }
    static std::vector<std::string> ItemFields(const std::vector<std::string>& items,
                                               const char* name) {
        std::vector<std::string> values;
        for (const std::string& item : items) {
            values.push_back(Field(item, name).value_or("?"));
        }
        return values;
    }
};

TEST_F(TestRunTest, RunFromStartToFreeReportsProgressLogAndResult) {
    std::string id = StartTest(1, "IDE:0:0", {"SECONDS,1", "PASSES,2"});
    ASSERT_FALSE(id.empty());
    Reply status = Transact("GET_TEST_STATUS:" + id);
    EXPECT_EQ(Field(status.message, "MSG/DATA/TESTSTATUS/FINALRESULT"), "10") << "not final yet";

    // While it runs the device list names the run.
    std::string test;
    for (const std::string& device : Devices()) {
        if (Field(device, "HWLOCATOR") == "IDE:0:0") {
            test = Field(Field(device, "COMPONENT").value_or(""), "TEST", 1).value_or("");
        }
    }
    EXPECT_EQ(Field(test, "RUNNING_INSTANCES/TESTSTATUS/PROCESS_ID"), id);

    std::vector<std::string> states;
    std::string percentSeen;
    std::string progressSeen;
    ASSERT_TRUE(WaitUntil(
        [&] {
            std::string now = Transact("GET_TEST_STATUS:" + id).Data();
            std::string state = Field(now, "TESTSTATUS/STATE").value_or("?");
            if (states.empty() || states.back() != state) {
                states.push_back(state);
            }
            std::string percent = Field(now, "TESTSTATUS/PERCENTDONE").value_or("");
            if (state == "1" && percent != "0" && percent != "100") {
                percentSeen = percent;
                progressSeen = Field(now, "TESTSTATUS/PROGRESSMSG").value_or("");
            }
            return state == "2";
        },
        30000));
    EXPECT_EQ(states.back(), "2");
    EXPECT_NE(std::find(states.begin(), states.end(), "1"), states.end()) << "never RUNNING";
    EXPECT_FALSE(percentSeen.empty()) << "no percent done while running";
    EXPECT_FALSE(progressSeen.empty()) << "no progress text while running";
    std::string final = Transact("GET_TEST_STATUS:" + id).Data();
    EXPECT_EQ(Field(final, "TESTSTATUS/FINALRESULT"), "0") << "PASS";
    EXPECT_EQ(Field(final, "TESTSTATUS/PERCENTDONE"), "100");

    std::vector<std::string> items = LogItems(id);
    ASSERT_GE(items.size(), 5u);
    EXPECT_EQ(ItemFields(items, "SEQUENCENO"),
              (std::vector<std::string>{"1", "2", "3", "4", "-1"}));
    EXPECT_EQ(ItemFields(items, "SEVERITY"),
              (std::vector<std::string>{"INFO", "WARN", "WARN", "ERROR", "INFO"}));
    EXPECT_EQ(Field(items[1], "TEXT"), "<NLS mod=velktest.vkm id=szWarnHalfway  PASS=1/>");
    EXPECT_EQ(Field(items[1], "EVENTCODE"), "101");
    EXPECT_EQ(Field(items[3], "EVENTCODE"), "102");
    EXPECT_GT(std::stol(Field(items[0], "TIME").value_or("0")), 0);

    EXPECT_EQ(Transact("FREE_TEST_PROCESS:" + id).Data(), "<RESULT>OK</RESULT>");
    EXPECT_EQ(Transact("GET_TEST_STATUS:" + id).Data(), "<RESULT>ERROR</RESULT>");
    EXPECT_EQ(Transact("GET_TEST_MESSAGES:" + id).Data(), "<RESULT>ERROR</RESULT>");
    EXPECT_EQ(Transact("FREE_TEST_PROCESS:" + id).Data(), "<RESULT>ERROR</RESULT>");
}

TEST_F(TestRunTest, ModuleResultsBecomeEngineResultNumbers) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"fail", "2"},          {"nomedia", "7"},       {"busy", "3"},       {"privilege", "4"},
        {"notapplicable", "5"}, {"badparams", "6"},     {"setuperror", "1"}, {"code:42", "1"},
        {"openbusy", "3"},      {"openprivilege", "4"},
    };
    for (const auto& [mode, expected] : cases) {
        std::string id = QuickTest(mode);
        EXPECT_EQ(FinalResult(WaitForEnd(id)), expected) << mode;
        EXPECT_EQ(Transact("FREE_TEST_PROCESS:" + id).Data(), "<RESULT>OK</RESULT>");
    }
}

TEST_F(TestRunTest, ModuleThatCrashesEndsExitedAbnormally) {
    std::string id = QuickTest("crash");
    EXPECT_EQ(FinalResult(WaitForEnd(id)), "11");
    std::vector<std::string> items = LogItems(id);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(Field(items[0], "EVENTCODE"), "9003");
    EXPECT_EQ(Field(items[0], "TEXT"), "<NLS mod=velkcore id=szRunSignalledWithoutResult  SIGNAL=" +
                                           std::to_string(SIGABRT) + "/>");
}

TEST_F(TestRunTest, StopIsHonouredAndTheRunEndsDiscontinued) {
    std::string id = StartTest(1, "IDE:0:1", {"SECONDS,30"});
    ASSERT_FALSE(id.empty());
    ASSERT_TRUE(WaitUntilRunning(id));
    EXPECT_EQ(Transact("STOP_TEST:" + id).Data(), "<RESULT>OK</RESULT>");
    EXPECT_EQ(FinalResult(WaitForEnd(id)), "8");
    std::vector<std::string> codes = ItemFields(LogItems(id), "EVENTCODE");
    EXPECT_EQ(std::count(codes.begin(), codes.end(), "9002"), 0) << "it stopped by itself";
    EXPECT_EQ(Transact("STOP_TEST:" + id).Data(), "<RESULT>OK</RESULT>") << "stopping an end";
}

TEST_F(TestRunTest, ModuleIgnoringTheStopIsKilledAfterTheGracePeriod) {
    std::string id = StartTest(1, "IDE:0:1", {"SECONDS,60", "STOP,ignore"});
    ASSERT_FALSE(id.empty());
    ASSERT_TRUE(WaitUntilRunning(id));
    EXPECT_EQ(Transact("STOP_TEST:" + id).Data(), "<RESULT>OK</RESULT>");
    EXPECT_EQ(FinalResult(WaitForEnd(id)), "8");
    std::vector<std::string> items = LogItems(id);
    std::vector<std::string> codes = ItemFields(items, "EVENTCODE");
    EXPECT_EQ(std::count(codes.begin(), codes.end(), "9002"), 1);
    std::string bin = Box().BinDir();
    EXPECT_TRUE(WaitUntil([&] { return ProcessesUnder(bin).size() == 1; }, 10000))
        << "the module still runs";
}

TEST_F(TestRunTest, SecondRunOnABusyDeviceIsRefused) {
    std::string first = StartTest(1, "IDE:0:0", {"SECONDS,30"});
    ASSERT_FALSE(first.empty());
    Reply busy = Transact("START_TEST:VeLkTest:0:" + std::to_string(DeviceId("IDE:0:0")));
    EXPECT_EQ(busy.Data(), "<RESULT>DEVICE_IN_USE</RESULT>");
    std::string other = StartTest(0, "CPU:0");
    EXPECT_FALSE(other.empty()) << "another device is free";
    EXPECT_NE(other, first);
    // Freeing a running run stops it; the device is free once it has ended.
    EXPECT_EQ(Transact("FREE_TEST_PROCESS:" + first).Data(), "<RESULT>OK</RESULT>");
    EXPECT_EQ(Transact("GET_TEST_STATUS:" + first).Data(), "<RESULT>ERROR</RESULT>");
    std::string again;
    EXPECT_TRUE(WaitUntil(
        [&] {
            again = StartTest(0, "IDE:0:0");
            return !again.empty();
        },
        10000));
    WaitForEnd(again);
    WaitForEnd(other);
}

TEST_F(TestRunTest, EventsWithMarkupAndFloodsAreKeptInBounds) {
    std::string markup = QuickTest("markup");
    EXPECT_EQ(FinalResult(WaitForEnd(markup)), "0");
    std::vector<std::string> items = LogItems(markup);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(Field(items[0], "TEXT"), "Drive [b]IDE:0:0[/b] checked");

    // 200 events with room for 20: a warning of the 180 dropped, the last 20.
    std::string flood = StartTest(0, "IDE:0:1", {"MODE,flood"});
    EXPECT_EQ(FinalResult(WaitForEnd(flood)), "0");
    items = LogItems(flood);
    ASSERT_EQ(items.size(), 22u);
    EXPECT_EQ(Field(items[0], "EVENTCODE"), "9004");
    EXPECT_EQ(Field(items[0], "SEQUENCENO"), "180");
    EXPECT_EQ(Field(items[0], "TEXT"), "<NLS mod=velkcore id=szLogItemsDropped  COUNT=180/>");
    EXPECT_EQ(Field(items[1], "SEQUENCENO"), "181");
    EXPECT_EQ(Field(items[20], "TEXT"), "Flood event 200 of 200");
}

TEST_F(TestRunTest, TimeOutValueRoundTripsBetweenModuleAndEngine) {
    std::string id = QuickTest("timeout");
    EXPECT_EQ(FinalResult(WaitForEnd(id)), "0");
    std::vector<std::string> items = LogItems(id);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(Field(items[0], "TEXT"), "Time-out 120 (status 0)");
}

TEST_F(TestRunTest, ModuleReadsTheWholeMachineFromTheEngine) {
    std::string list = QuickTest("devicelist");
    EXPECT_EQ(FinalResult(WaitForEnd(list)), "0");
    std::vector<std::string> items = LogItems(list);
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(Field(items[0], "TEXT"), "Devices 4 (status 0): IDE:0:0 IDE:0:1 CPU:0 COM:1:03f8");

    std::string info = QuickTest("sysinfo");
    EXPECT_EQ(FinalResult(WaitForEnd(info)), "0");
    items = LogItems(info);
    ASSERT_FALSE(items.empty());
    // Three keys per device (VENDOR, FEATURE, LOCATOR), as the module gives them.
    EXPECT_EQ(Field(items[0], "TEXT"), "System information of 4 devices, 12 entries (status 0)");
}

TEST_F(TestRunTest, BadRequestsAreAnsweredWithErrors) {
    for (const std::string& command : std::vector<std::string>{
             "START_TEST:VeLkNobody:0:1", "START_TEST:VeLkTest:7:1", "START_TEST:VeLkTest:0:999",
             "START_TEST:VeLkTest:1:" + std::to_string(DeviceId("COM:1:03f8")),
             "START_TEST:garbage", "START_TEST:VeLkTest:-1:1",
             "START_TEST:VeLkTest:0:1:param=NOCOMMA", "NO_SUCH_COMMAND", ""}) {
        Reply reply = Transact(command);
        EXPECT_EQ(reply.code, 0) << command;
        EXPECT_EQ(Field(reply.message, "MSG/DATA/RESULT"), "ERROR") << command;
    }
    for (const char* command : {"GET_TEST_STATUS:1-1", "STOP_TEST:", "FREE_TEST_PROCESS:x"}) {
        EXPECT_EQ(Transact(command).Data(), "<RESULT>ERROR</RESULT>") << command;
    }
    std::string id = StartTest(0, "IDE:0:0");
    EXPECT_FALSE(id.empty()) << "refusals leave the device free";
    WaitForEnd(id);
}

class TimedOutRunTest : public TestRunTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        // The timed test may take 1 s before the engine stops it.
        Box().ReplaceDefinitions("velktest", Sandbox::TestModuleDefinitions({"iTestTimeout[1]=1"}));
        StartEngine({}, Environment());
        ConnectAndWaitForDevices();
    }
};

TEST_F(TimedOutRunTest, RunBeyondItsTimeOutIsStoppedAndThenKilled) {
    std::string id = StartTest(1, "IDE:0:0", {"SECONDS,60", "STOP,ignore"});
    ASSERT_FALSE(id.empty());
    EXPECT_EQ(FinalResult(WaitForEnd(id)), "8");
    std::vector<std::string> codes = ItemFields(LogItems(id), "EVENTCODE");
    EXPECT_EQ(std::count(codes.begin(), codes.end(), "9001"), 1) << "time-out not logged";
    EXPECT_EQ(std::count(codes.begin(), codes.end(), "9002"), 1) << "kill not logged";
}

}  // namespace
}  // namespace velk::enginetest
