// Languages, tokens and their translation cache, log messages: everything
// that needs no NLS engine (lookups go through a stub or fail at once).
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "MessageImp.h"
#include "NLSImp.h"
#include "TestEnvironmentImp.h"
#include "VelkCore.h"

namespace {

using namespace VELKCORE;

// ---- Language ids ----

TEST(LanguageIdTest, CodesMapToTheirPositions) {
    EXPECT_EQ(CNLS::StrToLanguageId("EN"), CNLS::EN);
    EXPECT_EQ(CNLS::StrToLanguageId("EN"), 0);
    EXPECT_EQ(CNLS::StrToLanguageId("DE"), 22);
    EXPECT_EQ(CNLS::StrToLanguageId("FR"), 33);
    EXPECT_EQ(CNLS::StrToLanguageId("TK"), 122);
    EXPECT_EQ(CNLS::StrToLanguageId("ZU"), 142);
    EXPECT_EQ(CNLS::DE, 22);
}

TEST(LanguageIdTest, UnknownOrLowerCaseCodesAreInvalid) {
    EXPECT_EQ(CNLS::StrToLanguageId("de"), 143);
    EXPECT_EQ(CNLS::StrToLanguageId(""), CNLS::INVALID_LANGUAGE);
    EXPECT_EQ(CNLS::StrToLanguageId("DEU"), CNLS::INVALID_LANGUAGE);
    EXPECT_EQ(CNLS::StrToLanguageId("XX"), CNLS::INVALID_LANGUAGE);
}

TEST(LanguageIdTest, EveryIdRoundTripsAndInvalidIdsHaveNoCode) {
    for (int id = 0; id < 143; ++id) {
        std::string code = CNLS::LanguageIdToStr(static_cast<CNLS::LanguageId>(id));
        ASSERT_EQ(code.size(), 2u) << id;
        EXPECT_EQ(CNLS::StrToLanguageId(code), id) << code;
    }
    EXPECT_EQ(CNLS::LanguageIdToStr(static_cast<CNLS::LanguageId>(143)), "");
    EXPECT_EQ(CNLS::LanguageIdToStr(static_cast<CNLS::LanguageId>(500)), "");
    EXPECT_EQ(CNLS::LanguageIdToStr(static_cast<CNLS::LanguageId>(-1)), "");
}

// ---- Supported languages ----

class SupportedLanguagesTest : public ::testing::Test {
  protected:
    void SetUp() override { CNLSImp::_languageIdSupport.clear(); }
    void TearDown() override { CNLSImp::_languageIdSupport.clear(); }
};

TEST_F(SupportedLanguagesTest, EachAnswerIsAppended) {
    CNLS nls;
    EXPECT_EQ(CNLSImp::AppendLangs("EN:DE"), 0);
    EXPECT_EQ(CNLSImp::AppendLangs("EN:DE"), 0);
    unsigned int size = 0;
    nls.GetLanguageIdSupportArraySize(size);
    ASSERT_EQ(size, 4u);
    CNLS::LanguageId lang = CNLS::INVALID_LANGUAGE;
    EXPECT_EQ(nls.GetLanguageIdSupportArrayElement(3, lang), 0);
    EXPECT_EQ(lang, CNLS::DE);
    EXPECT_EQ(nls.GetLanguageIdSupportArrayElement(4, lang), 1);
    EXPECT_EQ(lang, CNLS::INVALID_LANGUAGE);
}

TEST_F(SupportedLanguagesTest, UnknownCodeEndsTheWalk) {
    EXPECT_EQ(CNLSImp::AppendLangs("FR:xx:DE"), 1);
    ASSERT_EQ(CNLSImp::_languageIdSupport.size(), 1u);
    EXPECT_EQ(CNLSImp::_languageIdSupport[0], CNLS::FR);
    EXPECT_EQ(CNLSImp::AppendLangs(""), 1);
    EXPECT_EQ(CNLSImp::_languageIdSupport.size(), 1u);
}

TEST_F(SupportedLanguagesTest, WithoutAnEngineNothingIsAdded) {
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
}

TEST(NLSTest, OutputLanguageIsTheEnvironmentsAndFlagsAreKept) {
    CNLS nls;
    EXPECT_EQ(nls.SetOutputLanguage(CNLS::DE), 0);
    EXPECT_EQ(CTestEnvironmentImp::GetOutputLanguage(), CNLS::DE);
    CTestEnvironmentImp::SetOutputLanguage(CNLS::EN);
    bool use = false;
    nls.GetUseNLSTokens(use);
    EXPECT_TRUE(use);
    nls.SetUseNLSTokens(false);
    nls.GetUseNLSTokens(use);
    EXPECT_FALSE(use);
}

TEST(NLSTest, LookupWithoutEngineGivesError) {
    CNLS nls;
    CNLS::LanguageId lang = CNLS::DE;
    std::string text;
    EXPECT_EQ(nls.GetHRStringFromToken("<NLS mod=x.vkm id=NAME />", lang, text), 1);
    EXPECT_EQ(text, "Error");
    EXPECT_EQ(nls.GetHRStringFromToken("plain text", lang, text), 1);
    EXPECT_EQ(text, "Error");
}

// ---- Tokens from tags ----

class TagTest : public ::testing::Test {
  protected:
    void SetUp() override { CNLSImp::_stringFile.clear(); }
    void TearDown() override { CNLSImp::_stringFile.clear(); }
};

TEST_F(TagTest, WithoutStringFileTheModuleNamesTheError) {
    EXPECT_EQ(CNLS::TagToToken("TEST_NAME"), "<NLS mod=ERROR_NO_STRING_FILE id=TEST_NAME />");
    CNLSImp::_stringFile = "x";  // fewer than two characters: still none
    EXPECT_EQ(CNLS::TagToToken("TEST_NAME"), "<NLS mod=ERROR_NO_STRING_FILE id=TEST_NAME />");
}

TEST_F(TagTest, RegisteredStringFileNamesTheModule) {
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

// ---- Translation cache ----

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

TEST(TokenTest, TranslationInTheAskedLanguageIsCached) {
    FakeNls nls;
    nls.texts = {{CNLS::EN, "Quick test"}, {CNLS::DE, "Schnelltest"}};
    CToken token(kTag);
    EXPECT_EQ(token.GetTranslatedString(CNLS::DE, nls.Lookup()), "Schnelltest");
    EXPECT_EQ(token.GetTranslatedString(CNLS::DE, nls.Lookup()), "Schnelltest");
    EXPECT_EQ(nls.lookups, 1);
    EXPECT_EQ(token.GetTranslatedString(CNLS::EN, nls.Lookup()), "Quick test");
    EXPECT_EQ(nls.lookups, 2);
    ASSERT_EQ(token.Translations().size(), 2u);
    EXPECT_EQ(token.Translations()[0].Language(), CNLS::DE);
    EXPECT_EQ(token.Translations()[1].Text(), "Quick test");
}

TEST(TokenTest, EnglishFallbackIsShownButLookedUpAgain) {
    FakeNls nls;
    nls.texts = {{CNLS::EN, "Quick test"}};
    CToken token(kTag);
    EXPECT_EQ(token.GetTranslatedString(CNLS::FR, nls.Lookup()), "Quick test");
    EXPECT_EQ(token.GetTranslatedString(CNLS::FR, nls.Lookup()), "Quick test");
    EXPECT_EQ(nls.lookups, 2);
    EXPECT_TRUE(token.Translations().empty());
    // Once the language gains the text, it is shown and cached.
    nls.texts[CNLS::FR] = "Test rapide";
    EXPECT_EQ(token.GetTranslatedString(CNLS::FR, nls.Lookup()), "Test rapide");
    EXPECT_EQ(token.GetTranslatedString(CNLS::FR, nls.Lookup()), "Test rapide");
    EXPECT_EQ(nls.lookups, 3);
}

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

TEST(TokenTest, CopiesCarryTheCache) {
    FakeNls nls;
    nls.texts = {{CNLS::DE, "Schnelltest"}};
    CToken token(kTag);
    token.GetTranslatedString(CNLS::DE, nls.Lookup());
    CToken copy = token;
    EXPECT_EQ(copy.GetTranslatedString(CNLS::DE, nls.Lookup()), "Schnelltest");
    EXPECT_EQ(nls.lookups, 1);
    CToken assigned;
    assigned = copy;
    EXPECT_EQ(assigned.Token(), kTag);
    EXPECT_EQ(assigned.Translations().size(), 1u);
}

// ---- Log messages ----

TEST(MessageTest, SeverityTextsParseExactly) {
    EXPECT_EQ(CMessage::SeverityStrToSeverityCode("INFO"), CMessage::INFORMATIVE);
    EXPECT_EQ(CMessage::SeverityStrToSeverityCode("WARN"), CMessage::WARNING);
    EXPECT_EQ(CMessage::SeverityStrToSeverityCode("ERROR"), CMessage::ERROR);
    EXPECT_EQ(CMessage::SeverityStrToSeverityCode("info"), 3);
    EXPECT_EQ(CMessage::SeverityStrToSeverityCode("INFORMATIVE"), 3);
    EXPECT_EQ(CMessage::SeverityStrToSeverityCode(""), 3);
}

TEST(MessageTest, SeverityCodesPrint) {
    EXPECT_EQ(CMessage::SeverityCodeToSeverityString(CMessage::INFORMATIVE), "INFORMATIVE");
    EXPECT_EQ(CMessage::SeverityCodeToSeverityString(CMessage::WARNING), "WARNING");
    EXPECT_EQ(CMessage::SeverityCodeToSeverityString(CMessage::ERROR), "ERROR");
    EXPECT_EQ(CMessage::SeverityCodeToSeverityString(static_cast<CMessage::Severity>(3)),
              "INVALID");
    EXPECT_EQ(CMessage::SeverityCodeToSeverityString(static_cast<CMessage::Severity>(-4)),
              "INVALID");
}

TEST(MessageTest, NewMessageHasItsInitialValues) {
    CMessage message;
    int code = 0;
    long time = 5;
    CMessage::Severity severity = CMessage::INFORMATIVE;
    message.GetEventCode(code);
    message.GetTime(time);
    message.GetSeverity(severity);
    EXPECT_EQ(code, -1);
    EXPECT_EQ(time, 0);
    EXPECT_EQ(severity, CMessage::ERROR);
    EXPECT_EQ(message.Imp().GetSequenceNo(), -1);
}

TEST(MessageTest, WithoutEventCodeOnlyTheSeverityLineIsWritten) {
    CMessageImp imp;
    imp.SetSeverity(CMessage::WARNING);
    imp.SetMessage("disk warm");
    std::ostringstream out;
    out << CMessage(imp);
    EXPECT_EQ(out.str(), "WARNING : disk warm\n");
}

TEST(MessageTest, EventCodeLineFollowsAndUnknownSeverityIsInvalid) {
    CMessageImp imp;
    imp.SetSeverity(static_cast<CMessage::Severity>(7));
    imp.SetMessage("odd");
    imp.SetEventCode(0);
    std::ostringstream out;
    out << CMessage(imp);
    EXPECT_EQ(out.str(), "INVALID : odd\nEVENT_CODE: 0\n");
}

TEST(MessageTest, ImplementationStreamsEveryField) {
    CMessageImp imp;
    imp.SetEventCode(150);
    imp.SetSeverity(CMessage::INFORMATIVE);
    imp.SetMessage("started");
    imp.SetTime(1700000000);
    imp.SetSequenceNo(4);
    std::ostringstream out;
    out << imp;
    EXPECT_EQ(out.str(),
              "Event Code: 150\nSeverity: 0\nMessage: started\nTime: 1700000000\nSeq#: 4\n");
}

TEST(MessageTest, CopiesAreIndependent) {
    CMessageImp imp;
    imp.SetMessage("first");
    CMessage original(imp);
    CMessage copy(original);
    copy.Imp().SetMessage("second");
    std::string text;
    original.GetMessage(text);
    EXPECT_EQ(text, "first");
    copy.GetMessage(text);
    EXPECT_EQ(text, "second");
    original = copy;
    original.GetMessage(text);
    EXPECT_EQ(text, "second");
}

}  // namespace
