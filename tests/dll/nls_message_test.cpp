// Languages, tokens and their translation cache, log messages: everything
// that needs no NLS engine (lookups go through a stub or fail at once).
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "MessageImp.h"
#include "NLSImp.h"
#include "TestEnvironmentImp.h"
#include "VelkCore.h"

namespace {

using namespace VELKCORE;

// ---- Language ids ----

TEST(LanguageIdTest, CodesMapToTheirPositionsExactly) {
    const std::pair<const char*, int> codes[] = {{"EN", 0},   {"DE", 22},   {"FR", 33},
                                                 {"TK", 122}, {"ZU", 142},  {"de", 143},
                                                 {"", 143},   {"DEU", 143}, {"XX", 143}};
    for (const auto& [code, id] : codes) {
        EXPECT_EQ(CNLS::StrToLanguageId(code), id) << code;
    }
    for (int id = 0; id < 143; ++id) {
        std::string code = CNLS::LanguageIdToStr(static_cast<CNLS::LanguageId>(id));
        EXPECT_EQ(CNLS::StrToLanguageId(code), id) << code;
    }
    for (int id : {143, 500, -1}) {
        EXPECT_EQ(CNLS::LanguageIdToStr(static_cast<CNLS::LanguageId>(id)), "");
    }
}

// ---- Supported languages ----

class SupportedLanguagesTest : public ::testing::Test {
  protected:
    void SetUp() override { CNLSImp::_languageIdSupport.clear(); }
    void TearDown() override { CNLSImp::_languageIdSupport.clear(); }
};

TEST_F(SupportedLanguagesTest, UnknownCodeEndsTheWalk) {
    EXPECT_EQ(CNLSImp::AppendLangs("FR:xx:DE"), 1);
    ASSERT_EQ(CNLSImp::_languageIdSupport.size(), 1u);
    EXPECT_EQ(CNLSImp::_languageIdSupport[0], CNLS::FR);
    EXPECT_EQ(CNLSImp::AppendLangs(""), 1);
    EXPECT_EQ(CNLSImp::_languageIdSupport.size(), 1u);
}

TEST_F(SupportedLanguagesTest, WithoutAnEngineLookupsFailAndNothingIsAdded) {
    CNLS nls;
    CTestEnvironmentImp::SetOutputLanguage(CNLS::FR);
    CNLS::LanguageId lang = CNLS::EN;
    EXPECT_EQ(nls.GetOutputLanguage(lang), 0);
    EXPECT_EQ(lang, CNLS::FR);
    EXPECT_TRUE(CNLSImp::_languageIdSupport.empty());
    CTestEnvironmentImp::SetOutputLanguage(CNLS::EN);
    CNLS::LanguageId defaultLang = CNLS::EN;
    EXPECT_EQ(CNLS::GetDefaultLanguage(defaultLang), 1);
    EXPECT_EQ(defaultLang, CNLS::INVALID_LANGUAGE);
    EXPECT_EQ(CNLS::SetDefaultLanguage(CNLS::DE), 1);
    EXPECT_EQ(CNLS::SetDefaultLanguage(CNLS::INVALID_LANGUAGE), 1);
    lang = CNLS::DE;
    std::string text;
    EXPECT_EQ(nls.GetHRStringFromToken("<NLS mod=x.vkm id=NAME />", lang, text), 1);
    EXPECT_EQ(text, "Error");
}

// ---- Tokens from tags ----

class TagTest : public ::testing::Test {
  protected:
    void SetUp() override { CNLSImp::_stringFile.clear(); }
    void TearDown() override { CNLSImp::_stringFile.clear(); }
};

TEST_F(TagTest, TheRegisteredStringFileNamesTheModule) {
    EXPECT_EQ(CNLS::TagToToken("TEST_NAME"), "<NLS mod=ERROR_NO_STRING_FILE id=TEST_NAME />");
    CNLSImp::_stringFile = "x";  // fewer than two characters: still none
    EXPECT_EQ(CNLS::TagToToken("TEST_NAME"), "<NLS mod=ERROR_NO_STRING_FILE id=TEST_NAME />");
    CNLS nls;
    // Registration needs the NLS engine; the name is remembered all the same.
    EXPECT_EQ(nls.RegisterStringFile("/opt/Velkor/bin/disk.vkm"), 1);
    EXPECT_EQ(CNLSImp::_stringFile, "/opt/Velkor/bin/disk.vkm");
    // The NLS engine knows the file by its last path component.
    EXPECT_EQ(CNLS::TagToToken("TEST_NAME"), "<NLS mod=disk.vkm id=TEST_NAME />");
}

TEST_F(TagTest, VariablesAreAppendedEscaped) {
    EXPECT_EQ(CNLS::AddVarToToken("<NLS id=X/>", "V", "a/b"), "<NLS id=X V=a@2Fb/>");
    EXPECT_EQ(CNLS::AddVarToToken("<NLS id=X/>", "BAD NAME", "1"), "<NLS id=X/>");
    EXPECT_EQ(CNLS::AddVarToToken("not a token", "V", "1"), "not a token");
    std::string huge = "<NLS id=X V=" + std::string(600, 'a') + "/>";
    EXPECT_EQ(CNLS::AddVarToToken(huge, "W", "1"), huge);
}

// ---- Translation cache (with real lookups: the scripted-engine tests) ----

// A stand-in for the NLS engine: texts per language, and a count of lookups.
struct FakeNls {
    std::map<CNLS::LanguageId, std::string> texts;
    int lookups = 0;

    CToken::Lookup Lookup() {
        return [this](const std::string& token, CNLS::LanguageId& lang, std::string& text) {
            ++lookups;
            auto found = texts.find(lang);
            if (found == texts.end()) {
                found = texts.find(CNLS::EN);
            }
            if (found == texts.end()) {
                lang = CNLS::TK;
                text = token;
                return 0;
            }
            lang = found->first;
            text = found->second;
            return 0;
        };
    }
};

const char* kTag = "<NLS mod=velktest.vkm id=szTestQuickName />";

TEST(TokenTest, UntranslatedOrFailedLookupShowsTheTokenUncached) {
    FakeNls nls;
    CToken token(kTag);
    EXPECT_EQ(token.GetTranslatedString(CNLS::DE, nls.Lookup()), kTag);
    EXPECT_TRUE(token.Translations().empty());
    int calls = 0;
    CToken::Lookup failing = [&calls](const std::string&, CNLS::LanguageId&, std::string& text) {
        ++calls;
        text = "Error";
        return 1;
    };
    EXPECT_EQ(token.GetTranslatedString(CNLS::DE, failing), kTag);
    EXPECT_EQ(token.GetTranslatedString(CNLS::DE, failing), kTag);
    EXPECT_EQ(calls, 2);
}

TEST(TokenTest, PlainAndEmptyTokensAreTheirOwnTextWithoutLookup) {
    FakeNls nls;
    EXPECT_EQ(CToken("UNDEF").GetTranslatedString(CNLS::DE, nls.Lookup()), "UNDEF");
    EXPECT_EQ(CToken("").GetTranslatedString(CNLS::DE, nls.Lookup()), "");
    EXPECT_EQ(CToken(static_cast<const char*>(nullptr)).Token(), "");
    EXPECT_EQ(nls.lookups, 0);
}

// ---- Log messages ----

TEST(MessageTest, SeverityTextsParseAndPrintExactly) {
    const std::pair<const char*, int> parsed[] = {{"INFO", 0}, {"WARN", 1},        {"ERROR", 2},
                                                  {"info", 3}, {"INFORMATIVE", 3}, {"", 3}};
    for (const auto& [text, code] : parsed) {
        EXPECT_EQ(CMessage::SeverityStrToSeverityCode(text), code) << text;
    }
    const std::pair<int, const char*> printed[] = {
        {0, "INFORMATIVE"}, {1, "WARNING"}, {2, "ERROR"}, {3, "INVALID"}, {-4, "INVALID"}};
    for (const auto& [code, text] : printed) {
        EXPECT_EQ(CMessage::SeverityCodeToSeverityString(static_cast<CMessage::Severity>(code)),
                  text);
    }
}

struct StreamCase {
    int severity;
    int eventCode;
    const char* text;
};

class MessageStreamTest : public ::testing::TestWithParam<StreamCase> {};

TEST_P(MessageStreamTest, EventCodeLineOnlyWithACode) {
    CMessageImp imp;
    imp.SetSeverity(static_cast<CMessage::Severity>(GetParam().severity));
    imp.SetMessage("disk warm");
    imp.SetEventCode(GetParam().eventCode);
    std::ostringstream out;
    out << CMessage(imp);
    EXPECT_EQ(out.str(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Messages, MessageStreamTest,
                         ::testing::Values(StreamCase{1, -1, "WARNING : disk warm\n"},
                                           StreamCase{7, 0,
                                                      "INVALID : disk warm\nEVENT_CODE: 0\n"}));

}  // namespace
