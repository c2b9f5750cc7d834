// Reading messages: element names, tag paths, header fields and the
// receiving side of commands, including malformed input.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "TestDirectory.h"
#include "gen-str.h"
#include "message-protocol.h"
#include "tracing.h"

namespace {

const std::string kStatusQuery =
    "<MSG><HDR><FROM>2345</FROM><TO>DIAGENGINE</TO><ID>17</ID>"
    "<TYPE>DE_COMMAND</TYPE><TIME>20261204120502000</TIME></HDR>"
    "<DATA>GET_TEST_STATUS:4711</DATA></MSG>\r\n";

std::string WithPayload(const std::string& payload) {
    return "<MSG><HDR><FROM>1</FROM><ID>2</ID><TYPE>T</TYPE></HDR><DATA>" + payload +
           "</DATA></MSG>\r\n";
}

// The content found by path and skip, or "<none>".
std::string Lookup(const std::string& message, const char* path, int skip = 0) {
    CGenStr content;
    CGenStrInit(&content);
    int result = VelkXmlGetFieldStr(message.c_str(), path, skip, &content);
    std::string text = result == 0 ? CGenStrC_Str(&content) : "<none>";
    CGenStrDelete(&content);
    return text;
}

// The message in a heap block of exactly its size, so that the sanitizer
// catches any read past its NUL.
class ExactText {
  public:
    explicit ExactText(const std::string& text)
        : text_(static_cast<char*>(malloc(text.size() + 1))) {
        memcpy(text_, text.c_str(), text.size() + 1);
    }
    ~ExactText() { free(text_); }
    const char* get() const { return text_; }

  private:
    char* text_;
};

}  // namespace

TEST(XmlGetTag, NamesAndEmptyElements) {
    char name[40] = "unchanged";
    const char* text = "<NLS mod=X id=7>rest";
    EXPECT_EQ(VelkXmlGetTag(text, name, sizeof name), text + 15);
    EXPECT_STREQ(name, "NLS");
    const char* closing = "</DEVICE_1>";
    EXPECT_EQ(VelkXmlGetTag(closing, name, sizeof name), closing + 10);
    EXPECT_STREQ(name, "DEVICE_1");
    strcpy(name, "kept");
    const char* empty = "<B/>";
    EXPECT_EQ(VelkXmlGetTag(empty, name, sizeof name), empty + 2);
    EXPECT_STREQ(name, "kept");
    char small[3];
    VelkXmlGetTag("<NAME>", small, sizeof small);
    EXPECT_STREQ(small, "NA");
    EXPECT_EQ(VelkXmlGetTag("abc>", name, sizeof name), nullptr);
    EXPECT_EQ(VelkXmlGetTag("<abc", name, sizeof name), nullptr);
    EXPECT_EQ(VelkXmlGetTag(nullptr, name, sizeof name), nullptr);
}

TEST(XmlGetField, HeaderAndPayloadOfACommand) {
    char value[64];
    EXPECT_EQ(VelkXmlGetField(kStatusQuery.c_str(), "MSG/HDR/ID", 0, value, sizeof value), 0);
    EXPECT_STREQ(value, "17");
    EXPECT_EQ(VelkXmlGetField(kStatusQuery.c_str(), "HDR/ID", 0, value, sizeof value), 2);
    EXPECT_STREQ(value, "");
    EXPECT_EQ(VelkXmlGetField(kStatusQuery.c_str(), "MSG/DATA", 0, value, sizeof value), 0);
    EXPECT_STREQ(value, "GET_TEST_STATUS:4711");
    EXPECT_EQ(Lookup(kStatusQuery, "MSG/HDR"),
              "<FROM>2345</FROM><TO>DIAGENGINE</TO><ID>17</ID><TYPE>DE_COMMAND</TYPE>"
              "<TIME>20261204120502000</TIME>");
    EXPECT_EQ(Lookup(kStatusQuery, "MSG/HDR/RE"), "<none>");
    EXPECT_EQ(Lookup(kStatusQuery, ""), "<none>");
}

TEST(XmlGetField, PositionsOfTheElement) {
    const char* message = kStatusQuery.c_str();
    const char* start = message;
    const char* end = message;
    CGenStr content;
    CGenStrInit(&content);
    EXPECT_EQ(VelkXmlGetFieldStrAndTagStartEnd(message, &start, &end, "MSG/DATA", 0, &content), 0);
    EXPECT_EQ(start, message + 116);
    EXPECT_EQ(end, message + 149);
    EXPECT_EQ(VelkXmlGetFieldStrAndTagStartEnd(message, &start, &end, "MSG/NONE", 0, &content), 2);
    EXPECT_EQ(start, nullptr);
    EXPECT_EQ(end, nullptr);
    EXPECT_STREQ(CGenStrC_Str(&content), "");
    CGenStrDelete(&content);
}

TEST(XmlGetField, SkipCountWalksLikeElements) {
    std::string message = WithPayload("<A><B>1</B><B>2</B></A>");
    EXPECT_EQ(Lookup(message, "MSG/DATA/A/B", 0), "1");
    EXPECT_EQ(Lookup(message, "MSG/DATA/A/B", 1), "2");
    EXPECT_EQ(Lookup(message, "MSG/DATA/A/B", 2), "<none>");
    EXPECT_EQ(Lookup(message, "MSG/DATA/A/B", -1), "<none>");
    EXPECT_EQ(Lookup(message, "MSG/DATA/A"), "<B>1</B><B>2</B>");
}

TEST(XmlGetField, SkipsEmptyElementsCommentsAndAttributes) {
    std::string message = WithPayload("<?pi?><!-- c --><A><B/><B>x</B><NLS mod=M id=3>t</NLS></A>");
    EXPECT_EQ(Lookup(message, "MSG/DATA/A/B", 0), "x");
    EXPECT_EQ(Lookup(message, "MSG/DATA/A/B", 1), "<none>");
    EXPECT_EQ(Lookup(message, "MSG/DATA/A/NLS"), "t");
}

TEST(XmlGetField, LongNamesCompareOnFirstThirtyNineCharacters) {
    std::string name(45, 'N');
    std::string message = WithPayload("<" + name + ">v</" + name + ">");
    std::string samePrefix = "MSG/DATA/" + std::string(39, 'N') + "XYZ";
    EXPECT_EQ(Lookup(message, samePrefix.c_str()), "v");
    std::string shorter = "MSG/DATA/" + std::string(38, 'N');
    EXPECT_EQ(Lookup(message, shorter.c_str()), "<none>");
}

TEST(XmlGetField, NestingDeeperThanTheStack) {
    std::string open, close, path = "MSG";
    for (int level = 0; level < 30; ++level) {
        open += "<E>";
        close += "</E>";
    }
    for (int level = 0; level < 14; ++level) {
        path += "/E";
    }
    std::string message = "<MSG>" + open + "deep" + close + "<AFTER>ok</AFTER></MSG>";
    EXPECT_EQ(Lookup(message, path.c_str()).size(), 16 * 3 + 4 + 16 * 4);
    EXPECT_EQ(Lookup(message, "MSG/AFTER"), "ok");
    // Components after the fifteenth are ignored.
    EXPECT_EQ(Lookup(message, (path + "/E/E/E").c_str()).size(), 16 * 3 + 4 + 16 * 4);
}

TEST(XmlGetField, TruncatedAndMalformedTextsStayInside) {
    const char* texts[] = {
        "<MSG><HDR><ID>17",
        "<MSG><DATA>abc</DA",
        "<MSG><DATA>abc</DATA",
        "<",
        "</",
        "<MSG></",
        "<MSG><HDR/></MSG>",
        "</MSG><MSG>x",
        "<MSG><DATA></>",
        "",
        "<MSG>@",
        "<MSG><ID>1</ID",
    };
    for (const char* text : texts) {
        ExactText exact(text);
        char value[16];
        EXPECT_EQ(VelkXmlGetField(exact.get(), "MSG/ID", 0, value, sizeof value), 2) << text;
        EXPECT_EQ(VelkParsePacketHeaderAndData(exact.get(), nullptr, nullptr, nullptr, value,
                                               sizeof value),
                  -1)
            << text;
    }
}

TEST(XmlGetField, BufferHoldsSizeMinusTwoCharacters) {
    char value[8] = "junk";
    EXPECT_EQ(VelkXmlGetField(kStatusQuery.c_str(), "MSG/DATA", 0, value, 5), 2);
    EXPECT_STREQ(value, "GET");
    EXPECT_EQ(VelkXmlGetField(kStatusQuery.c_str(), "MSG/HDR/ID", 0, value, 4), 0);
    EXPECT_STREQ(value, "17");
    EXPECT_EQ(VelkXmlGetField(kStatusQuery.c_str(), "MSG/HDR/ID", 0, value, 3), 2);
    EXPECT_STREQ(value, "1");
}

TEST(XmlGetField, UnmatchedClosingTagIsTraced) {
    char path[] = "/tmp/velk-unmatched-XXXXXX";
    close(mkstemp(path));
    SetTraceFilenameForComponent(path);
    VelkSetTracingType(VELK_TRACE_OWN, 1);
    std::string message = WithPayload("<A><B>x</C></B></A>");
    EXPECT_EQ(Lookup(message, "MSG/DATA/A/B"), "x</C>");
    VelkSetTracingType(VELK_TRACE_OWN, 0);
    SetTraceFilenameForComponent(nullptr);
    std::string text = velk::testsupport::ReadFile(path);
    unlink(path);
    EXPECT_NE(text.find("VelkXmlGetField(), unmatched tag, B\n"), std::string::npos);
}

TEST(MessageGetters, HeaderFieldsAsNumbersAndType) {
    uint32_t value = 99;
    EXPECT_EQ(VelkMessageGetSender(kStatusQuery.c_str(), &value), 0);
    EXPECT_EQ(value, 2345u);
    EXPECT_EQ(VelkMessageGetMessageId(kStatusQuery.c_str(), &value), 0);
    EXPECT_EQ(value, 17u);
    EXPECT_EQ(VelkMessageGetMessageRe(kStatusQuery.c_str(), &value), 2);
    EXPECT_EQ(value, 17u);
    char* type = nullptr;
    EXPECT_EQ(VelkMessageGetMessageType(kStatusQuery.c_str(), &type), 0);
    ASSERT_NE(type, nullptr);
    EXPECT_STREQ(type, "DE_COMMAND");
    free(type);
    EXPECT_EQ(VelkMessageGetMessageType("<MSG></MSG>", &type), 2);
    EXPECT_EQ(type, nullptr);
}

TEST(ParsePacket, HeaderDataAndCommandPrefix) {
    const char* commands[] = {"START_TEST", "GET_TEST_STATUS", "GET_TEST_STATUS:4711", nullptr};
    uint32_t sender = 0, id = 0;
    char data[64];
    EXPECT_EQ(VelkParsePacketHeaderAndData(kStatusQuery.c_str(), &sender, &id, commands, data,
                                           sizeof data),
              2);
    EXPECT_EQ(sender, 2345u);
    EXPECT_EQ(id, 17u);
    EXPECT_STREQ(data, "GET_TEST_STATUS:4711");

    const char* others[] = {"STOP_TEST", nullptr};
    EXPECT_EQ(
        VelkParsePacketHeaderAndData(kStatusQuery.c_str(), nullptr, nullptr, others, nullptr, 0),
        0);
    EXPECT_EQ(
        VelkParsePacketHeaderAndData(kStatusQuery.c_str(), nullptr, nullptr, nullptr, data, 8), 0);
    EXPECT_STREQ(data, "GET_TES");  // cut, and still terminated

    sender = id = 5;
    EXPECT_EQ(VelkParsePacketHeaderAndData("<MSG><DATA>x</DATA></MSG>", &sender, &id, commands,
                                           data, sizeof data),
              -1);
    EXPECT_EQ(sender, 5u);
    EXPECT_EQ(id, 5u);
    EXPECT_STREQ(data, "");
}

TEST(ParsePacket, TypeWord) {
    const char* types[] = {"MBCMD", "DE_COMMAND", nullptr};
    EXPECT_EQ(VelkParsePacketType(kStatusQuery.c_str(), types), 2);
    const char* none[] = {"DE_EVENT", nullptr};
    EXPECT_EQ(VelkParsePacketType(kStatusQuery.c_str(), none), 0);
    EXPECT_EQ(VelkParsePacketType(kStatusQuery.c_str(), nullptr), 0);
    EXPECT_EQ(VelkParsePacketType("<MSG><HDR></HDR></MSG>", types), 1);
    std::string longType = "<MSG><HDR><TYPE>" + std::string(100, 'T') + "</TYPE></HDR></MSG>";
    EXPECT_EQ(VelkParsePacketType(longType.c_str(), types), 1);
}
