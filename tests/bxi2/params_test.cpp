// Parameter records, "param=" tokens, the predefined percentage parameter,
// test execution requests and the validation answer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bxi2-internal.h"
#include "param-valid.h"

namespace {

// A parameter list that is the module's current list while it lives.
class CurrentList {
  public:
    CurrentList() {
        EXPECT_EQ(Bxi2_ParamListConstruct(&list_), 1);
        Bxi2_I_SetCurrentParamList(&list_);
    }
    ~CurrentList() {
        Bxi2_I_SetCurrentParamList(nullptr);
        Bxi2_ParamListDestruct(&list_);
    }
    Bxi2_ParamList* get() { return &list_; }

    // "id=value" of every record, the predefined one included.
    std::vector<std::string> All() {
        std::vector<std::string> out;
        for (Bxi2_Parameter* p = Bxi2_I_GetFirstParameter(&list_); p != nullptr;
             p = Bxi2_I_GetNextParameter(&list_)) {
            out.push_back(std::string(Bxi2_GetParameterId(p)) + "=" + Bxi2_GetParameterValAsStr(p));
        }
        return out;
    }

  private:
    Bxi2_ParamList list_;
};

using Strings = std::vector<std::string>;

TEST(ParameterTokens, ParameterStringAddsEachTokenAndSkipsTheRest) {
    CurrentList list;
    EXPECT_EQ(AssignParamListFromC_Str(list.get(), "param=7,100:param=9,abc"), 1);
    for (const char* notAParameter : {"foo=1,2", "param=,5", "param"}) {
        EXPECT_EQ(AddParamToParamListFromTokenC_Str(list.get(), notAParameter), 1);
    }
    EXPECT_EQ(AssignParamListFromC_Str(list.get(), "a::param=X,1:"), 1);
    EXPECT_EQ(list.All(), (Strings{"7=100", "9=abc", "X=1"}));
}

TEST(ParameterTokens, SplitsAtTheFirstEqualsAndComma) {
    CGenStr id;
    CGenStr value;
    ASSERT_EQ(CGenStrInit(&id), 1u);
    ASSERT_EQ(CGenStrInit(&value), 1u);
    int isParam = 0;
    ASSERT_EQ(ParseParamValidToken("PARAM=LIST,a,b=c", &isParam, &id, &value), 1);
    EXPECT_EQ(isParam, 1);
    EXPECT_STREQ(CGenStrC_Str(&id), "LIST");
    EXPECT_STREQ(CGenStrC_Str(&value), "a,b=c");
    ASSERT_EQ(ParseParamValidToken("param=ALONE", &isParam, &id, &value), 1);
    EXPECT_STREQ(CGenStrC_Str(&id), "ALONE");
    EXPECT_STREQ(CGenStrC_Str(&value), "");
    ASSERT_EQ(ParseParamValidToken("params=X,1", &isParam, &id, &value), 1);
    EXPECT_EQ(isParam, 0);
    CGenStrDelete(&id);
    CGenStrDelete(&value);
}

TEST(ParameterTokens, CommandLineArgumentsStartingWithParam) {
    CurrentList list;
    char arg0[] = "hdd.linux";
    char arg1[] = "param=A,1";
    char arg2[] = "device=3";
    char arg3[] = "param=B,two words";
    char* argv[] = {arg0, arg1, arg2, arg3};
    EXPECT_EQ(GetParamsFromCommandLine(4, argv, list.get()), 1);
    EXPECT_EQ(list.All(), (Strings{"A=1", "B=two words"}));
}

// The flag and percentage that the predefined parameter with value gives.
struct PercentOutcome {
    int ok;
    int flag;
    float percent;
};

PercentOutcome ApplyPercent(const char* value) {
    CurrentList list;
    AddParamToParamListFromTokenStrings(list.get(), BXI2_PERCENT_TO_TEST_ID, value);
    float percent = 100.0f;
    int ok = ProcessPredefinedParameters(list.get(), &percent);
    Bxi2_Parameter* p = Bxi2_I_GetFirstParameter(list.get());
    EXPECT_EQ(Bxi2_GetParameterMinValAsFloat(p), 0.0f);
    EXPECT_EQ(Bxi2_GetParameterMaxValAsFloat(p), 100.0f);
    return {ok, Bxi2_GetParameterValidFlag(p), percent};
}

TEST(PredefinedPercentage, LimitsAreZeroExcludedToHundred) {
    PercentOutcome zero = ApplyPercent("0");
    EXPECT_EQ(zero.ok, 0);
    EXPECT_STREQ(ParameterValidFlagToStr(zero.flag), "value too small");
    EXPECT_EQ(zero.percent, 100.0f);

    PercentOutcome hundred = ApplyPercent("100");
    EXPECT_EQ(hundred.ok, 1);
    EXPECT_EQ(hundred.flag, VELK_PARAM_VALID);
    EXPECT_EQ(hundred.percent, 100.0f);

    PercentOutcome over = ApplyPercent("100.5");
    EXPECT_EQ(over.ok, 0);
    EXPECT_STREQ(ParameterValidFlagToStr(over.flag), "value too big");

    PercentOutcome part = ApplyPercent("37.5");
    EXPECT_EQ(part.ok, 1);
    EXPECT_EQ(part.percent, 37.5f);

    PercentOutcome notANumber = ApplyPercent("nan");
    EXPECT_EQ(notANumber.ok, 0);
    EXPECT_EQ(notANumber.flag, VELK_PARAM_VALUE_BAD);
}

TEST(PredefinedPercentage, HiddenFromTheModulesIteration) {
    CurrentList list;
    AddParamToParamListFromTokenStrings(list.get(), BXI2_PERCENT_TO_TEST_ID, "50");
    EXPECT_EQ(Bxi2_GetFirstParameter(), nullptr);

    AddParamToParamListFromTokenStrings(list.get(), "A", "1");
    AddParamToParamListFromTokenStrings(list.get(), BXI2_PERCENT_TO_TEST_ID, "60");
    AddParamToParamListFromTokenStrings(list.get(), "B", "2");
    Bxi2_Parameter* first = Bxi2_GetFirstParameter();
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(Bxi2_GetParameterId(first), "A");
    Bxi2_Parameter* second = Bxi2_GetNextParameter();
    ASSERT_NE(second, nullptr);
    EXPECT_STREQ(Bxi2_GetParameterId(second), "B");
    EXPECT_EQ(Bxi2_GetNextParameter(), nullptr);
}

TEST(ParameterList, DeleteCurrentReturnsTheNext) {
    CurrentList list;
    AssignParamListFromC_Str(list.get(), "param=A,1:param=B,2:param=C,3");
    ASSERT_NE(Bxi2_GetFirstParameter(), nullptr);
    Bxi2_Parameter* next = Bxi2_DeleteCurrentParameter();
    ASSERT_NE(next, nullptr);
    EXPECT_STREQ(Bxi2_GetParameterId(next), "B");
    EXPECT_EQ(list.All(), (Strings{"B=2", "C=3"}));
}

TEST(TestExecRequest, FieldsAndParameters) {
    Bxi2_TestExecRequest request;
    ASSERT_EQ(TestExecRequestConstruct(&request), 1);
    ASSERT_EQ(AssignTestExecRequestFromStr(&request, "DISK:3:0:%50.5:param=A,1:param=B,x"), 1);
    EXPECT_STREQ(TestExecRequestGetModuleName(&request), "DISK");
    EXPECT_EQ(TestExecRequestGetTest(&request), 3);
    EXPECT_EQ(TestExecRequestGetDevice(&request), 0);
    EXPECT_EQ(TestExecRequestGetPercentage(&request), 50.5f);
    Bxi2_ParamList* params = TestExecRequestGetParamList(&request);
    Bxi2_Parameter* a = Bxi2_I_GetFirstParameter(params);
    ASSERT_NE(a, nullptr);
    EXPECT_STREQ(Bxi2_GetParameterId(a), "A");
    Bxi2_Parameter* b = Bxi2_I_GetNextParameter(params);
    ASSERT_NE(b, nullptr);
    EXPECT_STREQ(Bxi2_GetParameterValAsStr(b), "x");
    TestExecRequestDestruct(&request);
}

TEST(TestExecRequest, MissingFieldsAndParametersInPlaceOfThePercentage) {
    Bxi2_TestExecRequest request;
    ASSERT_EQ(TestExecRequestConstruct(&request), 1);
    // No percentage field: the parameter string follows the device.
    ASSERT_EQ(AssignTestExecRequestFromStr(&request, "DISK:3:0:param=PASSES,5"), 1);
    EXPECT_EQ(TestExecRequestGetPercentage(&request), 100.0f);
    Bxi2_Parameter* passes = Bxi2_I_GetFirstParameter(TestExecRequestGetParamList(&request));
    ASSERT_NE(passes, nullptr);
    EXPECT_STREQ(Bxi2_GetParameterId(passes), "PASSES");
    TestExecRequestDestruct(&request);

    ASSERT_EQ(TestExecRequestConstruct(&request), 1);
    ASSERT_EQ(AssignTestExecRequestFromStr(&request, "DISK::param=X,1"), 1);
    EXPECT_EQ(TestExecRequestGetTest(&request), -1);
    EXPECT_EQ(TestExecRequestGetDevice(&request), -1);
    EXPECT_NE(Bxi2_I_GetFirstParameter(TestExecRequestGetParamList(&request)), nullptr);
    TestExecRequestDestruct(&request);

    ASSERT_EQ(TestExecRequestConstruct(&request), 1);
    ASSERT_EQ(AssignTestExecRequestFromStr(&request, "CPU"), 1);
    EXPECT_STREQ(TestExecRequestGetModuleName(&request), "CPU");
    EXPECT_EQ(TestExecRequestGetTest(&request), -1);
    EXPECT_EQ(TestExecRequestGetDevice(&request), -1);
    TestExecRequestDestruct(&request);
}

TEST(ValidationAnswer, OneParameterElementPerRecordWithItsLimits) {
    CurrentList list;
    AssignParamListFromC_Str(list.get(), "param=SECONDS,5000:param=MODE,x");
    Bxi2_Parameter* seconds = Bxi2_I_GetFirstParameter(list.get());
    Bxi2_SetParameterValidFlag(seconds, VELK_PARAM_VALUE_TOO_BIG);
    Bxi2_SetParameterMinValFromStr(seconds, "0");
    Bxi2_SetParameterMaxValFromStr(seconds, "3600");
    Bxi2_Parameter* mode = Bxi2_I_GetNextParameter(list.get());
    Bxi2_SetParameterValidFlag(mode, VELK_PARAM_VALUE_BAD);
    CGenStr answer;
    ASSERT_EQ(CGenStrInit(&answer), 1u);
    ASSERT_EQ(Bxi2_I_BuildValidationResults(list.get(), &answer), 1);
    EXPECT_STREQ(CGenStrC_Str(&answer),
                 "<PARAM_VALIDATION_RESULTS><PARAMETER><ID>SECONDS</ID><VALID_FLAG>value too "
                 "big</VALID_FLAG><MIN_VALUE>0</MIN_VALUE><MAX_VALUE>3600</MAX_VALUE></"
                 "PARAMETER><PARAMETER><ID>MODE</ID><VALID_FLAG>value bad</VALID_FLAG></"
                 "PARAMETER></PARAM_VALIDATION_RESULTS>");
    CGenStrDelete(&answer);
}

TEST(ValidationAnswer, ParameterFromItsElement) {
    Bxi2_Parameter p;
    ASSERT_EQ(Bxi2_InitParameter(&p), 1);
    int found = 0;
    EXPECT_EQ(Bxi2_AssignParameterFromXML(&p, "<VALID_FLAG>valid</VALID_FLAG>", &found), 1);
    EXPECT_STREQ(Bxi2_GetParameterId(&p), "");
    EXPECT_EQ(found, 0);
    EXPECT_EQ(Bxi2_AssignParameterFromXML(
                  &p, "<ID>N</ID><VALID_FLAG>Value Too Small</VALID_FLAG><MIN_VALUE>1</MIN_VALUE>",
                  &found),
              0);
    EXPECT_EQ(found, 0);
    EXPECT_STREQ(Bxi2_GetParameterId(&p), "N");
    EXPECT_EQ(Bxi2_GetParameterValidFlag(&p), VELK_PARAM_VALUE_TOO_SMALL);
    EXPECT_EQ(Bxi2_GetParameterMinValAsInt32(&p), 1);
    EXPECT_EQ(Bxi2_AssignParameterFromXML(
                  &p,
                  "<ID>N</ID><VALID_FLAG>valid</VALID_FLAG><MIN_VALUE>1</MIN_VALUE><MAX_VALUE>9</"
                  "MAX_VALUE>",
                  &found),
              0);
    EXPECT_EQ(found, 1);
    Bxi2_DestructParameter(&p);
}

}  // namespace
