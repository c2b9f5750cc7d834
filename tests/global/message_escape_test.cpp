// The escape scheme for free text and the identifier rule.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "message-protocol.h"

namespace {

// Escapes text; the caller gets the result and whether it was a new copy.
std::string Escape(const char* text, bool* copied = nullptr) {
    char* converted = VelkXmlAllocStringAndConvertToXml(text);
    std::string result = converted;
    if (copied != nullptr) {
        *copied = converted != text;
    }
    if (converted != text) {
        free(converted);
    }
    return result;
}

// Unescapes a heap copy of exactly the text's size, so that the sanitizer
// catches any read past its NUL.
std::string Unescape(const std::string& text) {
    char* copy = static_cast<char*>(malloc(text.size() + 1));
    memcpy(copy, text.c_str(), text.size() + 1);
    EXPECT_EQ(VelkXmlConvertFromXmlToText(copy), 0);
    std::string result(copy);
    free(copy);
    return result;
}

}  // namespace

TEST(XmlEscape, EscapesAndRestoresMarkup) {
    bool copied = false;
    EXPECT_EQ(Escape("a<b> @x", &copied), "a@3Cb@3E @40x");
    EXPECT_TRUE(copied);
    EXPECT_EQ(Unescape("a@3Cb@3E @40x"), "a<b> @x");
    EXPECT_EQ(Escape("line\n/:=%&#;"), "line@0A@2F@3A@3D@25@26@23@3B");
    EXPECT_EQ(Escape("\x80\xff"), "@80@FF");
}

TEST(XmlEscape, PassingTextIsReturnedItself) {
    const char* text = "abc";
    EXPECT_EQ(VelkXmlAllocStringAndConvertToXml(text), text);
    const char* allPassing = "AZaz 0123456789$-_.+!*'(),{}|\\^~[]`";
    EXPECT_EQ(VelkXmlAllocStringAndConvertToXml(allPassing), allPassing);
    const char* empty = "";
    EXPECT_EQ(VelkXmlAllocStringAndConvertToXml(empty), empty);
    EXPECT_EQ(VelkXmlAllocStringAndConvertToXml(nullptr), nullptr);
}

TEST(XmlEscape, EveryByteRoundTrips) {
    std::string all;
    for (int c = 1; c < 256; ++c) {
        all += static_cast<char>(c);
    }
    std::string escaped = Escape(all.c_str());
    EXPECT_EQ(escaped.find_first_of("<>\n"), std::string::npos);
    EXPECT_EQ(Unescape(escaped), all);
}

TEST(XmlUnescape, LowerCaseBadDigitsAndCutOffEscapes) {
    // An escape with bad digits, or cut off at the end, becomes a blank.
    const struct {
        const char *escaped, *text;
    } cases[] = {{"@3c@3E", "<>"},  {"x@zz@4gy", "x  y"}, {"plain", "plain"}, {"abc@", "abc "},
                 {"abc@4", "abc "}, {"@", " "},           {"@@@", " "},       {"@@@@", "  "}};
    for (const auto& c : cases) {
        EXPECT_EQ(Unescape(c.escaped), c.text) << c.escaped;
    }
    EXPECT_EQ(VelkXmlConvertFromXmlToText(nullptr), 0);
    EXPECT_EQ(FromHexCharXml("@41"), 'A');
    EXPECT_EQ(FromHexCharXml("@7e"), '~');
    EXPECT_EQ(FromHexCharXml("@G1"), ' ');
    EXPECT_EQ(ToHexChar(0xA), 'A');
    EXPECT_EQ(ToHexChar(0x1F), 'F');
}

TEST(XmlIdentifiers, IdentifierRule) {
    EXPECT_EQ(IsBadXmlIdentifier("DEVICE_NAME"), 0);
    EXPECT_EQ(IsBadXmlIdentifier("DEVICE NAME"), 2);
    EXPECT_EQ(IsBadXmlIdentifier(nullptr), 1);
    EXPECT_EQ(IsBadXmlIdentifier(""), 0);
    EXPECT_EQ(IsBadXmlIdentifier("a$-_.+!*'(),{}|\\^~[]`9"), 0);
    EXPECT_EQ(IsBadXmlIdentifier("a@b"), 2);
    EXPECT_EQ(IsBadXmlIdentifier("caf\xc3\xa9"), 2);

    for (int c : {'a', 'Z', '5', '_'}) {
        EXPECT_EQ(VelkIsValidIdentifierChar(c), 1) << c;
    }
    for (int c : {int{'-'}, int{' '}, int{'<'}, 0xE9, 0}) {
        EXPECT_EQ(VelkIsValidIdentifierChar(c), 0) << c;
    }
}
