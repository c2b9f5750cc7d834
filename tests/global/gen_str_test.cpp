// CGenStr: the growth rule, fixed buffers, formatting, searching
// and tokenizing, and the out-of-memory paths through fault injection.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
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

// The capacity field after a fresh string grows to hold `requested` bytes.
uint32_t CapacityAfterRequest(uint32_t requested) {
    Str s;
    std::string text(requested - 1, 'x');  // 1 byte in use + the text = requested
    EXPECT_EQ(1u, CGenStrCatChar(s.get(), text.c_str()));
    EXPECT_EQ(requested, s->uLength);
    return s->uCapacity;
}

TEST(GenStrInit, FreshStringIsEmptyWithSizeAndCapacityZero) {
    Str s;
    EXPECT_EQ(0u, CGenStrSize(s.get()));
    EXPECT_EQ(0u, CGenStrCapacity(s.get()));
    EXPECT_EQ(1u, CGenStrIsEmpty(s.get()));
    EXPECT_EQ(1u, CGenStrIsInit(s.get()));
    EXPECT_STREQ("", CGenStrC_Str(s.get()));
    EXPECT_EQ(1u, s->uLength);
    EXPECT_EQ(1u, s->uCapacity);
    EXPECT_EQ(1u, s->bOwnsBuffer);
    EXPECT_EQ(0u, CGenStrLastI(s.get()));
}

TEST(GenStrInit, FailedAllocationLeavesLengthAndCapacityZero) {
    CGenStr s;
    {
        AllocFailureGuard fail(0);
        EXPECT_EQ(0u, CGenStrInit(&s));
    }
    EXPECT_EQ(0u, s.uLength);
    EXPECT_EQ(0u, s.uCapacity);
    EXPECT_EQ(0u, CGenStrIsInit(&s));
    CGenStrDelete(&s);
}

TEST(GenStrInit, FromCStrCopiesText) {
    Str s("hello");
    EXPECT_EQ("hello", s.text());
    EXPECT_EQ(5u, CGenStrSize(s.get()));
    EXPECT_EQ(0u, CGenStrIsEmpty(s.get()));
}

TEST(GenStrInit, FromCStrDeletesTheStringWhenTheAppendFails) {
    CGenStr s;
    AllocFailureGuard fail(1);  // the 1-byte buffer succeeds, the growth fails
    EXPECT_EQ(0u, CGenStrInitFromCStr(&s, "longer than one byte"));
    EXPECT_EQ(nullptr, s.pBuffer);
    EXPECT_EQ(0u, s.uLength);
    EXPECT_EQ(0u, s.uCapacity);
}

TEST(GenStrInit, ZeroedStructIsNotInitialised) {
    CGenStr s{};
    EXPECT_EQ(0u, CGenStrIsInit(&s));
    EXPECT_EQ(0u, CGenStrSize(&s));
    // A zeroed string does not own storage: it cannot grow.
    EXPECT_EQ(0u, CGenStrCatChar(&s, "x"));
}

TEST(GenStrGrowth, HundredCharactersOnAFreshStringGiveCapacity165) {
    Str s;
    std::string hundred(100, 'a');
    ASSERT_EQ(1u, CGenStrCatChar(s.get(), hundred.c_str()));
    EXPECT_EQ(165u, s->uCapacity);  // 101 requested + 64 slack
    EXPECT_EQ(164u, CGenStrCapacity(s.get()));
    EXPECT_EQ(101u, s->uLength);
    EXPECT_EQ(hundred, s.text());
}

TEST(GenStrGrowth, RequestsFollowTheGrowthRule) {
    EXPECT_EQ(1500u, CapacityAfterRequest(1000));
    EXPECT_EQ(7048u, CapacityAfterRequest(5000));
    EXPECT_EQ(192u, CapacityAfterRequest(128));
    EXPECT_EQ(193u, CapacityAfterRequest(129));
    EXPECT_EQ(3070u, CapacityAfterRequest(2047));
    EXPECT_EQ(4096u, CapacityAfterRequest(2048));
    EXPECT_EQ(66u, CapacityAfterRequest(2));
}

TEST(GenStrGrowth, NoGrowthWhileTheTextFits) {
    Str s;
    ASSERT_EQ(1u, CGenStrCatChar(s.get(), std::string(100, 'a').c_str()));
    char* before = s->pBuffer;
    ASSERT_EQ(1u, CGenStrCatChar(s.get(), std::string(64, 'b').c_str()));  // 165 bytes exactly
    EXPECT_EQ(165u, s->uLength);
    EXPECT_EQ(165u, s->uCapacity);
    EXPECT_EQ(before, s->pBuffer);
    ASSERT_EQ(1u, CGenStrCatC(s.get(), 'c'));  // 166 > 165: grows to 166 + 83
    EXPECT_EQ(249u, s->uCapacity);
}

TEST(GenStrGrowth, NullBufferGrowsToExactlyTheRequestedSize) {
    Str s("abc");
    CGenStrDelete(s.get());
    ASSERT_EQ(nullptr, s->pBuffer);
    ASSERT_EQ(1u, CGenStrCatChar(s.get(), "hello"));
    EXPECT_EQ(6u, s->uCapacity);  // no slack
    EXPECT_EQ(6u, s->uLength);
    EXPECT_EQ("hello", s.text());

    CGenStrDelete(s.get());
    ASSERT_EQ(1u, CGenStrAssignChar(s.get(), "four"));
    EXPECT_EQ(5u, s->uCapacity);
    EXPECT_EQ("four", s.text());

    CGenStrDelete(s.get());
    ASSERT_EQ(1u, CGenStrCatC(s.get(), 'z'));
    EXPECT_EQ(2u, s->uCapacity);
    EXPECT_EQ("z", s.text());

    CGenStrDelete(s.get());
    ASSERT_EQ(4, CGenStrSprintf(s.get(), "x=%d", 42));
    EXPECT_EQ(5u, s->uCapacity);
    EXPECT_EQ("x=42", s.text());
}

// Regression: the described growth drops the old storage when realloc fails
// (a leak, under ASan a reported one, and the content lost).
TEST(GenStrGrowth, FailedGrowthKeepsTheOldBufferAndContent) {
    Str s("abc");
    ASSERT_EQ(1u, CGenStrReserve(s.get(), 3));  // no spare byte: any append must grow
    char* before = s->pBuffer;
    uint32_t capacity = s->uCapacity;
    ASSERT_EQ(4u, capacity);
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
    EXPECT_EQ(capacity, s->uCapacity);
    EXPECT_EQ(4u, s->uLength);
    EXPECT_EQ("abc", s.text());
    // And the string keeps working afterwards.
    EXPECT_EQ(1u, CGenStrCatChar(s.get(), "def"));
    EXPECT_EQ("abcdef", s.text());
}

TEST(GenStrGrowth, SizesBeyond32BitsFailWithoutTouchingTheString) {
    Str s("abc");
    EXPECT_EQ(0u, CGenStrReserve(s.get(), UINT32_MAX));
    EXPECT_EQ("abc", s.text());
    EXPECT_EQ(4u, s->uLength);
}

TEST(GenStrFixed, SixteenByteBufferHoldsFourteenCharacters) {
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    CGenStr s;
    ASSERT_EQ(1u, CGenStrInitBuff(&s, buffer, 0, sizeof buffer));
    EXPECT_EQ(0u, s.bOwnsBuffer);
    EXPECT_EQ(15u, s.uCapacity);
    EXPECT_STREQ("", buffer);
    for (int i = 0; i < 14; ++i) {
        ASSERT_EQ(1u, CGenStrCatC(&s, static_cast<char>('a' + i))) << "append " << i;
    }
    EXPECT_STREQ("abcdefghijklmn", buffer);
    EXPECT_EQ(0u, CGenStrCatC(&s, 'o'));
    EXPECT_EQ(0u, CGenStrCatChar(&s, "o"));
    EXPECT_STREQ("abcdefghijklmn", buffer);
    EXPECT_EQ(15u, s.uLength);
    EXPECT_EQ(buffer, s.pBuffer);
    EXPECT_EQ('#', buffer[15]);  // never written
    CGenStrDelete(&s);           // must not free the caller's buffer
    EXPECT_EQ(nullptr, s.pBuffer);
}

TEST(GenStrFixed, WrapsExistingTextWithoutCopying) {
    char buffer[32] = "hello";
    CGenStr s;
    ASSERT_EQ(1u, CGenStrInitBuff(&s, buffer, 5, sizeof buffer));
    EXPECT_EQ(5u, CGenStrSize(&s));
    EXPECT_EQ(buffer, CGenStrC_Str(&s));
    ASSERT_EQ(1u, CGenStrCatChar(&s, " world"));
    EXPECT_STREQ("hello world", buffer);
}

TEST(GenStrFixed, KeepsAOneCharacterTextAndEmptiesOnlyAnEmptyOne) {
    char buffer[8] = "x";
    CGenStr s;
    ASSERT_EQ(1u, CGenStrInitBuff(&s, buffer, 1, sizeof buffer));
    EXPECT_EQ(1u, CGenStrSize(&s));
    EXPECT_STREQ("x", buffer);
    ASSERT_EQ(1u, CGenStrInitBuff(&s, buffer, 0, sizeof buffer));
    EXPECT_EQ(1u, s.uLength);
    EXPECT_STREQ("", buffer);
}

TEST(GenStrFixed, RefusesATextLongerThanTheBufferHolds) {
    char buffer[8] = "abcdefg";
    CGenStr s{};
    // An 8-byte buffer holds at most 6 characters.
    EXPECT_EQ(0u, CGenStrInitBuff(&s, buffer, 7, sizeof buffer));
    EXPECT_EQ(1u, CGenStrInitBuff(&s, buffer, 6, sizeof buffer));
}

TEST(GenStrFixed, RefusesNullOrTooSmallBuffers) {
    CGenStr s{};
    char one[1];
    EXPECT_EQ(0u, CGenStrInitBuff(&s, nullptr, 0, 16));
    EXPECT_EQ(0u, CGenStrInitBuff(&s, one, 0, 1));
}

TEST(GenStrFixed, NeverReallocatesAndFailedFormatLeavesItEmpty) {
    char buffer[8];
    CGenStr s;
    ASSERT_EQ(1u, CGenStrInitBuff(&s, buffer, 0, sizeof buffer));
    EXPECT_EQ(0u, CGenStrReserve(&s, 100));
    EXPECT_EQ(0u, CGenStrReserve(&s, 0));
    EXPECT_EQ(3, CGenStrSprintf(&s, "%d", 123));
    EXPECT_STREQ("123", buffer);
    EXPECT_EQ(-1, CGenStrSprintf(&s, "%s", "far too long for it"));
    EXPECT_EQ(buffer, s.pBuffer);
    EXPECT_STREQ("", buffer);
    EXPECT_EQ(1u, s.uLength);
}

TEST(GenStrReserve, ExactSizeAndTruncation) {
    Str s("hello");
    ASSERT_EQ(1u, CGenStrReserve(s.get(), 100));
    EXPECT_EQ(101u, s->uCapacity);
    EXPECT_EQ("hello", s.text());
    ASSERT_EQ(1u, CGenStrReserve(s.get(), 2));
    EXPECT_EQ(3u, s->uCapacity);
    EXPECT_EQ(3u, s->uLength);
    EXPECT_EQ("he", s.text());
    ASSERT_EQ(1u, CGenStrReserve(s.get(), 0));
    EXPECT_EQ(1u, s->uCapacity);
    EXPECT_EQ(1u, s->uLength);
    EXPECT_EQ("", s.text());
}

TEST(GenStrReserve, WithoutBufferAllocatesZeroed) {
    Str s;
    CGenStrDelete(s.get());
    ASSERT_EQ(1u, CGenStrReserve(s.get(), 9));
    EXPECT_EQ(10u, s->uCapacity);
    EXPECT_EQ(1u, s->uLength);
    EXPECT_EQ("", s.text());
}

TEST(GenStrDelete, DeleteKeepBufferHandsTheBufferOver) {
    Str s("keep");
    char* buffer = CGenStrDeleteKeepBuffer(s.get());
    EXPECT_STREQ("keep", buffer);
    EXPECT_EQ(nullptr, s->pBuffer);
    EXPECT_EQ(0u, s->uLength);
    EXPECT_EQ(0u, s->uCapacity);
    EXPECT_EQ(1u, s->bOwnsBuffer);  // left as it was
    free(buffer);
}

TEST(GenStrAppend, NullTextIsASuccessfulNoOp) {
    Str s("a");
    EXPECT_EQ(1u, CGenStrCatChar(s.get(), nullptr));
    EXPECT_EQ("a", s.text());
}

TEST(GenStrAppend, CatStrAndSelfAppend) {
    Str a("ab");
    Str b("cd");
    ASSERT_EQ(1u, CGenStrCatStr(a.get(), b.get()));
    EXPECT_EQ("abcd", a.text());
    ASSERT_EQ(1u, CGenStrReserve(a.get(), 4));       // full: the self-append must grow
    ASSERT_EQ(1u, CGenStrCatStr(a.get(), a.get()));  // the source moves with the buffer
    EXPECT_EQ("abcdabcd", a.text());
    EXPECT_EQ(9u, a->uLength);
}

TEST(GenStrAppend, CatfAppendsFormattedText) {
    Str s("n=");
    ASSERT_EQ(1u, CGenStrCatf(s.get(), "%d/%s", 42, "x"));
    EXPECT_EQ("n=42/x", s.text());
    std::string longText(3000, 'q');
    ASSERT_EQ(1u, CGenStrCatf(s.get(), "[%s]", longText.c_str()));
    EXPECT_EQ("n=42/x[" + longText + "]", s.text());
}

TEST(GenStrAssign, AssignCharAndAssignStr) {
    Str s("old text");
    ASSERT_EQ(1u, CGenStrAssignChar(s.get(), "new"));
    EXPECT_EQ("new", s.text());
    EXPECT_EQ(4u, s->uLength);
    std::string big(500, 'b');
    ASSERT_EQ(1u, CGenStrAssignChar(s.get(), big.c_str()));
    EXPECT_EQ(big, s.text());
    EXPECT_EQ(501u + 250u, s->uCapacity);

    Str other("other");
    ASSERT_EQ(1u, CGenStrAssignStr(s.get(), other.get()));
    EXPECT_EQ("other", s.text());
    ASSERT_EQ(1u, CGenStrAssignStr(s.get(), s.get()));
    EXPECT_EQ("other", s.text());
    // A part of the string itself.
    ASSERT_EQ(1u, CGenStrAssignChar(s.get(), CGenStrTail(s.get(), 2)));
    EXPECT_EQ("her", s.text());
}

TEST(GenStrAccess, TailGetSetLastIClear) {
    Str s("abc");
    EXPECT_STREQ("bc", CGenStrTail(s.get(), 1));
    EXPECT_EQ('b', CGenStrGet(s.get(), 1));
    CGenStrSet(s.get(), 1, static_cast<char>(0xE9));
    EXPECT_EQ(static_cast<int>(static_cast<signed char>(0xE9)), CGenStrGet(s.get(), 1));
    EXPECT_LT(CGenStrGet(s.get(), 1), 0);  // sign-extended
    EXPECT_EQ(4u, s->uLength);             // Set does not touch the length
    EXPECT_EQ(3u, CGenStrLastI(s.get()));
    char* buffer = s->pBuffer;
    CGenStrClear(s.get());
    EXPECT_EQ("", s.text());
    EXPECT_EQ(1u, s->uLength);
    EXPECT_EQ(buffer, s->pBuffer);
    EXPECT_EQ(0u, CGenStrLastI(s.get()));
}

TEST(GenStrFormat, SprintfWithinCapacityAndGrowing) {
    Str s;
    ASSERT_EQ(1u, CGenStrReserve(s.get(), 31));
    EXPECT_EQ(5, CGenStrSprintf(s.get(), "%s-%d", "ab", 12));
    EXPECT_EQ("ab-12", s.text());
    EXPECT_EQ(32u, s->uCapacity);
    std::string big(200, 'z');
    EXPECT_EQ(200, CGenStrSprintf(s.get(), "%s", big.c_str()));
    EXPECT_EQ(big, s.text());
    EXPECT_EQ(201u, s->uLength);
    EXPECT_EQ(201u + 100u, s->uCapacity);  // count + 1 + GROWTH(count + 1)
    // Replaces, never appends.
    EXPECT_EQ(1, CGenStrSprintf(s.get(), "%c", 'k'));
    EXPECT_EQ("k", s.text());
}

TEST(GenStrFormat, SprintfGrowthFailureReturnsMinusOne) {
    Str s("keep");
    AllocFailureGuard fail(0);
    EXPECT_EQ(-1, CGenStrSprintf(s.get(), "%s", std::string(100, 'x').c_str()));
    EXPECT_NE(nullptr, s->pBuffer);
    EXPECT_EQ(1u, s->uLength);
    EXPECT_EQ("", s.text());
}

TEST(GenStrFormat, SprintfIWritesAtOffsetAndDiscardsTheRest) {
    Str s("abcdef");
    EXPECT_EQ(2, CGenStrSprintfI(s.get(), 3, "%d", 42));
    EXPECT_EQ("abc42", s.text());
    EXPECT_EQ(6u, s->uLength);
    std::string big(300, 'w');
    EXPECT_EQ(300, CGenStrSprintfI(s.get(), 5, "%s", big.c_str()));
    EXPECT_EQ("abc42" + big, s.text());
    EXPECT_EQ(306u, s->uLength);
    // At the end it appends.
    EXPECT_EQ(1, CGenStrSprintfI(s.get(), CGenStrSize(s.get()), "!"));
    EXPECT_EQ("abc42" + big + "!", s.text());
    // Beyond the text there is nothing to write after.
    EXPECT_EQ(-1, CGenStrSprintfI(s.get(), CGenStrSize(s.get()) + 1, "x"));
}

TEST(GenStrFormat, SprintfIGrowthFailureKeepsTextBeforeTheOffset) {
    Str s("abc");
    AllocFailureGuard fail(0);
    EXPECT_EQ(-1, CGenStrSprintfI(s.get(), 2, "%s", std::string(100, 'x').c_str()));
    EXPECT_EQ("ab", s.text());
    EXPECT_EQ(3u, s->uLength);
}

TEST(GenStrSearch, GetSuffix) {
    Str s("abcdef");
    Str out("junk");
    EXPECT_EQ(1u, CGenStrGetSuffix(s.get(), 4, out.get()));
    EXPECT_EQ("ef", out.text());
    EXPECT_EQ(0u, CGenStrGetSuffix(s.get(), 6, out.get()));
    EXPECT_EQ("", out.text());
}

TEST(GenStrSearch, Substr) {
    Str s("abcdef");
    Str out("junk");
    EXPECT_EQ(1u, CGenStrSubstr(s.get(), 2, -1, out.get()));
    EXPECT_EQ("cdef", out.text());
    EXPECT_EQ(0u, CGenStrSubstr(s.get(), 6, -1, out.get()));
    EXPECT_EQ("", out.text());
    EXPECT_EQ(1u, CGenStrSubstr(s.get(), 1, 0, out.get()));
    EXPECT_EQ("", out.text());
    EXPECT_EQ(1u, CGenStrSubstr(s.get(), 1, 3, out.get()));
    EXPECT_EQ("bcd", out.text());
    EXPECT_EQ(1u, CGenStrSubstr(s.get(), 4, 100, out.get()));
    EXPECT_EQ("ef", out.text());
    EXPECT_EQ(1u, CGenStrSubstr(s.get(), 0, -5, out.get()));
    EXPECT_EQ("", out.text());
    EXPECT_EQ(0u, CGenStrSubstr(s.get(), -1, 2, out.get()));
}

TEST(GenStrSearch, TokenizerYieldsEmptyMiddleTokenButNoTrailingOne) {
    Str s("a,,b");
    Str token;
    int32_t pos = 0;
    int32_t found = -1;
    std::string tokens;
    for (int guard = 0; guard < 10; ++guard) {
        ASSERT_EQ(1u, CGenStrGetToken(s.get(), ',', &pos, &found, token.get()));
        if (!found) {
            break;
        }
        tokens += "[" + token.text() + "]";
    }
    EXPECT_EQ("[a][][b]", tokens);
    EXPECT_EQ(0, found);

    Str trailing("a,");
    pos = 0;
    ASSERT_EQ(1u, CGenStrGetToken(trailing.get(), ',', &pos, &found, token.get()));
    EXPECT_EQ(1, found);
    EXPECT_EQ("a", token.text());
    ASSERT_EQ(1u, CGenStrGetToken(trailing.get(), ',', &pos, &found, token.get()));
    EXPECT_EQ(0, found);
    EXPECT_EQ("", token.text());

    Str empty;
    pos = 0;
    ASSERT_EQ(1u, CGenStrGetToken(empty.get(), ',', &pos, &found, token.get()));
    EXPECT_EQ(0, found);
}

TEST(GenStrSearch, FindChar) {
    Str empty;
    EXPECT_EQ(0xFFFFFFFFu, CGenStrFindChar(empty.get(), 'a'));
    Str s("hello");
    EXPECT_EQ(2u, CGenStrFindChar(s.get(), 'l'));
    EXPECT_EQ(0u, CGenStrFindChar(s.get(), 'h'));
    EXPECT_EQ(CGENSTR_NPOS, CGenStrFindChar(s.get(), 'z'));
    EXPECT_EQ(CGENSTR_NPOS, CGenStrFindChar(s.get(), '\0'));
}

TEST(GenStrSearch, CompareIgnoringCase) {
    Str s("Hello");
    EXPECT_EQ(0, CGenStrCmpCStrI(s.get(), "hELLO"));
    EXPECT_LT(CGenStrCmpCStrI(s.get(), "world"), 0);
    EXPECT_GT(CGenStrCmpCStrI(s.get(), "abc"), 0);
}

TEST(GenStrSearch, CharacterClasses) {
    Str empty;
    EXPECT_EQ(1u, CGenStrIsAlpha(empty.get()));
    EXPECT_EQ(1u, CGenStrIsAlnum(empty.get()));
    Str alpha("abcXYZ");
    EXPECT_EQ(1u, CGenStrIsAlpha(alpha.get()));
    EXPECT_EQ(1u, CGenStrIsAlnum(alpha.get()));
    Str alnum("ab12");
    EXPECT_EQ(0u, CGenStrIsAlpha(alnum.get()));
    EXPECT_EQ(1u, CGenStrIsAlnum(alnum.get()));
    Str blank("a b");
    EXPECT_EQ(0u, CGenStrIsAlpha(blank.get()));
    EXPECT_EQ(0u, CGenStrIsAlnum(blank.get()));
}

}  // namespace
