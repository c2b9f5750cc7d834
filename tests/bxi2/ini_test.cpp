// The INI reader of definitions files and the parameter definitions read
// from it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "bxi2.h"
#include "param-valid.h"

namespace {

// A definitions file in a private temporary directory, removed afterwards.
class IniFile {
  public:
    explicit IniFile(const std::string& text) {
        char pattern[] = "/tmp/bxi2-ini-XXXXXX";
        int fd = mkstemp(pattern);
        EXPECT_GE(fd, 0);
        close(fd);
        path_ = pattern;
        Write(text);
    }
    ~IniFile() { unlink(path_.c_str()); }
    void Write(const std::string& text) {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out << text;
    }
    const char* path() const { return path_.c_str(); }

  private:
    std::string path_;
};

std::string Read(const IniFile& file, const char* section, const char* key,
                 const char* fallback = "", long* length = nullptr) {
    char buffer[1024];
    std::memset(buffer, '#', sizeof buffer);
    long result =
        VelkGetPrivateProfileString(section, key, fallback, buffer, sizeof buffer, file.path());
    if (length != nullptr) {
        *length = result;
    }
    return buffer;
}

TEST(IniReader, ValuesAndDefaultsAsLookedUp) {
    const std::string sample = "  [S]\n   key=a=b  \nother=x\n";
    const std::string crlf = "[S]\r\nkey=value\r\nnext=2\r\n";
    const std::string twice = "k=0\n[A]\nx=1\n[B]\nk=2\n[A]\nk=3\n";
    // The first 511 characters of a line count; "b=2" beyond them is not a line.
    const std::string cut = "[S]\na=" + std::string(509, 'x') + "b=2\nc=3\n";
    std::string big;
    while (big.size() < 70000) {
        big += "; a comment line that makes the file grow beyond 65535 bytes\n";
    }
    const struct {
        std::string text;
        const char *section, *key, *fallback;
        std::string value;
    } cases[] = {
        // Sections match without case; the value runs from the first character after '='.
        {"[module]\nszParameterId[0][1] = 12\n", "Module", "szParameterId[0][1]", "", " 12"},
        {"[module]\nszParameterId[0][1] = 12\n", "MODULE", "SZPARAMETERID[0][1]", "", " 12"},
        {sample, "S", "key", "", "a=b  "},
        {sample, "S", "other", "", "x"},
        {crlf, "S", "key", "", "value"},
        {crlf, "S", "next", "", "2"},
        {sample, "S", "absent", "fallback", "fallback"},
        {sample, "S", "absent", nullptr, ""},
        {sample, "Other", "key", "d", "d"},
        // The search ends at the first header after the wanted section.
        {twice, "A", "k", "none", "none"},
        {twice, "B", "k", "", "2"},
        {cut, "S", "a", "", std::string(509, 'x')},
        {cut, "S", "b", "none", "none"},
        {cut, "S", "c", "", "3"},
        {big + "[Module]\nszModuleName=big\n", "Module", "szModuleName", "", "big"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        IniFile file(c.text);
        long length = -5;
        EXPECT_EQ(Read(file, c.section, c.key, c.fallback, &length), c.value);
        EXPECT_EQ(length, static_cast<long>(c.value.size()));
    }
}

TEST(IniReader, SectionProbeWithoutKey) {
    IniFile file("[First]\na=1\n[Second]\n");
    EXPECT_EQ(
        Velk_I_GetPrivateProfileString("first", nullptr, nullptr, nullptr, 0, file.path(), nullptr),
        1);
    EXPECT_EQ(Velk_I_GetPrivateProfileString("Second", nullptr, nullptr, nullptr, 0, file.path(),
                                             nullptr),
              1);
    EXPECT_EQ(
        Velk_I_GetPrivateProfileString("Third", nullptr, nullptr, nullptr, 0, file.path(), nullptr),
        0);
}

TEST(IniReader, ValueIsCutToTheCallersBuffer) {
    IniFile file("[S]\nkey=0123456789\n");
    char buffer[16];
    std::memset(buffer, 'G', sizeof buffer);
    long length = VelkGetPrivateProfileString("S", "key", "", buffer, 5, file.path());
    EXPECT_EQ(length, 10);
    EXPECT_STREQ(buffer, "0123");
    // Nothing is written beyond the size given.
    EXPECT_EQ(std::string(buffer + 5, sizeof buffer - 5), std::string(11, 'G'));
}

TEST(IniReader, AllocatesTheValueWithoutBuffer) {
    IniFile file("[S]\nkey=value\n");
    char* value = nullptr;
    EXPECT_EQ(Velk_I_GetPrivateProfileString("S", "key", "", nullptr, 0, file.path(), &value), 5);
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value, "value");
    std::free(value);
    char* missing = VelkGetIniString(file.path(), "S", "absent");
    EXPECT_EQ(missing, nullptr);
    char* present = VelkGetIniString(file.path(), "s", "KEY");
    ASSERT_NE(present, nullptr);
    EXPECT_STREQ(present, "value");
    std::free(present);
}

TEST(IniReader, MissingFileFailsCleanlyAndLeavesTheBuffer) {
    char buffer[16] = "untouched";
    EXPECT_EQ(VelkGetPrivateProfileString("S", "key", "d", buffer, sizeof buffer,
                                          "/nonexistent/velk/file.vkm"),
              -1);
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_EQ(VelkGetIniInt("/nonexistent/velk/file.vkm", "S", "key", 7), -1);
    EXPECT_EQ(VelkIniKeyExists("/nonexistent/velk/file.vkm", "S", "key"), -1);
    EXPECT_EQ(VelkGetIniString("/nonexistent/velk/file.vkm", "S", "key"), nullptr);
}

TEST(IniReader, OnlyRegularFilesAreRead) {
    char pattern[] = "/tmp/bxi2-ini-fifo-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::string fifo = std::string(pattern) + "/defs.vkm";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // A FIFO without writer would block an ordinary open.
    EXPECT_EQ(VelkGetIniInt(fifo.c_str(), "S", "key", 1), -1);
    EXPECT_EQ(VelkGetIniInt(pattern, "S", "key", 1), -1);
    unlink(fifo.c_str());
    rmdir(pattern);
}

TEST(IniReader, NumbersWithDefaults) {
    IniFile file("[S]\ncount=42\nword=1F\n");
    EXPECT_EQ(VelkGetIniInt(file.path(), "S", "count", 5), 42);
    EXPECT_EQ(VelkGetIniInt(file.path(), "S", "absent", 5), 5);
    EXPECT_EQ(GetIniWord(file.path(), "S", "word", 0), 0x1F);
    EXPECT_EQ(GetIniWord(file.path(), "S", "absent", 0xABC), 0xABC);
}

TEST(IniReader, SpeedAccessReadsTheKeptCopy) {
    IniFile file("[S]\nkey=old\n");
    ASSERT_EQ(VelkSpeedIniAccess(file.path()), 1);
    file.Write("[S]\nkey=new\n");
    EXPECT_EQ(Read(file, "S", "key"), "old");
    VelkEndSpeedIniAccess();
    EXPECT_EQ(Read(file, "S", "key"), "new");
    EXPECT_EQ(VelkSpeedIniAccess("/nonexistent/velk/file.vkm"), 0);
}

// ---- Parameter definitions ----

const char kDefinitions[] =
    "[Module]\n"
    "szParameterId[2][0]=FIRST\n"
    "szParameterId[2][1]=LIMIT\n"
    "szParameterType[2][1]=UINT32\n"
    "szParameterName[2][1]=szLimitName\n"
    "szParameterDescription[2][1]=szLimitDescription\n"
    "iParameterMustBeSet[2][1]=true\n"
    "iParameterRecommendValidate[2][1]=0\n"
    "szParameterMask[2][1]=999\n"
    "szParameterDefaultValue[2][1]=5\n"
    "iParameterMinValue[2][1]=1\n"
    "iParameterMaxValue[2][1]=10.5\n"
    "szParameterId[2][3]=AFTERGAP\n";

TEST(ParameterDefinitions, IndexOfAnIdWalksUntilTheFirstGap) {
    IniFile file(kDefinitions);
    EXPECT_EQ(GetParamIndex(file.path(), 2, "FIRST"), 0);
    EXPECT_EQ(GetParamIndex(file.path(), 2, "LIMIT"), 1);
    EXPECT_EQ(GetParamIndex(file.path(), 2, "AFTERGAP"), -1);
    EXPECT_EQ(GetParamIndex(file.path(), 3, "FIRST"), -1);
}

TEST(ParameterDefinitions, FieldsOfAParameter) {
    IniFile file(kDefinitions);
    Bxi2_Parameter parameter;
    ASSERT_EQ(Bxi2_InitParameter(&parameter), 1);
    ASSERT_EQ(Bxi2_SetParameterId(&parameter, "LIMIT"), 1);
    ASSERT_EQ(AssignParameterFieldsFromIniFile(file.path(), 2, &parameter), 1);
    EXPECT_EQ(Bxi2_GetParameterType(&parameter), VELK_PARAM_TYPE_UINT32);
    EXPECT_STREQ(Bxi2_GetParameterName(&parameter), "szLimitName");
    EXPECT_STREQ(Bxi2_GetParameterDescription(&parameter), "szLimitDescription");
    EXPECT_EQ(Bxi2_GetParameterMustBeSet(&parameter), 1);
    EXPECT_EQ(Bxi2_GetParameterRecommendValidate(&parameter), 0);
    EXPECT_STREQ(Bxi2_GetParameterMask(&parameter), "999");
    EXPECT_EQ(Bxi2_GetParameterHasDefaultValue(&parameter), 1);
    EXPECT_EQ(Bxi2_GetParameterDefaultValAsUInt32(&parameter), 5u);
    EXPECT_EQ(Bxi2_GetParameterHasMinVal(&parameter), 1);
    EXPECT_EQ(Bxi2_GetParameterMinValAsInt32(&parameter), 1);
    EXPECT_EQ(Bxi2_GetParameterHasMaxVal(&parameter), 1);
    EXPECT_FLOAT_EQ(Bxi2_GetParameterMaxValAsFloat(&parameter), 10.5f);
    EXPECT_EQ(Bxi2_GetParameterValidFlag(&parameter), VELK_PARAM_VALID);
    Bxi2_DestructParameter(&parameter);
}

TEST(ParameterDefinitions, MissingTypeEndsReadingWithSuccess) {
    IniFile file(kDefinitions);
    Bxi2_Parameter parameter;
    ASSERT_EQ(Bxi2_InitParameter(&parameter), 1);
    ASSERT_EQ(AssignParameterFieldsFromIniFileByIndex(file.path(), 2, 0, &parameter), 1);
    EXPECT_EQ(Bxi2_GetParameterType(&parameter), VELK_PARAM_TYPE_UNSET);
    EXPECT_STREQ(Bxi2_GetParameterName(&parameter), "");
    EXPECT_EQ(Bxi2_GetParameterHasMaxVal(&parameter), 0);
    Bxi2_DestructParameter(&parameter);
}

TEST(ParameterDefinitions, ListGetsDefinitionsAndUnknownIdsAreFlagged) {
    IniFile file(kDefinitions);
    Bxi2_ParamList list;
    ASSERT_EQ(Bxi2_ParamListConstruct(&list), 1);
    ASSERT_EQ(AssignParamListFromC_Str(
                  &list, "param=LIMIT,3:param=NOSUCH,1:param=VELK_BXI2_PERCENT_TO_TEST,50"),
              1);
    ASSERT_EQ(GetParamIniInfo(file.path(), 2, &list), 1);
    Bxi2_Parameter* limit = Bxi2_I_GetFirstParameter(&list);
    Bxi2_Parameter* unknown = Bxi2_I_GetNextParameter(&list);
    Bxi2_Parameter* percent = Bxi2_I_GetNextParameter(&list);
    ASSERT_NE(percent, nullptr);
    EXPECT_EQ(Bxi2_GetParameterType(limit), VELK_PARAM_TYPE_UINT32);
    EXPECT_EQ(Bxi2_GetParameterValidFlag(limit), VELK_PARAM_VALID);
    EXPECT_EQ(Bxi2_GetParameterValidFlag(unknown), VELK_PARAM_ID_NOT_RECOGNIZED);
    // The predefined parameter is the interface's own, not the file's.
    EXPECT_EQ(Bxi2_GetParameterValidFlag(percent), VELK_PARAM_VALID);
    EXPECT_EQ(Bxi2GetParamPrivateProfileString(file.path(), "szParameterName", 2, 1, nullptr, 0),
              11);
    Bxi2_ParamListDestruct(&list);
}

}  // namespace
