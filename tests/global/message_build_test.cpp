// Building messages: ids, header fields and codes, elements, engine commands
// and replies.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "gen-str.h"
#include "message-protocol.h"

namespace {

// Process 2345 sending its 17th message at 2026-12-04 12:05:02 UTC.
const VelkMessageStamp kStamp = {2345, 17, {2026, 12, 4, 12, 5, 2, 0}};

// The content of the first element named by path, or "<none>".
std::string Field(const std::string& message, const char* path) {
    char value[256];
    if (VelkXmlGetField(message.c_str(), path, 0, value, sizeof value) != 0) {
        return "<none>";
    }
    return value;
}

// Owns a growable CGenStr.
class GenStr {
  public:
    GenStr() { CGenStrInit(&str_); }
    ~GenStr() { CGenStrDelete(&str_); }
    CGenStr* get() { return &str_; }
    std::string text() const { return CGenStrC_Str(&str_); }

  private:
    CGenStr str_;
};

}  // namespace

// Exits 0 when the first two headers of this process carry IDs 1 and 2.
[[noreturn]] void BuildFirstTwoHeadersAndExit() {
    char first[200];
    char second[200];
    VelkCreateMessageHeader(first, sizeof first, "DIAGENGINE", nullptr, "DE_COMMAND", nullptr);
    VelkCreateMessageHeader(second, sizeof second, "DIAGENGINE", nullptr, "DE_COMMAND", nullptr);
    bool ok = strstr(first, "<ID>1</ID>") != nullptr && strstr(second, "<ID>2</ID>") != nullptr;
    std::exit(ok ? 0 : 1);
}

TEST(MessageIds, FreshProcessStartsAtOne) {
    // The child runs this test from its start in a fresh process.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(BuildFirstTwoHeadersAndExit(), testing::ExitedWithCode(0), "");
}

TEST(MessageIds, DistinctAcrossThreads) {
    std::vector<std::vector<uint32_t>> taken(4);
    std::vector<std::thread> threads;
    for (auto& ids : taken) {
        threads.emplace_back([&ids] {
            for (int i = 0; i < 2000; ++i) {
                ids.push_back(VelkGetLocallyUniqueMessageId());
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    std::set<uint32_t> all;
    for (const auto& ids : taken) {
        all.insert(ids.begin(), ids.end());
    }
    EXPECT_EQ(all.size(), 8000u);
}

TEST(MessageIds, ProcessIdStrings) {
    char text[16] = "junk";
    VelkGetProcessIdString(2345, text, 9);
    EXPECT_STREQ(text, "");
    VelkGetProcessIdString(2345, text, 10);
    EXPECT_STREQ(text, "2345");
    EXPECT_EQ(VelkGetProcessIdFromString(nullptr), -1);
    EXPECT_EQ(VelkGetProcessIdFromString("2345"), 2345);
}

TEST(MessageHeader, FieldsOfThisProcessNow) {
    char header[200];
    ASSERT_EQ(VelkCreateMessageHeader(header, sizeof header, "NLSENGINE", "9", "NLS_COMMAND", "en"),
              0);
    std::string message = std::string("<MSG>") + header + "</MSG>";
    EXPECT_EQ(Field(message, "MSG/HDR/FROM"), std::to_string(getpid()));
    EXPECT_EQ(Field(message, "MSG/HDR/TO"), "NLSENGINE");
    EXPECT_EQ(Field(message, "MSG/HDR/RE"), "9");
    EXPECT_EQ(Field(message, "MSG/HDR/TYPE"), "NLS_COMMAND");
    EXPECT_EQ(Field(message, "MSG/HDR/LANG"), "en");
    std::string time = Field(message, "MSG/HDR/TIME");
    ASSERT_EQ(time.size(), 17u);
    EXPECT_EQ(time.find_first_not_of("0123456789"), std::string::npos);
    EXPECT_EQ(time.substr(14), "000");
    EXPECT_GE(std::stoi(time.substr(0, 4)), 2024);
}

TEST(MessageHeader, CodeNamesTheFieldWithoutRoom) {
    // Ends of "<HDR>" + FROM, TO, ID, RE, TYPE, TIME, LANG, "</HDR>".
    const struct {
        size_t end;
        int code;
    } fields[] = {{22, 3}, {41, 4}, {52, 5}, {62, 6}, {85, 7}, {115, 8}, {130, 10}, {136, 9}};
    for (uint32_t size = 6; size <= 137; ++size) {
        int expected = 0;
        for (const auto& field : fields) {
            if (field.end + 1 > size) {
                expected = field.code;
                break;
            }
        }
        std::vector<char> buffer(size);
        EXPECT_EQ(VelkCreateMessageHeaderStamped(buffer.data(), size, "DIAGENGINE", "9",
                                                 "DE_COMMAND", "en", &kStamp),
                  expected)
            << size;
    }
    char buffer[200];
    EXPECT_EQ(VelkCreateMessageHeader(buffer, 5, "A", nullptr, "B", nullptr), 2);
    EXPECT_EQ(VelkCreateMessageHeader(buffer, sizeof buffer, nullptr, nullptr, "B", nullptr), 1);
    EXPECT_EQ(VelkCreateMessageHeader(buffer, sizeof buffer, "A", nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(VelkCreateMessageHeader(nullptr, sizeof buffer, "A", nullptr, "B", nullptr), 1);
}

TEST(XmlAddField, RefusesWhatDoesNotFitAndLeavesTheBuffer) {
    char buffer[23] = "<HDR>";
    EXPECT_EQ(VelkXmlAddField(buffer, 20, "FROM", "2345"), 1);
    EXPECT_STREQ(buffer, "<HDR>");
    EXPECT_EQ(VelkXmlAddField(buffer, 23, "FROM", "2345"), 0);
    EXPECT_STREQ(buffer, "<HDR><FROM>2345</FROM>");
}

TEST(CreateMessage, ClosingTagsAndLineEnds) {
    char buffer[64];
    const struct {
        const char* name;
        const char* text;
    } cases[] = {
        {"MSG", "<MSG>ab</MSG>\r\n"},    {"<ACK", "<ACK>ab</ACK>\r\n"},
        {"STOP", "<STOP>ab</STOP>\r\n"}, {"STARTUP", "<STARTUP>ab</STARTUP>\r\n"},
        {"DATA", "<DATA>ab</DATA>"},     {"MSGX", "<MSGX>ab</MSGX>"},
    };
    for (const auto& each : cases) {
        EXPECT_EQ(VelkCreateMessage(buffer, sizeof buffer, each.name, "a", "b", nullptr), 0);
        EXPECT_STREQ(buffer, each.text);
    }
}

TEST(CreateMessage, TooSmallLeavesTheBuffer) {
    char buffer[16] = "old";
    // "<DATA>abc</DATA>" is 16 characters and needs 17 bytes.
    EXPECT_EQ(VelkCreateMessage(buffer, 16, "DATA", "abc", nullptr), 2);
    EXPECT_STREQ(buffer, "old");
    char exact[17];
    EXPECT_EQ(VelkCreateMessage(exact, 17, "DATA", "abc", nullptr), 0);
    EXPECT_STREQ(exact, "<DATA>abc</DATA>");
}

TEST(CreateMessage, TextTakenFromTheBufferItself) {
    char buffer[64] = "xyz";
    EXPECT_EQ(VelkCreateMessage(buffer, sizeof buffer, "A", buffer, "!", nullptr), 0);
    EXPECT_STREQ(buffer, "<A>xyz!</A>");
    GenStr message;
    CGenStrAssignChar(message.get(), "abc");
    EXPECT_EQ(VelkCreateMessageStr(message.get(), "B", CGenStrC_Str(message.get()), nullptr), 0);
    EXPECT_EQ(message.text(), "<B>abc</B>");
}

TEST(CreateMessage, StringObjectGrowsOrRefuses) {
    GenStr message;
    std::string big(10000, 'q');
    EXPECT_EQ(VelkCreateMessageStr(message.get(), "MSG", big.c_str(), nullptr), 0);
    EXPECT_EQ(message.text(), "<MSG>" + big + "</MSG>\r\n");
    EXPECT_EQ(CGenStrSize(message.get()), big.size() + 13);

    char storage[16];
    CGenStr fixed;
    CGenStrInitBuff(&fixed, storage, 0, sizeof storage);
    EXPECT_EQ(VelkCreateMessageStr(&fixed, "DATA", "abcdefgh", nullptr), 2);
    EXPECT_STREQ(storage, "");
    EXPECT_EQ(VelkCreateMessageStr(&fixed, "D", "ab", nullptr), 0);
    EXPECT_STREQ(storage, "<D>ab</D>");
}

TEST(EngineCommand, DiagnosticEngineCommandIsByteExact) {
    GenStr message;
    ASSERT_EQ(VelkClientCreateEngineCommandStamped("DIAGENGINE", nullptr, "DE_COMMAND",
                                                   "GET_TEST_STATUS:4711", &kStamp, message.get()),
              0);
    const std::string expected =
        "<MSG><HDR><FROM>2345</FROM><TO>DIAGENGINE</TO><ID>17</ID>"
        "<TYPE>DE_COMMAND</TYPE><TIME>20261204120502000</TIME></HDR>"
        "<DATA>GET_TEST_STATUS:4711</DATA></MSG>\r\n";
    EXPECT_EQ(expected.size(), 157u);
    EXPECT_EQ(message.text(), expected);
}

TEST(EngineCommand, BufferFlavoursFitOrRefuse) {
    GenStr reference;
    ASSERT_EQ(VelkClientCreateMessageBrokerCommandStr("STOP_MESSAGE_BROKER", reference.get()), 0);
    EXPECT_EQ(Field(reference.text(), "MSG/HDR/TO"), "MESSAGEBROKER");
    EXPECT_EQ(Field(reference.text(), "MSG/HDR/TYPE"), "MBCMD");
    EXPECT_EQ(Field(reference.text(), "MSG/HDR/LANG"), "<none>");
    uint32_t length = CGenStrSize(reference.get());

    // The ID field has as many digits in the next message, so sizes compare.
    std::vector<char> buffer(length + 1, 'k');
    ASSERT_EQ(
        VelkClientCreateMessageBrokerCommand("STOP_MESSAGE_BROKER", buffer.data(), length + 1), 0);
    EXPECT_EQ(strlen(buffer.data()), length);
    std::vector<char> tooSmall(length, 'k');
    EXPECT_EQ(VelkClientCreateMessageBrokerCommand("STOP_MESSAGE_BROKER", tooSmall.data(), length),
              2);
    EXPECT_EQ(tooSmall[0], 'k');

    char large[512];
    ASSERT_EQ(VelkClientCreateDiagnosticEngineCommand("RESCAN_DEVICES", "TK", large, sizeof large),
              0);
    EXPECT_EQ(Field(large, "MSG/HDR/TYPE"), "DE_COMMAND");
    EXPECT_EQ(Field(large, "MSG/DATA"), "RESCAN_DEVICES");
    ASSERT_EQ(VelkClientCreateNlsEngineCommand("GET_LANG", large, sizeof large), 0);
    EXPECT_EQ(Field(large, "MSG/HDR/TO"), "NLSENGINE");
    EXPECT_EQ(Field(large, "MSG/HDR/TYPE"), "NLS_COMMAND");
}

TEST(EngineCommand, StringFlavoursCarryLanguage) {
    GenStr message;
    ASSERT_EQ(VelkClientCreateDiagnosticEngineCommandStr("LIST_DEVICES", "de", message.get()), 0);
    EXPECT_EQ(Field(message.text(), "MSG/HDR/LANG"), "de");
    EXPECT_EQ(message.text().substr(message.text().size() - 8), "</MSG>\r\n");
    ASSERT_EQ(VelkClientCreateNlsEngineCommandStr("X", message.get()), 0);
    EXPECT_EQ(Field(message.text(), "MSG/HDR/TO"), "NLSENGINE");
    // A LANG too long for the 200-byte header area fails the header.
    std::string language(200, 'l');
    EXPECT_EQ(VelkClientCreateDiagnosticEngineCommandStr("X", language.c_str(), message.get()), 1);
}

TEST(Response, AnswersTheRequester) {
    char reply[512];
    ASSERT_EQ(VelkClientCreateResponse(2345, 17, "<STATE>RUNNING</STATE>", reply, sizeof reply), 0);
    std::string text = reply;
    EXPECT_NE(text.find("<TO>2345</TO>"), std::string::npos);
    EXPECT_NE(text.find("<RE>17</RE>"), std::string::npos);
    EXPECT_NE(text.find("<TYPE>TRANSACTION_RESPONSE</TYPE>"), std::string::npos);
    EXPECT_EQ(Field(text, "MSG/HDR/FROM"), std::to_string(getpid()));
    EXPECT_EQ(Field(text, "MSG/DATA/STATE"), "RUNNING");
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");

    char small[64] = "unchanged";
    EXPECT_EQ(VelkClientCreateResponse(2345, 17, "x", small, sizeof small), 4);
    EXPECT_STREQ(small, "unchanged");
}
