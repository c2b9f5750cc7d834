// What the engine answers besides test runs: parameter validation (answered
// by the module itself), system information, a module's own device list,
// and the NLS engine's texts, languages and default language.
#include "client-connection-manager.h"
#include "engine_harness.h"
#include "nls-access.h"

namespace velk::enginetest {
namespace {

class ServicesTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        StartEngine();
        ConnectAndWaitForDevices();
    }

    // The text of tag in language, as the engine client gets it; the
    // language it came in goes to returned.
    std::string Translate(const std::string& tag, const char* language, std::string* returned) {
        char code[3] = "";
        CGenStr text;
        EXPECT_TRUE(CGenStrInit(&text));
        EXPECT_EQ(VelkGetNlsStringWithXmlTag(tag.c_str(), language, code, &text), 1) << tag;
        std::string result = CGenStrC_Str(&text);
        CGenStrDelete(&text);
        *returned = code;
        return result;
    }
};

TEST_F(ServicesTest, ParameterValuesAreJudgedByTheModuleItself) {
    unsigned disk = DeviceId("IDE:0:0");
    std::string prefix = "VALIDATE_TEST_PARAMETERS:VeLkTest:0:" + std::to_string(disk) + ":";
    Reply small = Transact(prefix + "param=COUNT,0");
    ASSERT_EQ(small.code, 0);
    EXPECT_NE(Field(small.message, "MSG/HDR/FROM"), std::to_string(Engine().Pid()))
        << "the module answers, not the engine";
    std::string parameter =
        Field(small.message, "MSG/DATA/PARAM_VALIDATION_RESULTS/PARAMETER").value_or("");
    EXPECT_EQ(Field(parameter, "ID"), "COUNT");
    EXPECT_EQ(Field(parameter, "VALID_FLAG"), "value too small");

    // A value holding ':' stays one value.
    Reply colon = Transact(prefix + "param=COUNT,1:2");
    EXPECT_EQ(Field(colon.message, "MSG/DATA/PARAM_VALIDATION_RESULTS/PARAMETER/VALID_FLAG"),
              "value bad");
    Reply good = Transact(prefix + "param=COUNT,5:param=MODE,fail");
    EXPECT_EQ(Fields(good.message, "MSG/DATA/PARAM_VALIDATION_RESULTS/PARAMETER/VALID_FLAG"),
              (std::vector<std::string>{"valid", "valid"}));

    // Nothing to ask: the engine answers with no results.
    for (std::string command :
         {std::string("VALIDATE_TEST_PARAMETERS:VeLkNobody:0:1:param=COUNT,5"),
          prefix.substr(0, prefix.size() - 1) + "9:param=COUNT,5",
          std::string("VALIDATE_TEST_PARAMETERS:garbage")}) {
        Reply refused = Transact(command);
        EXPECT_EQ(Field(refused.message, "MSG/DATA/PARAM_VALIDATION_RESULTS"), "") << command;
    }
}

TEST_F(ServicesTest, SystemInformationComesFromEveryModuleOfTheDevice) {
    Reply reply = Transact("SYSINFO:IDE:0:1");
    ASSERT_EQ(reply.code, 0);
    std::vector<std::string> devices = Fields(reply.message, "MSG/DATA/DEVICE");
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(Field(devices[0], "MODULE_NAME"), "velktest.vkm");
    EXPECT_EQ(Field(devices[0], "HWLOCATOR"), "IDE:0:1");
    std::vector<std::string> keys = Fields(devices[0], "SYSINFO/SYSINFO_KEY");
    EXPECT_EQ(keys, (std::vector<std::string>{"VENDOR", "FEATURE", "LOCATOR"}));
    EXPECT_EQ(Fields(Field(devices[0], "SYSINFO", 1).value_or(""), "SYSINFO_VALUE").size(), 3u);

    EXPECT_EQ(Field(Transact("SYSINFO:NOWHERE:9").message, "MSG/DATA/RESULT"), "ERROR");
}

TEST_F(ServicesTest, ModulesGetTheirOwnDevicesBack) {
    for (const char* command :
         {"LIST_DEVICES:velktest", "LIST_SYSINFO_DEVICES:velktest.vkm", "LIST_DEVICES"}) {
        Reply reply = Transact(command);
        EXPECT_EQ(Fields(reply.message, "MSG/DATA/COMPONENT/DEVICE/DID"),
                  (std::vector<std::string>{"1", "2", "3", "4"}))
            << command;
        EXPECT_EQ(Field(reply.message, "MSG/DATA/COMPONENT/DEVICE/TESTS_SUPPORTED"), "0,1");
    }
    EXPECT_EQ(Field(Transact("LIST_DEVICES:nobody").message, "MSG/DATA/RESULT"), "ERROR");
}

TEST_F(ServicesTest, TextsComeInTheirLanguageWithVariablesAndFallBack) {
    std::string language;
    EXPECT_EQ(Translate("<NLS mod=velktest.vkm id=szDevCpu  NUM=0/>", "FR", &language),
              "Test processor 0");
    EXPECT_EQ(language, "EN") << "French falls back to English";
    // Escaped variable values come back as they were.
    EXPECT_EQ(
        Translate("<NLS mod=velktest.vkm id=szInfoStart  DEVICE=IDE@3A0@3A1/>", "EN", &language),
        "Test started on IDE:0:1");
    // Only German: the tag itself, marked "TK".
    const std::string description = "<NLS mod=velktest.vkm id=szParamModeDescription />";
    EXPECT_EQ(Translate(description, "DE", &language).substr(0, 4), "pass");
    const std::string unknown = "<NLS mod=velktest.vkm id=szNoSuchText />";
    EXPECT_EQ(Translate(unknown, "EN", &language), unknown);
    EXPECT_EQ(language, "TK");
    const std::string nowhere = "<NLS mod=nowhere.vkm id=szModuleName />";
    EXPECT_EQ(Translate(nowhere, "DE", &language), nowhere);
    // The engine's own texts.
    EXPECT_EQ(Translate("<NLS mod=velkcore id=szLogItemsDropped  COUNT=3/>", "DE", &language),
              "3 fruehere Protokolleintraege wurden verworfen");
}

TEST_F(ServicesTest, LanguagesDefaultLanguageAndRegistration) {
    EXPECT_EQ(Transact("NLS_GETLANGS", "NLSENGINE").Data(), "EN:DE");
    EXPECT_EQ(Transact("NLS_GET_DEFAULT_LANG", "NLSENGINE").Data(), "EN");
    EXPECT_EQ(Transact("NLS_SET_DEFAULT_LANG:de", "NLSENGINE").Data(), "<RESULT>OK</RESULT>");
    EXPECT_EQ(Transact("NLS_GET_DEFAULT_LANG", "NLSENGINE").Data(), "DE");
    EXPECT_EQ(
        Field(Transact("NLS_SET_DEFAULT_LANG:GERMAN", "NLSENGINE").message, "MSG/DATA/RESULT"),
        "ERROR");

    // A string file registered later is read from the bin directory.
    Box().WriteFile("bin/extra.nls", "[EN]\nHELLO=Hello {WHO}\n[FR]\nHELLO=Bonjour {WHO}\n");
    EXPECT_EQ(Transact("NLS_REGMOD:1:extra.nls", "NLSENGINE").Data(), "<RESULT>OK</RESULT>");
    EXPECT_EQ(Transact("NLS_GETLANGS", "NLSENGINE").Data(), "EN:DE:FR");
    std::string language;
    EXPECT_EQ(Translate("<NLS mod=extra.nls id=HELLO  WHO=Velkor/>", "FR", &language),
              "Bonjour Velkor");
    for (const char* refused :
         {"NLS_REGMOD:1:../pipes/x.nls", "NLS_REGMOD:1:missing.vkm", "NLS_REGMOD:1:velkcore",
          "NLS_REGMOD", "NLS_GETSTRING:EN:oops", "NLS_WHATEVER"}) {
        EXPECT_EQ(Field(Transact(refused, "NLSENGINE").message, "MSG/DATA/RESULT"), "ERROR")
            << refused;
    }
}

}  // namespace
}  // namespace velk::enginetest
