// The engine's readers of what others write: definitions and string files,
// command texts, module texts with stray markup and NLS tags.
#include <gtest/gtest.h>

#include "diag_commands.h"
#include "engine_settings.h"
#include "ini_file.h"
#include "markup_text.h"
#include "number_text.h"
#include "module_definition.h"
#include "nls_engine.h"
#include "nls_tag.h"

namespace velk::engine {
namespace {

TEST(IniFileTest, ReadsAsTheModuleInterfaceDoes) {
    IniFile file = IniFile::Parse(
        "  [module]\n"
        "szParameterId[0][1] = 12\n"
        "Key=first\tignored after a control character\n"
        "key=second\n"
        "[Other]\n"
        "Key=other\n"
        "[MODULE]\n"
        "Late=never read\n"
        "[Long]\n"
        "Value=" +
        std::string(600, 'x') + "\n");
    EXPECT_EQ(file.Get("Module", "szParameterId[0][1]"), " 12");
    EXPECT_EQ(file.Get("MODULE", "KEY"), "first");
    EXPECT_EQ(file.Get("Other", "Key"), "other");
    EXPECT_FALSE(file.Get("Module", "Late")) << "only the first section of a name counts";
    EXPECT_EQ(file.Get("Long", "Value")->size(), IniFile::kMaxLine - 6);
    EXPECT_FALSE(file.Get("Missing", "Key"));
    EXPECT_FALSE(IniFile::Load("/nonexistent/file.vkm"));
}

TEST(IniFileTest, DefinitionsGiveTestsAndParametersWithoutGaps) {
    ModuleDefinition module = ModuleDefinition::FromIni(
        IniFile::Parse("[Module]\nszModuleId= VeLkX \nszType=runtime\niNumTests=2\n"
                       "szTestName[0]=NAME0\niTestTimeout[0]=abc\n"
                       "szParameterId[0][0]=A\niParameterMustBeSet[0][0]=true\n"
                       "szParameterId[0][2]=GAP\n"
                       "szTestName[1]=NAME1\niTestFlags[1]=16\n"));
    EXPECT_EQ(module.moduleId, "VeLkX");
    EXPECT_EQ(module.TypeNumber(), 2);
    ASSERT_EQ(module.tests.size(), 2u);
    EXPECT_FALSE(module.tests[0].timeoutSeconds) << "not a number";
    ASSERT_EQ(module.tests[0].parameters.size(), 1u);
    EXPECT_EQ(module.tests[0].parameters[0].mustBeSet, true);
    EXPECT_EQ(module.tests[1].flags, 16);
    EXPECT_EQ(module.Test(2), nullptr);
}

TEST(TestCommandTest, SplitsModuleTestDeviceAndParameters) {
    std::optional<TestCommand> command = TestCommand::Parse(
        "VeLkTest:1:4:param=TIME,12:30:junk:param=VELK_BXI2_PERCENT_TO_TEST,50.000000");
    ASSERT_TRUE(command);
    EXPECT_EQ(command->moduleId, "VeLkTest");
    EXPECT_EQ(command->test, 1);
    EXPECT_EQ(command->deviceId, 4u);
    EXPECT_EQ(command->parameters,
              (std::vector<std::string>{"param=TIME,12:30:junk",
                                        "param=VELK_BXI2_PERCENT_TO_TEST,50.000000"}));
    EXPECT_EQ(command->percent, "50.000000");
    EXPECT_TRUE(TestCommand::Parse("cpu:2:0"));
    EXPECT_TRUE(TestCommand::Parse("cpu:2:0:other"));

    for (const char* bad : {"", "cpu", "cpu:2", ":2:0", "cpu:x:0", "cpu:-1:0", "cpu:2:-3",
                            "cpu:2:0:param=NOVALUE", "cpu:2:0:param=,5"}) {
        EXPECT_FALSE(TestCommand::Parse(bad)) << bad;
    }
    std::string many = "cpu:0:0";
    for (int i = 0; i <= static_cast<int>(TestCommand::kMaxParameters); ++i) {
        many += ":param=P" + std::to_string(i) + ",1";
    }
    EXPECT_FALSE(TestCommand::Parse(many));
    EXPECT_EQ(ScanModuleNames("<MODULE_NAME>a.vkm</MODULE_NAME><MODULE_NAME>b</MODULE_NAME>"),
              (std::vector<std::string>{"a.vkm", "b"}));
    EXPECT_EQ(CommandWord("SCAN_MODULES<MODULE_NAME>"), "SCAN_MODULES");
    EXPECT_EQ(CommandWord("SYSINFO:IDE:0:1"), "SYSINFO");
}

TEST(MarkupTest, StrayMarkupIsNeutralisedAndNlsTagsKept) {
    EXPECT_EQ(NeutraliseMarkup("a < b > c"), "a [ b ] c");
    EXPECT_EQ(NeutraliseMarkup("Disk <b>1</b>\r\n"), "Disk [b]1[/b]  ");
    EXPECT_EQ(NeutraliseMarkup("x <NLS mod=m id=i  V=1/> y"), "x <NLS mod=m id=i  V=1/> y");
    EXPECT_EQ(NeutraliseMarkup("<NLS id=<b>/>"), "[NLS id=[b]/]");
    EXPECT_EQ(NeutraliseMarkup("<NLS id=x"), "[NLS id=x");

    EXPECT_TRUE(IsBalancedMarkup("<A>x<B/>y<NLS mod=m id=i />z</A><C></C>"));
    for (const char* bad :
         {"<A>", "</A>", "<A></B>", "a < b", "a > b", "<A><B></A></B>", "<NLS id=x", "< A></A>"}) {
        EXPECT_FALSE(IsBalancedMarkup(bad)) << bad;
    }
    EXPECT_EQ(ParseUnsigned("4294967295"), 4294967295u);
    EXPECT_FALSE(ParseUnsigned("4294967296"));
    EXPECT_EQ(ParseInt("-12"), -12);
    EXPECT_FALSE(ParseInt("1x"));
}

TEST(NlsTagTest, ParsesSubstitutesAndWritesTags) {
    std::optional<NlsTag> tag =
        ParseNlsTag("<NLS mod=velktest.vkm id=szInfoPass  PASS=1 PASSES=2/>");
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->module, "velktest.vkm");
    EXPECT_EQ(tag->id, "szInfoPass");
    EXPECT_EQ(SubstituteVariables("Pass {PASS} of {PASSES}, {OTHER}", *tag),
              "Pass 1 of 2, {OTHER}");
    EXPECT_EQ(tag->Text(), "<NLS mod=velktest.vkm id=szInfoPass  PASS=1 PASSES=2/>");

    std::optional<NlsTag> escaped = ParseNlsTag("<NLS id=X DRIVE=C@3A/>");
    ASSERT_TRUE(escaped);
    EXPECT_EQ(escaped->variables[0].second, "C:");
    EXPECT_EQ(escaped->Text(), "<NLS id=X  DRIVE=C@3A/>");
    EXPECT_FALSE(ParseNlsTag("<NLS mod=x />")) << "no id";
    EXPECT_FALSE(ParseNlsTag("<NLX id=x />"));
    EXPECT_FALSE(ParseNlsTag("<NLS id=x"));
}

// Variable values arrive escaped and stay so: the client unescapes the text.
TEST(NlsTagTest, EngineAnswerKeepsEveryLanguageEscaped) {
    EngineSettings settings;
    settings.binDirectory = "/nonexistent";
    EXPECT_EQ(NlsEngine(settings).Answer(
                  "NLS_GETSTRING:EN:<NLS mod=velkcore id=szRunTimedOut  SECONDS=@3C3@3E/>"),
              "<NLS mod=velkcore id=szRunTimedOut><EN>The test exceeded its time-out of @3C3@3E "
              "s and is being stopped</EN><DE>Der Test hat sein Zeitlimit von @3C3@3E s "
              "ueberschritten und wird angehalten</DE></NLS>");
}

TEST(EngineSettingsTest, BinDirectoryIsWhereTheProgramWasStartedFrom) {
    unsetenv("VELKOR_HOME");
    EXPECT_EQ(EngineBinDirectory("/opt/x/bin/velkcore"), "/opt/x/bin");
    EXPECT_EQ(EngineBinDirectory("/velkcore"), "/");
    EXPECT_EQ(EngineBinDirectory("velkcore-not-on-any-path"), "/opt/Velkor/bin");
    setenv("VELKOR_HOME", "/srv/velkor", 1);
    EXPECT_EQ(EngineBinDirectory("/opt/x/bin/velkcore"), "/srv/velkor");
    unsetenv("VELKOR_HOME");
}

}  // namespace
}  // namespace velk::engine
