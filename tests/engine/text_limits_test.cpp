// What a run's texts become on their way to the engine client: cut to what
// the client reads, never inside an NLS tag, an escape or a UTF-8 sequence,
// read whole by the client's own field reader; and a run's log bounded in
// bytes as well as in items, however large the events a module sends.
#include "client_text.h"
#include "engine_harness.h"
#include "message-protocol.h"

namespace velk::enginetest {
namespace {

using velk::engine::CutForClient;
using velk::engine::kClientLogTextLimit;
using velk::engine::kClientProgressLimit;

// The client reads these fields into buffers of these sizes.
constexpr std::uint32_t kClientTextBuffer = 512;
constexpr std::uint32_t kClientProgressBuffer = 300;

TEST(CutForClientTest, LongTextsEndBetweenWholeUnits) {
    const std::string tag = "<NLS mod=m id=i />";
    struct Case {
        std::string text;
        std::size_t limit;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"short", 9, "short"},
        {"abcdefghi", 9, "abcdefghi"},
        {"abcdefghij", 9, "abcdef..."},
        {"abcde" + tag, 9, "abcde..."},
        {tag + "abcdef", 23, tag + "ab..."},
        {"abcde@41xyz", 9, "abcde..."},
        {"abc@41xyzw", 9, "abc@41..."},
        {"abcde\xC3\xA9xyz", 9, "abcde..."},
        {"abcd\xC3\xA9xyzw", 9, "abcd\xC3\xA9..."},
    };
    for (const Case& c : cases) {
        std::string cut = CutForClient(c.text, c.limit);
        EXPECT_EQ(cut, c.expected) << c.text;
        EXPECT_LE(cut.size(), c.limit) << c.text;
    }
}

using TextLimitsTest = EngineTest;

TEST_F(TextLimitsTest, RunTextsLongerThanTheClientReadsAreCutWhole) {
    StartEngine();
    ConnectAndWaitForDevices();
    std::string id = StartTest(0, "IDE:0:0", {"MODE,longtext"});
    ASSERT_FALSE(id.empty());
    std::string status = WaitForEnd(id);
    EXPECT_EQ(Field(status, "FINALRESULT"), "0");
    char progress[kClientProgressBuffer];
    ASSERT_EQ(VelkXmlGetField(status.c_str(), "PROGRESSMSG", 0, progress, sizeof progress), 0);
    EXPECT_EQ(std::string(progress), std::string(290, 'p') + "...") << "cut before the NLS tag";

    std::vector<std::string> items = LogItems(id);
    ASSERT_EQ(items.size(), 4u);
    const std::vector<std::string> expected = {std::string(480, 't') + "...",
                                               std::string(505, 'e') + "...",
                                               std::string(kClientLogTextLimit - 3, 'x') + "..."};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        char text[kClientTextBuffer];
        ASSERT_EQ(VelkXmlGetField(items[i].c_str(), "TEXT", 0, text, sizeof text), 0) << i;
        EXPECT_EQ(std::string(text), expected[i]) << i;
    }
}

TEST_F(TextLimitsTest, HugeEventsAreCutAndARunsLogStaysWithinItsBytes) {
    constexpr std::size_t kLogBytes = 8 * 1024;
    Box().WriteFile("big.data",
                    "<DEVICE><DID>1</DID><NAME>Big</NAME><HWLOCATOR>BIG:1</HWLOCATOR>"
                    "</DEVICE>");
    Box().AddFakeModule("big",
                        "[Module]\nszModuleId=VeLkBig\niNumTests=1\nszTestName[0]=t\n"
                        "[Fake]\nBehaviour=enumdata\nDataFile=" +
                            Box().Root() + "/big.data\nEventCount=20\nEventBytes=1048576\n");
    StartEngine({}, {"VELK_ENGINE_LOG_BYTES=" + std::to_string(kLogBytes)});
    ConnectAndWaitForDevices();
    Reply start = Transact("START_TEST:VeLkBig:0:1");
    std::string id = Field(start.message, "MSG/DATA/TESTPROCESSID").value_or("");
    ASSERT_FALSE(id.empty()) << start.message;
    EXPECT_EQ(Field(WaitForEnd(id), "FINALRESULT"), "0");

    std::vector<std::string> items = LogItems(id);
    ASSERT_GE(items.size(), 3u);
    EXPECT_EQ(Field(items.front(), "EVENTCODE"), "9004") << "older items were dropped";
    std::size_t textBytes = 0;
    for (std::size_t i = 1; i + 1 < items.size(); ++i) {
        std::string text = Field(items[i], "TEXT").value_or("");
        EXPECT_EQ(text, std::string(kClientLogTextLimit - 3, 'x') + "...") << i;
        textBytes += text.size();
    }
    EXPECT_LE(textBytes, kLogBytes);
    EXPECT_EQ(Field(items[items.size() - 2], "SEQUENCENO"), "20") << "the newest item is kept";
}

}  // namespace
}  // namespace velk::enginetest
