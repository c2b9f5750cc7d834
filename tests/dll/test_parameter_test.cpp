// Test parameters: description reading, validation verdicts from replies
// built by hand, values that cannot travel, stream output; the
// percent-to-test parameter of a test.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "ModuleImp.h"
#include "ReplyBuilder.h"
#include "TestImp.h"
#include "TestParamImp.h"
#include "VelkCore.h"

namespace {

using namespace VELKCORE;
using velk::dlltest::Element;
using velk::dlltest::Reply;

// A validation reply whose verdict for id follows another parameter's, so
// that every reading must pick the verdict by its id.
std::string Verdict(const std::string& id, const std::string& flag, const std::string& extra = "") {
    return Reply(Element(
        "PARAM_VALIDATION_RESULTS",
        Element("PARAMETER",
                Element("ID", "VELK_BXI2_PERCENT_TO_TEST") + Element("VALID_FLAG", "value bad")) +
            Element("PARAMETER", Element("ID", id) + Element("VALID_FLAG", flag) + extra)));
}

CTestParameter::State StateOf(const CTestParamImp& parameter) {
    CTestParameter::State state = CTestParameter::NOT_APPLIED;
    parameter.GetState(state);
    return state;
}

TEST(TestParameterTest, FieldsLongerThanTheirAreaAreIgnored) {
    std::string description =
        Element("ID", "P") + Element("NAME", std::string(300, 'n')) + Element("MIN_VALUE", "1");
    CTestParamImp parameter(0, "M", 0, description.c_str());
    std::string text;
    parameter.GetName(text);
    EXPECT_EQ(text, "UNDEF");
    bool has = false;
    parameter.HasMinVal(has);
    EXPECT_TRUE(has);
}

struct VerdictCase {
    const char* flag;
    CTestParameter::State state;
};

class VerdictTest : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(VerdictTest, FlagBecomesState) {
    CTestParamImp parameter(0, "DISK", 3, std::string("PASSES"));
    EXPECT_EQ(parameter.ApplyValidationReply(Verdict("PASSES", GetParam().flag).c_str()), 0);
    EXPECT_EQ(StateOf(parameter), GetParam().state);
}

INSTANTIATE_TEST_SUITE_P(
    Flags, VerdictTest,
    ::testing::Values(VerdictCase{"valid", CTestParameter::VALID},
                      VerdictCase{"id not recognized", CTestParameter::ID_NOT_RECOGNIZED},
                      VerdictCase{"value too big", CTestParameter::VALUE_TOO_BIG},
                      VerdictCase{"value too small", CTestParameter::VALUE_TOO_SMALL},
                      VerdictCase{"value bad", CTestParameter::VALUE_BAD},
                      VerdictCase{"VALUE BAD", CTestParameter::VALUE_BAD},
                      VerdictCase{"maybe", CTestParameter::INVALID},
                      VerdictCase{"", CTestParameter::INVALID}));

TEST(TestParameterTest, VerdictBringsTheLimits) {
    std::string description = Element("ID", "PASSES") + Element("TYPE", "int32");
    CTestParamImp parameter(0, "DISK", 3, description.c_str());
    bool has = true;
    parameter.HasMaxVal(has);
    EXPECT_FALSE(has);
    ASSERT_EQ(parameter.ApplyValidationReply(
                  Verdict("PASSES", "value too big", Element("MAX_VALUE", "100")).c_str()),
              0);
    EXPECT_EQ(StateOf(parameter), CTestParameter::VALUE_TOO_BIG);
    parameter.HasMaxVal(has);
    EXPECT_TRUE(has);
    parameter.HasMinVal(has);
    EXPECT_FALSE(has);
}

TEST(TestParameterTest, ReplyWithoutVerdictLeavesTheState) {
    CTestParamImp parameter(0, "DISK", 3, std::string("PASSES"));
    ASSERT_EQ(parameter.ApplyValidationReply(Verdict("PASSES", "valid").c_str()), 0);
    EXPECT_EQ(parameter.ApplyValidationReply(Reply("OK").c_str()), 1);
    EXPECT_EQ(
        parameter.ApplyValidationReply(Reply(Element("PARAM_VALIDATION_RESULTS",
                                                     Element("PARAMETER", Element("ID", "PASSES"))))
                                           .c_str()),
        1);
    EXPECT_EQ(StateOf(parameter), CTestParameter::VALID);
}

TEST(TestParameterTest, SilentEngineGivesFailureAndKeepsTheState) {
    CTestParamImp parameter(0, "DISK", 3, std::string("PASSES"));
    ASSERT_EQ(parameter.ApplyValidationReply(Verdict("PASSES", "value too small").c_str()), 0);
    CTestParameter* iface = parameter.Interface();
    EXPECT_EQ(iface->ApplyValue("5"), 1);
    CTestParameter::State state = CTestParameter::NOT_APPLIED;
    iface->GetState(state);
    EXPECT_EQ(state, CTestParameter::VALUE_TOO_SMALL);
    std::string value;
    iface->GetValue(value);
    EXPECT_EQ(value, "5");
    EXPECT_TRUE(parameter.Validated());
}

TEST(TestParameterTest, BoundsOfAnUnvalidatedParameterNeedAValidation) {
    std::string description = Element("ID", "PASSES") + Element("MIN_VALUE", "1");
    CTestParamImp parameter(0, "DISK", 3, description.c_str());
    std::string bound = "unchanged";
    EXPECT_EQ(parameter.GetMinVal(bound), 1);
    EXPECT_EQ(bound, "unchanged");
    EXPECT_TRUE(parameter.Validated());
    // The attempt counts: the stored bound is given from now on.
    EXPECT_EQ(parameter.GetMinVal(bound), 0);
    EXPECT_EQ(bound, "1");
    EXPECT_EQ(parameter.GetMaxVal(bound), 0);
    EXPECT_EQ(bound, "UNDEF");
}

TEST(TestParameterTest, ValuesThatWouldCorruptTheCommandAreRefused) {
    CTestParamImp parameter(0, "DISK", 3, std::string("NAME"));
    for (const char* value : {"a<b", "</DATA>", "x>y", "two\nlines", "cr\r"}) {
        ASSERT_EQ(parameter.ApplyValidationReply(Verdict("NAME", "valid").c_str()), 0);
        EXPECT_EQ(parameter.ApplyValue(value), 0) << value;
        EXPECT_EQ(StateOf(parameter), CTestParameter::VALUE_BAD) << value;
        EXPECT_FALSE(parameter.HasValue()) << value;
    }
    EXPECT_FALSE(CTestParamImp::IsUnsafeValue("plain value, with comma:and colon"));
    EXPECT_EQ(parameter.OmitParameter(), 0);
    EXPECT_EQ(StateOf(parameter), CTestParameter::NOT_APPLIED);
}

TEST(TestParameterTest, CopiesAreCompleteAndIndependent) {
    std::string description = Element("ID", "PASSES") + Element("NAME", "Passes");
    CTestParamImp original(2, "DISK", 3, description.c_str());
    ASSERT_EQ(original.ApplyValidationReply(Verdict("PASSES", "valid").c_str()), 0);
    CTestParamImp copy(original);
    EXPECT_EQ(copy.Interface()->Imp(), &copy);
    EXPECT_EQ(StateOf(copy), CTestParameter::VALID);
    EXPECT_EQ(copy.Second(), 3);
    copy.OmitParameter();
    EXPECT_EQ(StateOf(original), CTestParameter::VALID);
    CTestParamImp assigned(0, "X", 0, std::string("Y"));
    CTestParameter* ownInterface = assigned.Interface();
    assigned = original;
    EXPECT_EQ(assigned.Interface(), ownInterface);
    std::string name;
    assigned.GetName(name);
    EXPECT_EQ(name, "Passes");
}

TEST(TestParameterTest, StreamOutputShowsTheLimitsAValidationBrought) {
    std::string description = Element("ID", "PASSES") + Element("DEFAULT_VALUE", "1");
    CTestParamImp parameter(0, "DISK", 3, description.c_str());
    ASSERT_EQ(parameter.ApplyValidationReply(
                  Verdict("PASSES", "valid", Element("MIN_VALUE", "1") + Element("MAX_VALUE", "9"))
                      .c_str()),
              0);
    std::ostringstream valid;
    valid << parameter;
    EXPECT_NE(valid.str().find("Default Value: 1\n"), std::string::npos) << valid.str();
    EXPECT_NE(valid.str().find("State: VALID\nValue: UNDEF\nMaximum Value: 9\nMinimum Value: 1\n"),
              std::string::npos)
        << valid.str();
}

TEST(PercentToTestTest, OneHundredUnlessAnIntegerIsApplied) {
    std::string component = Element("ID", "DISK");
    CModuleImp module(component.c_str());
    std::string text = Element("ID", "2") + Element("NAME", "T");
    CTestImp test(0, &module, text.c_str());
    int percent = 0;
    EXPECT_EQ(test.GetPercentToTest(percent), 1);
    EXPECT_EQ(percent, 100);
    std::string id;
    test.PercentToTest()->GetId(id);
    EXPECT_EQ(id, "VELK_BXI2_PERCENT_TO_TEST");
    EXPECT_EQ(test.PercentToTest()->Second(), 2);
    test.PercentToTest()->ApplyValue("50.000000");  // no engine: stored, not validated
    EXPECT_EQ(test.GetPercentToTest(percent), 0);
    EXPECT_EQ(percent, 50);
    test.PercentToTest()->ApplyValue("abc");
    EXPECT_EQ(test.GetPercentToTest(percent), 1);
    EXPECT_EQ(percent, 100);
}

TEST(TestValidityTest, NeedsDeviceIdModuleAndTestId) {
    std::string component = Element("ID", "DISK");
    CModuleImp module(component.c_str());
    std::string good = Element("ID", "0");
    EXPECT_TRUE(CTestImp(0, &module, good.c_str()).IsValid());
    EXPECT_FALSE(CTestImp(-1, &module, good.c_str()).IsValid());
    EXPECT_FALSE(CTestImp(0, nullptr, good.c_str()).IsValid());
    std::string noId = Element("NAME", "x");
    EXPECT_FALSE(CTestImp(0, &module, noId.c_str()).IsValid());
    std::string emptyComponent = Element("ID", "");
    CModuleImp emptyModule(emptyComponent.c_str());
    EXPECT_FALSE(CTestImp(0, &emptyModule, good.c_str()).IsValid());
}

}  // namespace
