// NLS access: tags and variables, the NLS engine's reply, message
// translation without an NLS engine, languages, the code tables of
// parameters and the module's own tags.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "bxi2-internal.h"
#include "client-messaging-engine.h"
#include "nls-access.h"
#include "param-valid.h"

namespace {

class Str {
  public:
    Str() { EXPECT_EQ(CGenStrInit(&s_), 1u); }
    explicit Str(const char* text) { EXPECT_EQ(CGenStrInitFromCStr(&s_, text), 1u); }
    ~Str() { CGenStrDelete(&s_); }
    CGenStr* get() { return &s_; }
    std::string text() const { return CGenStrC_Str(&s_); }

  private:
    CGenStr s_;
};

TEST(NlsTags, BuiltFromModuleAndId) {
    Str tag;
    ASSERT_EQ(VelkNlsBuildTag("DISK", "TEST_NAME", tag.get()), 1);
    EXPECT_EQ(tag.text(), "<NLS mod=DISK id=TEST_NAME/>");
    ASSERT_EQ(VelkNlsBuildTag(nullptr, "PASS", tag.get()), 1);
    EXPECT_EQ(tag.text(), "<NLS id=PASS/>");
    EXPECT_EQ(VelkNlsBuildTag(nullptr, "BAD ID", tag.get()), 0);
    EXPECT_EQ(VelkNlsBuildTag("bad/mod", "X", tag.get()), 0);
    EXPECT_EQ(tag.text(), "<NLS id=PASS/>");
}

TEST(NlsTags, VariablesAreEscapedAndRefusedWithTheirCodes) {
    Str tag("<NLS id=X/>");
    ASSERT_EQ(VelkNlsAddVariableToTagStr(tag.get(), "V", "a/b"), VELK_NLS_VAR_OK);
    ASSERT_EQ(VelkNlsAddVariableToTagStr(tag.get(), "DRIVE", "C:"), VELK_NLS_VAR_OK);
    EXPECT_EQ(tag.text(), "<NLS id=X V=a@2Fb DRIVE=C@3A/>");
    EXPECT_EQ(VelkNlsAddVariableToTagStr(tag.get(), "BAD NAME", "v"), VELK_NLS_VAR_BAD_NAME);
    EXPECT_EQ(VelkNlsAddVariableToTagStr(tag.get(), nullptr, "v"), VELK_NLS_VAR_BAD_NAME);
    EXPECT_EQ(VelkNlsAddVariableToTagStr(nullptr, "N", "v"), VELK_NLS_VAR_NULL_TAG);
    EXPECT_EQ(VelkNlsAddVariableToTagStr(tag.get(), "N", nullptr), VELK_NLS_VAR_NULL_VALUE);
    Str notATag("<XYZ id=X/>");
    EXPECT_EQ(VelkNlsAddVariableToTagStr(notATag.get(), "N", "v"), VELK_NLS_VAR_NOT_A_TAG);
    Str open("<NLS id=X");
    EXPECT_EQ(VelkNlsAddVariableToTagStr(open.get(), "N", "v"), VELK_NLS_VAR_NOT_CLOSED);
    EXPECT_EQ(open.text(), "<NLS id=X");
}

TEST(NlsTags, BufferFormNeedsRoomForTheResult) {
    char tag[32] = "<NLS id=X/>";
    EXPECT_EQ(VelkNlsAddVariableToTag(nullptr, 32, "V", "1"), VELK_NLS_VAR_NULL_TAG);
    // Not larger than the tag's length.
    EXPECT_EQ(VelkNlsAddVariableToTag(tag, 11, "V", "1"), VELK_NLS_VAR_NO_ROOM);
    // The result and its NUL must fit: "<NLS id=X V=12345/>" is 19 bytes.
    EXPECT_EQ(VelkNlsAddVariableToTag(tag, 19, "V", "12345"), VELK_NLS_VAR_NO_ROOM);
    EXPECT_STREQ(tag, "<NLS id=X/>");
    EXPECT_EQ(VelkNlsAddVariableToTag(tag, 20, "V", "12345"), VELK_NLS_VAR_OK);
    EXPECT_STREQ(tag, "<NLS id=X V=12345/>");
    EXPECT_EQ(VelkNlsAddVariableToTag(tag, sizeof tag, "1 2", "x"), VELK_NLS_VAR_BAD_NAME);
}

// The text and returned language that a reply gives for lang.
struct Lookup {
    int result;
    std::string lang;
    std::string text;
};

Lookup Parse(const char* reply, const char* lang, const char* tag = "<NLS id=T/>") {
    char returned[VELK_LANG_ID_SIZE] = "??";
    Str text;
    int result = VelkNlsParseStringReply(reply, lang, tag, returned, text.get());
    return {result, returned, text.text()};
}

const char kReply[] =
    "<MSG><HDR><TYPE>TRANSACTION_RESPONSE</TYPE></HDR><DATA><NLS mod=DISK id=T><DE>Laufwerk "
    "C@3A defekt</DE><EN>Drive C@3A failed</EN></NLS></DATA></MSG>";

TEST(NlsReply, LanguageElementsOutsideTheNlsElementDoNotCount) {
    Lookup de = Parse(kReply, "DE");
    EXPECT_EQ(de.lang, "DE");
    EXPECT_EQ(de.text, "Laufwerk C: defekt");
    Lookup outside = Parse("<DATA><NLS id=T></NLS><EN>other</EN></DATA>", "EN");
    EXPECT_EQ(outside.result, 1);
    EXPECT_EQ(outside.lang, "TK");
    EXPECT_EQ(outside.text, "<NLS id=T/>");
}

TEST(NlsReply, MalformedRepliesFail) {
    EXPECT_EQ(Parse("<DATA>no element</DATA>", "EN").result, 0);
    EXPECT_EQ(Parse("<DATA><NLS id=T", "EN").result, 0);
    EXPECT_EQ(Parse("<DATA><NLS id=T><EN>never ends", "EN").result, 0);
}

TEST(NlsLookup, CommandAreaRefusesAnOverlongTag) {
    char command[64];
    ASSERT_EQ(VelkNlsBuildGetStringCommand("DE", "<NLS id=A/>", command, sizeof command), 0);
    EXPECT_STREQ(command, "NLS_GETSTRING:DE:<NLS id=A/>");
    std::string longTag = "<NLS id=" + std::string(100, 'x') + "/>";
    EXPECT_NE(VelkNlsBuildGetStringCommand("DE", longTag.c_str(), command, sizeof command), 0);
    EXPECT_STREQ(command, "");
    std::string hugeTag = "<NLS id=" + std::string(VELK_NLS_COMMAND_AREA, 'x') + "/>";
    char returned[VELK_LANG_ID_SIZE];
    Str text;
    EXPECT_EQ(VelkGetNlsStringWithXmlTag(hugeTag.c_str(), "EN", returned, text.get()), 0);
}

TEST(NlsLookup, BadArgumentsSendNothing) {
    char returned[VELK_LANG_ID_SIZE] = "??";
    Str text("old");
    EXPECT_EQ(VelkGetNlsStringWithXmlTag("<NLS id=A/>", "ENG", returned, text.get()), 0);
    EXPECT_STREQ(returned, "");
    EXPECT_EQ(text.text(), "");
    EXPECT_EQ(VelkGetNlsStringWithXmlTag("NLS id=A/>", "EN", returned, text.get()), 0);
    EXPECT_EQ(VelkGetNlsStringWithXmlTag("", "EN", returned, text.get()), 0);
    char buffer[32] = "old";
    EXPECT_EQ(VelkGetNlsStringWithIdEx(nullptr, "BAD ID", nullptr, buffer, sizeof buffer), nullptr);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(VelkGetNlsStringWithIdEx(nullptr, "ID", nullptr, buffer, 0), nullptr);
    // Without an NLS engine the lookup fails.
    EXPECT_EQ(VelkGetNlsStringWithId("PASS", buffer, sizeof buffer), nullptr);
    EXPECT_EQ(VelkAllocAndGetNlsStringWithId("PASS"), nullptr);
}

TEST(NlsMessages, UntranslatableTagsStayAsTheyAre) {
    Str out;
    ASSERT_EQ(VelkGetNlsMessageWithXmlMessage("Result: <NLS id=PASS/> done", "EN", out.get()), 1);
    EXPECT_EQ(out.text(), "Result: <NLS id=PASS/> done");
    // An unclosed tag and the rest after it are kept too.
    ASSERT_EQ(VelkGetNlsMessageWithXmlMessage("a <NLS id=X/> b <NLS id=Y c", "DE", out.get()), 1);
    EXPECT_EQ(out.text(), "a <NLS id=X/> b <NLS id=Y c");
    ASSERT_EQ(VelkGetNlsMessageWithXmlMessage("no tags at all", nullptr, out.get()), 1);
    EXPECT_EQ(out.text(), "no tags at all");
    EXPECT_EQ(VelkGetNlsMessageWithXmlMessage("", "EN", out.get()), 0);
    EXPECT_EQ(VelkGetNlsMessageWithXmlMessage(nullptr, "EN", out.get()), 0);
}

TEST(NlsMessages, TranslatedSendWithoutConnectionFails) {
    char language[VELK_LANG_ID_SIZE] = "";
    EXPECT_NE(VelkClientSendMessageTranslated("<MSG></MSG>\r\n", language), 0);
    EXPECT_STREQ(language, "EN");
}

TEST(Languages, IdsAndTheLocalDefault) {
    EXPECT_EQ(IsValidLangId("EN"), 1);
    EXPECT_EQ(IsValidLangId("E"), 0);
    EXPECT_EQ(IsValidLangId("ENG"), 0);
    EXPECT_EQ(IsValidLangId(""), 0);
    EXPECT_EQ(IsValidLangId(nullptr), 0);
    EXPECT_EQ(IsNullOrBlankString(nullptr), 1);
    EXPECT_EQ(IsNullOrBlankString(" \t\n"), 1);
    EXPECT_EQ(IsNullOrBlankString(" x "), 0);
    EXPECT_STREQ(VelkGetLocalDefaultLanguage(), "EN");
    VelkSetLocalDefaultLanguage("DEU");
    EXPECT_STREQ(VelkGetLocalDefaultLanguage(), "DE");
    VelkSetLocalDefaultLanguage(nullptr);
    EXPECT_STREQ(VelkGetLocalDefaultLanguage(), "");
    Str out;
    // Neither the given language nor the default is usable.
    EXPECT_EQ(VelkGetNlsMessageWithXmlMessage("text", "X", out.get()), 0);
    VelkSetLocalDefaultLanguage("EN");
}

TEST(ParameterTables, TypeNames) {
    EXPECT_EQ(ParameterTypeStrToType("UINT32"), 1);
    EXPECT_EQ(ParameterTypeStrToType("int32"), 0);
    EXPECT_EQ(ParameterTypeStrToType("String"), 4);
    EXPECT_EQ(ParameterTypeStrToType("double"), -1);
    EXPECT_EQ(ParameterTypeStrToType(nullptr), -1);
    EXPECT_STREQ(ParameterTypeToStr(2), "bool");
    EXPECT_STREQ(ParameterTypeToStr(3), "float");
    EXPECT_STREQ(ParameterTypeToStr(5), "invalid");
    EXPECT_STREQ(ParameterTypeToStr(-1), "invalid");
}

TEST(ModuleTags, TagsOfTheModule) {
    EXPECT_STREQ(Bxi2_NlsTagToTokenMod("hdd.vkm", "szName"), "<NLS mod=hdd.vkm id=szName />");
    const char* tag = Bxi2_NlsTagToTokenVarMod("hdd.vkm", "szDrive", "NUM", "0", "PATH", "/dev/sda",
                                               (char*)nullptr);
    ASSERT_NE(tag, nullptr);
    EXPECT_STREQ(tag, "<NLS mod=hdd.vkm id=szDrive  NUM=0 PATH=@2Fdev@2Fsda/>");
    std::string longId(2000, 'i');
    EXPECT_EQ(Bxi2_NlsTagToTokenMod("m", longId.c_str()), nullptr);
    EXPECT_EQ(Bxi2_NlsTagToTokenVarMod("m", "x", "BAD NAME", "v", (char*)nullptr), nullptr);
    // Without a module name the definitions file names the module.
    Bxi2_I_ResetModuleState();
    std::snprintf(g_Bxi2.defFile, sizeof g_Bxi2.defFile, "%s", "/opt/Velkor/bin/cpu.vkm");
    EXPECT_STREQ(Bxi2_NlsTagToToken("szCpu"), "<NLS mod=cpu.vkm id=szCpu />");
    Bxi2_I_ResetModuleState();
}

}  // namespace
