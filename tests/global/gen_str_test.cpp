// CGenStr: the growth rule, fixed buffers, formatting, searching
// and tokenizing, and the out-of-memory paths through fault injection.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "gen-str.h"
#include "test-common.h"

namespace {

// Switches allocation failures off however a test ends.
class AllocFailureGuard {
  public:
    explicit AllocFailureGuard(int32_t after) { VelkInjectAllocFailure(after); }
    ~AllocFailureGuard() { VelkInjectAllocFailure(-1); }
    AllocFailureGuard(const AllocFailureGuard&) = delete;
    AllocFailureGuard& operator=(const AllocFailureGuard&) = delete;
};

// An initialised heap string that is deleted at scope end.
class Str {
  public:
    Str() { EXPECT_EQ(1u, CGenStrInit(&s_)); }
    explicit Str(const char* text) { EXPECT_EQ(1u, CGenStrInitFromCStr(&s_, text)); }
    ~Str() { CGenStrDelete(&s_); }
    Str(const Str&) = delete;
    Str& operator=(const Str&) = delete;
    CGenStr* operator->() { return &s_; }
    CGenStr* get() { return &s_; }
    std::string text() const { return s_.pBuffer == nullptr ? "<null>" : s_.pBuffer; }

  private:
    CGenStr s_{};
};

TEST(GenStrInit, FreshAndFailedStrings) {
    Str s;
    EXPECT_EQ(0u, CGenStrSize(s.get()));
    EXPECT_EQ(0u, CGenStrCapacity(s.get()));
    EXPECT_EQ(1u, CGenStrIsEmpty(s.get()));
    EXPECT_EQ(1u, s->uLength);
    EXPECT_EQ(1u, s->uCapacity);
    EXPECT_EQ(0u, CGenStrLastI(s.get()));

    CGenStr failed;
    {
        AllocFailureGuard fail(0);
        EXPECT_EQ(0u, CGenStrInit(&failed));
    }
    EXPECT_EQ(0u, failed.uLength);
    EXPECT_EQ(0u, failed.uCapacity);
    EXPECT_EQ(0u, CGenStrIsInit(&failed));
    CGenStrDelete(&failed);

    // A zeroed string does not own storage: it cannot grow.
    CGenStr zeroed{};
    EXPECT_EQ(0u, CGenStrIsInit(&zeroed));
    EXPECT_EQ(0u, CGenStrCatChar(&zeroed, "x"));
}

TEST(GenStrInit, FromCStrDeletesTheStringWhenTheAppendFails) {
    CGenStr s;
    AllocFailureGuard fail(1);  // the 1-byte buffer succeeds, the growth fails
    EXPECT_EQ(0u, CGenStrInitFromCStr(&s, "longer than one byte"));
    EXPECT_EQ(nullptr, s.pBuffer);
    EXPECT_EQ(0u, s.uLength);
    EXPECT_EQ(0u, s.uCapacity);
}

TEST(GenStrGrowth, RequestsFollowTheGrowthRule) {
    // Bytes in use after the append (text + NUL) and the capacity they give.
    const struct {
        uint32_t requested;
        uint32_t capacity;
    } cases[] = {{2, 66},      {101, 165},   {128, 192},   {129, 193},
                 {1000, 1500}, {2047, 3070}, {2048, 4096}, {5000, 7048}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.requested);
        Str s;
        std::string text(c.requested - 1, 'x');
        ASSERT_EQ(1u, CGenStrCatChar(s.get(), text.c_str()));
        EXPECT_EQ(c.requested, s->uLength);
        EXPECT_EQ(c.capacity, s->uCapacity);
        EXPECT_EQ(text, s.text());
    }
}

TEST(GenStrGrowth, NoGrowthWhileTheTextFits) {
    Str s;
    ASSERT_EQ(1u, CGenStrCatChar(s.get(), std::string(100, 'a').c_str()));
    char* before = s->pBuffer;
    ASSERT_EQ(1u, CGenStrCatChar(s.get(), std::string(64, 'b').c_str()));  // 165 bytes exactly
    EXPECT_EQ(165u, s->uCapacity);
    EXPECT_EQ(before, s->pBuffer);
    ASSERT_EQ(1u, CGenStrCatC(s.get(), 'c'));  // 166 > 165: grows to 166 + 83
    EXPECT_EQ(249u, s->uCapacity);
}

TEST(GenStrGrowth, NullBufferGrowsToExactlyTheRequestedSize) {
    const struct {
        std::function<bool(CGenStr*)> write;
        const char* text;
    } cases[] = {
        {[](CGenStr* s) { return CGenStrCatChar(s, "hello") == 1; }, "hello"},
        {[](CGenStr* s) { return CGenStrAssignChar(s, "four") == 1; }, "four"},
        {[](CGenStr* s) { return CGenStrCatC(s, 'z') == 1; }, "z"},
        {[](CGenStr* s) { return CGenStrSprintf(s, "x=%d", 42) == 4; }, "x=42"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Str s("abc");
        CGenStrDelete(s.get());
        ASSERT_EQ(nullptr, s->pBuffer);
        ASSERT_TRUE(c.write(s.get()));
        EXPECT_EQ(std::strlen(c.text) + 1, s->uCapacity);  // no slack
        EXPECT_EQ(c.text, s.text());
    }
}

// Regression: the described growth drops the old storage when realloc fails
// (a leak, under ASan a reported one, and the content lost).
TEST(GenStrGrowth, FailedGrowthKeepsTheOldBufferAndContent) {
    Str s("abc");
    ASSERT_EQ(1u, CGenStrReserve(s.get(), 3));  // no spare byte: any append must grow
    char* before = s->pBuffer;
    ASSERT_EQ(4u, s->uCapacity);
    {
        AllocFailureGuard fail(0);
        EXPECT_EQ(0u, CGenStrCatChar(s.get(), std::string(100, 'x').c_str()));
        EXPECT_EQ(0u, CGenStrCatC(s.get(), 'y'));
        EXPECT_EQ(0u, CGenStrAssignChar(s.get(), "a longer text than fits"));
        EXPECT_EQ(0u, CGenStrReserve(s.get(), 1000));
        EXPECT_EQ(0u, CGenStrReserve(s.get(), 0));
        EXPECT_EQ(0u, CGenStrCatf(s.get(), "%d", 7));
    }
    EXPECT_EQ(before, s->pBuffer);
    EXPECT_EQ(4u, s->uCapacity);
    EXPECT_EQ(4u, s->uLength);
    EXPECT_EQ("abc", s.text());
    EXPECT_EQ(1u, CGenStrCatChar(s.get(), "def"));  // and it keeps working
    EXPECT_EQ("abcdef", s.text());
    // Sizes beyond 32 bits fail without touching the string.
    EXPECT_EQ(0u, CGenStrReserve(s.get(), UINT32_MAX));
    EXPECT_EQ("abcdef", s.text());
}

TEST(GenStrFixed, SixteenByteBufferHoldsFourteenCharacters) {
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    CGenStr s;
    ASSERT_EQ(1u, CGenStrInitBuff(&s, buffer, 0, sizeof buffer));
    EXPECT_EQ(0u, s.bOwnsBuffer);
    EXPECT_EQ(15u, s.uCapacity);
    for (int i = 0; i < 14; ++i) {
        ASSERT_EQ(1u, CGenStrCatC(&s, static_cast<char>('a' + i))) << "append " << i;
    }
    EXPECT_EQ(0u, CGenStrCatC(&s, 'o'));
    EXPECT_EQ(0u, CGenStrCatChar(&s, "o"));
    EXPECT_EQ(0u, CGenStrReserve(&s, 100));  // never reallocated
    EXPECT_STREQ("abcdefghijklmn", buffer);
    EXPECT_EQ(15u, s.uLength);
    EXPECT_EQ('#', buffer[15]);  // never written
    CGenStrDelete(&s);           // must not free the caller's buffer
    EXPECT_EQ(nullptr, s.pBuffer);
}

TEST(GenStrFixed, WrapsExistingTextAndRefusesWhatDoesNotFit) {
    char buffer[32] = "hello";
    CGenStr s{};
    ASSERT_EQ(1u, CGenStrInitBuff(&s, buffer, 5, sizeof buffer));
    EXPECT_EQ(buffer, CGenStrC_Str(&s));
    ASSERT_EQ(1u, CGenStrCatChar(&s, " world"));
    EXPECT_STREQ("hello world", buffer);
    // A one-character text is kept; only length 0 empties the buffer.
    ASSERT_EQ(1u, CGenStrInitBuff(&s, buffer, 1, 8));
    EXPECT_STREQ("hello world", buffer);
    ASSERT_EQ(1u, CGenStrInitBuff(&s, buffer, 0, 8));
    EXPECT_STREQ("", buffer);
    // An 8-byte buffer holds at most 6 characters; null or 1-byte buffers are refused.
    char eight[8] = "abcdefg";
    EXPECT_EQ(0u, CGenStrInitBuff(&s, eight, 7, sizeof eight));
    EXPECT_EQ(1u, CGenStrInitBuff(&s, eight, 6, sizeof eight));
    EXPECT_EQ(0u, CGenStrInitBuff(&s, nullptr, 0, 16));
    EXPECT_EQ(0u, CGenStrInitBuff(&s, eight, 0, 1));
}

TEST(GenStrFixed, FailedFormatLeavesItEmpty) {
    char buffer[8];
    CGenStr s;
    ASSERT_EQ(1u, CGenStrInitBuff(&s, buffer, 0, sizeof buffer));
    EXPECT_EQ(3, CGenStrSprintf(&s, "%d", 123));
    EXPECT_STREQ("123", buffer);
    EXPECT_EQ(-1, CGenStrSprintf(&s, "%s", "far too long for it"));
    EXPECT_EQ(buffer, s.pBuffer);
    EXPECT_STREQ("", buffer);
    EXPECT_EQ(1u, s.uLength);
}

TEST(GenStrReserve, ExactSizeTruncationAndNoBuffer) {
    Str s("hello");
    ASSERT_EQ(1u, CGenStrReserve(s.get(), 100));
    EXPECT_EQ(101u, s->uCapacity);
    EXPECT_EQ("hello", s.text());
    ASSERT_EQ(1u, CGenStrReserve(s.get(), 2));
    EXPECT_EQ(3u, s->uCapacity);
    EXPECT_EQ(3u, s->uLength);
    EXPECT_EQ("he", s.text());
    ASSERT_EQ(1u, CGenStrReserve(s.get(), 0));
    EXPECT_EQ(1u, s->uLength);
    EXPECT_EQ("", s.text());
    CGenStrDelete(s.get());
    ASSERT_EQ(1u, CGenStrReserve(s.get(), 9));
    EXPECT_EQ(10u, s->uCapacity);
    EXPECT_EQ("", s.text());
}

TEST(GenStrDelete, DeleteKeepBufferHandsTheBufferOver) {
    Str s("keep");
    char* buffer = CGenStrDeleteKeepBuffer(s.get());
    EXPECT_STREQ("keep", buffer);
    EXPECT_EQ(nullptr, s->pBuffer);
    EXPECT_EQ(0u, s->uLength);
    EXPECT_EQ(0u, s->uCapacity);
    free(buffer);
}

TEST(GenStrAppend, NullSelfAndFormattedAppends) {
    Str a("ab");
    EXPECT_EQ(1u, CGenStrCatChar(a.get(), nullptr));  // a successful no-op
    Str b("cd");
    ASSERT_EQ(1u, CGenStrCatStr(a.get(), b.get()));
    EXPECT_EQ("abcd", a.text());
    ASSERT_EQ(1u, CGenStrReserve(a.get(), 4));       // full: the self-append must grow
    ASSERT_EQ(1u, CGenStrCatStr(a.get(), a.get()));  // the source moves with the buffer
    EXPECT_EQ("abcdabcd", a.text());
    EXPECT_EQ(9u, a->uLength);
    std::string longText(3000, 'q');
    ASSERT_EQ(1u, CGenStrCatf(a.get(), "%d/[%s]", 42, longText.c_str()));
    EXPECT_EQ("abcdabcd42/[" + longText + "]", a.text());
}

TEST(GenStrAssign, AssignCharAndAssignStr) {
    Str s("old text");
    std::string big(500, 'b');
    ASSERT_EQ(1u, CGenStrAssignChar(s.get(), big.c_str()));
    EXPECT_EQ(big, s.text());
    EXPECT_EQ(501u + 250u, s->uCapacity);
    Str other("other");
    ASSERT_EQ(1u, CGenStrAssignStr(s.get(), other.get()));
    EXPECT_EQ("other", s.text());
    EXPECT_EQ(6u, s->uLength);
    ASSERT_EQ(1u, CGenStrAssignStr(s.get(), s.get()));
    EXPECT_EQ("other", s.text());
    ASSERT_EQ(1u, CGenStrAssignChar(s.get(), CGenStrTail(s.get(), 2)));  // a part of itself
    EXPECT_EQ("her", s.text());
}

TEST(GenStrAccess, LastIAndClearKeepingTheBuffer) {
    Str s("abc");
    EXPECT_EQ(3u, CGenStrLastI(s.get()));
    char* buffer = s->pBuffer;
    CGenStrClear(s.get());
    EXPECT_EQ("", s.text());
    EXPECT_EQ(1u, s->uLength);
    EXPECT_EQ(buffer, s->pBuffer);
}

TEST(GenStrFormat, SprintfReplacesAndGrows) {
    Str s;
    ASSERT_EQ(1u, CGenStrReserve(s.get(), 31));
    EXPECT_EQ(5, CGenStrSprintf(s.get(), "%s-%d", "ab", 12));
    EXPECT_EQ("ab-12", s.text());
    EXPECT_EQ(32u, s->uCapacity);
    std::string big(200, 'z');
    EXPECT_EQ(200, CGenStrSprintf(s.get(), "%s", big.c_str()));
    EXPECT_EQ(big, s.text());
    EXPECT_EQ(201u + 100u, s->uCapacity);  // count + 1 + GROWTH(count + 1)
    EXPECT_EQ(1, CGenStrSprintf(s.get(), "%c", 'k'));
    EXPECT_EQ("k", s.text());
    AllocFailureGuard fail(0);
    EXPECT_EQ(-1, CGenStrSprintf(s.get(), "%s", std::string(400, 'x').c_str()));
    EXPECT_NE(nullptr, s->pBuffer);
    EXPECT_EQ("", s.text());
}

TEST(GenStrFormat, SprintfIWritesAtOffsetAndDiscardsTheRest) {
    Str s("abcdef");
    EXPECT_EQ(2, CGenStrSprintfI(s.get(), 3, "%d", 42));
    EXPECT_EQ("abc42", s.text());
    std::string big(300, 'w');
    EXPECT_EQ(300, CGenStrSprintfI(s.get(), 5, "%s", big.c_str()));
    EXPECT_EQ("abc42" + big, s.text());
    EXPECT_EQ(306u, s->uLength);
    EXPECT_EQ(1, CGenStrSprintfI(s.get(), CGenStrSize(s.get()), "!"));  // at the end: appends
    EXPECT_EQ(-1, CGenStrSprintfI(s.get(), CGenStrSize(s.get()) + 1, "x"));
    Str small("abc");
    AllocFailureGuard fail(0);
    EXPECT_EQ(-1, CGenStrSprintfI(small.get(), 2, "%s", std::string(100, 'x').c_str()));
    EXPECT_EQ("ab", small.text());
}

TEST(GenStrSearch, SuffixAndSubstr) {
    Str s("abcdef");
    Str out("junk");
    EXPECT_EQ(1u, CGenStrGetSuffix(s.get(), 4, out.get()));
    EXPECT_EQ("ef", out.text());
    EXPECT_EQ(0u, CGenStrGetSuffix(s.get(), 6, out.get()));
    EXPECT_EQ("", out.text());
    const struct {
        int32_t start, count;
        uint32_t result;
        const char* text;
    } cases[] = {{2, -1, 1, "cdef"}, {6, -1, 0, ""}, {1, 0, 1, ""}, {1, 3, 1, "bcd"},
                 {4, 100, 1, "ef"},  {0, -5, 1, ""}, {-1, 2, 0, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.start) + "," + std::to_string(c.count));
        CGenStrAssignChar(out.get(), "junk");
        EXPECT_EQ(c.result, CGenStrSubstr(s.get(), c.start, c.count, out.get()));
        if (c.result == 1 || c.start >= 0) {
            EXPECT_EQ(c.text, out.text());
        }
    }
}

// All tokens of text split at ',', each in brackets.
std::string Tokens(const char* text) {
    Str s(text);
    Str token;
    int32_t pos = 0;
    int32_t found = -1;
    std::string tokens;
    for (int guard = 0; guard < 10; ++guard) {
        EXPECT_EQ(1u, CGenStrGetToken(s.get(), ',', &pos, &found, token.get()));
        if (!found) {
            return tokens;
        }
        tokens += "[" + token.text() + "]";
    }
    return tokens + "...";
}

TEST(GenStrSearch, TokenizerYieldsEmptyMiddleTokenButNoTrailingOne) {
    EXPECT_EQ("[a][][b]", Tokens("a,,b"));
    EXPECT_EQ("[a]", Tokens("a,"));
    EXPECT_EQ("", Tokens(""));
}

TEST(GenStrSearch, FindCompareAndCharacterClasses) {
    Str empty;
    EXPECT_EQ(CGENSTR_NPOS, CGenStrFindChar(empty.get(), 'a'));
    Str s("Hello");
    EXPECT_EQ(2u, CGenStrFindChar(s.get(), 'l'));
    EXPECT_EQ(0u, CGenStrFindChar(s.get(), 'H'));
    EXPECT_EQ(CGENSTR_NPOS, CGenStrFindChar(s.get(), 'z'));
    EXPECT_EQ(CGENSTR_NPOS, CGenStrFindChar(s.get(), '\0'));
    EXPECT_EQ(0, CGenStrCmpCStrI(s.get(), "hELLO"));
    EXPECT_LT(CGenStrCmpCStrI(s.get(), "world"), 0);
    EXPECT_GT(CGenStrCmpCStrI(s.get(), "abc"), 0);
    const struct {
        const char* text;
        uint32_t alpha, alnum;
    } classes[] = {{"", 1, 1}, {"abcXYZ", 1, 1}, {"ab12", 0, 1}, {"a b", 0, 0}};
    for (const auto& c : classes) {
        Str t(c.text);
        EXPECT_EQ(c.alpha, CGenStrIsAlpha(t.get())) << c.text;
        EXPECT_EQ(c.alnum, CGenStrIsAlnum(t.get())) << c.text;
    }
}

}  // namespace
