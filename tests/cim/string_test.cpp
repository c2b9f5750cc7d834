// String, CString and Char16 semantics.
#include <Pegasus/Common/String.h>

#include <cstring>
#include <sstream>

#include <gtest/gtest.h>

#include <Pegasus/Common/Exception.h>

PEGASUS_USING_PEGASUS;

TEST(String, ConstructorsCountUtf16Units) {
    EXPECT_EQ(String().size(), 0u);
    EXPECT_EQ(String::EMPTY.size(), 0u);
    EXPECT_THROW(String(static_cast<const char*>(nullptr)), NullPointerException);
    EXPECT_THROW(String(static_cast<const Char16*>(nullptr)), NullPointerException);
    EXPECT_EQ(String("hello").size(), 5u);
    EXPECT_EQ(String("hello", 3), String("hel"));
    EXPECT_EQ(String(String("hello"), 2), String("he"));
    // U+00E9 is two UTF-8 bytes but one unit; U+1F600 is four bytes and a surrogate pair.
    EXPECT_EQ(String("caf\xC3\xA9").size(), 4u);
    String smiley("\xF0\x9F\x98\x80");
    ASSERT_EQ(smiley.size(), 2u);
    EXPECT_EQ(Uint16(smiley[0]), 0xD83D);
    EXPECT_EQ(Uint16(smiley[1]), 0xDE00);
    const Char16 units[] = {'a', 'b', 'c', 0};
    EXPECT_EQ(String(units), String("abc"));
    EXPECT_EQ(String(units, 2), String("ab"));
}

TEST(String, GetCStringRoundTripsUtf8) {
    const char* texts[] = {"", "plain", "caf\xC3\xA9", "\xE2\x82\xAC 5", "\xF0\x9F\x98\x80!"};
    for (const char* text : texts) {
        String s(text);
        CString c = s.getCString();
        EXPECT_STREQ(static_cast<const char*>(c), text);
        CString copy(c);
        EXPECT_STREQ(static_cast<const char*>(copy), text);
        CString assigned;
        assigned = c;
        EXPECT_STREQ(static_cast<const char*>(assigned), text);
    }
    EXPECT_STREQ(static_cast<const char*>(CString()), "");
}

TEST(String, InvalidUtf8BecomesReplacementCharacter) {
    String s(
        "a\xFF"
        "b");
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(Uint16(s[1]), 0xFFFD);
}

TEST(String, EqualityIsCaseSensitiveAndNoCaseVariantsFold) {
    String a("Hello"), b("hello");
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(a != b);
    EXPECT_TRUE(a == "Hello");
    EXPECT_TRUE("Hello" == a);
    EXPECT_FALSE(a == "hello");
    EXPECT_TRUE(String::equalNoCase(a, b));
    EXPECT_FALSE(String::equalNoCase(a, "hell"));
    EXPECT_EQ(String::compareNoCase(a, b), 0);
    EXPECT_LT(String::compareNoCase("abc", "ABD"), 0);
    EXPECT_GT(String::compareNoCase("abcd", "ABC"), 0);
    EXPECT_FALSE(String::equal(a, b));
}

TEST(String, CompareOrdersByCodeUnit) {
    EXPECT_LT(String::compare("abc", "abd"), 0);
    EXPECT_GT(String::compare("abd", "abc"), 0);
    EXPECT_LT(String::compare("ab", "abc"), 0);
    EXPECT_EQ(String::compare("abcX", "abcY", 3), 0);
    EXPECT_LT(String::compare("B", "a"), 0);  // 'B' (66) before 'a' (97)
    EXPECT_TRUE(String("a") < String("b"));
}

TEST(String, FindTakesTheIndexFirst) {
    String s("a.b.c");
    EXPECT_EQ(s.find('.'), 1u);
    EXPECT_EQ(s.find(2, '.'), 3u);
    EXPECT_EQ(s.find(4, '.'), PEG_NOT_FOUND);
    EXPECT_EQ(s.find(99, '.'), PEG_NOT_FOUND);
    EXPECT_EQ(s.find(String("b.c")), 2u);
    EXPECT_EQ(s.find("c"), 4u);
    EXPECT_EQ(s.find(String("x")), PEG_NOT_FOUND);
    EXPECT_EQ(s.find(String()), PEG_NOT_FOUND);
    EXPECT_EQ(s.find(String("a.b.c.d")), PEG_NOT_FOUND);
    EXPECT_EQ(s.reverseFind('.'), 3u);
    EXPECT_EQ(s.reverseFind('a'), 0u);
    EXPECT_EQ(s.reverseFind('z'), PEG_NOT_FOUND);
}

TEST(String, SubStringIsLenient) {
    String s("abcdef");
    EXPECT_EQ(s.subString(2), String("cdef"));
    EXPECT_EQ(s.subString(2, 2), String("cd"));
    EXPECT_EQ(s.subString(4, 100), String("ef"));
    EXPECT_EQ(s.subString(6), String());
    EXPECT_EQ(s.subString(100, 3), String());
}

TEST(String, RemoveChecksBounds) {
    String s("abcdef");
    s.remove(1, 2);
    EXPECT_EQ(s, String("adef"));
    s.remove(2);
    EXPECT_EQ(s, String("ad"));
    EXPECT_THROW(s.remove(1, 5), IndexOutOfBoundsException);
    EXPECT_THROW(s.remove(3), IndexOutOfBoundsException);
    EXPECT_EQ(s, String("ad"));
    s.remove(2, 0);
    EXPECT_EQ(s, String("ad"));
}

TEST(String, AppendAndIndexing) {
    String s;
    s.append(Char16('x')).append(String("yz"));
    const Char16 units[] = {'1', '2', '3'};
    s.append(units, 2);
    EXPECT_EQ(s, String("xyz12"));
    s.append(s);  // appending itself doubles it
    EXPECT_EQ(s, String("xyz12xyz12"));
    s[0] = 'X';
    EXPECT_EQ(s.subString(0, 3), String("Xyz"));
    const String& cs = s;
    EXPECT_EQ(cs[1], 'y');
    EXPECT_THROW(s[10], IndexOutOfBoundsException);
    EXPECT_THROW(cs[10], IndexOutOfBoundsException);
    // Concatenation without operator+=.
    String t = String("a") + String("b");
    t = t + "c";
    EXPECT_EQ(t, String("abc"));
    EXPECT_EQ(Uint16(s.getChar16Data()[s.size()]), 0u);
}

TEST(String, ToLowerIsInPlaceAndAsciiOnly) {
    String s("MiXeD \xC3\x89");  // E with acute accent stays as it is
    s.toLower();
    EXPECT_EQ(s, String("mixed \xC3\x89"));
}

TEST(String, AppendPrintfFormats) {
    String s("n=");
    s.appendPrintf("%d/%s/%05.1f", 42, "x", 2.25);
    EXPECT_EQ(s, String("n=42/x/002.2"));
    std::string longText(1000, 'q');
    s.appendPrintf("%s", longText.c_str());
    EXPECT_EQ(s.size(), 12u + 1000u);
}
