// Registration, the module command line, the module name, and Bxi2_Main as
// the test module velktest runs it (a child process, no engine).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "TestDirectory.h"
#include "TestProcess.h"
#include "bxi2-internal.h"

namespace {

int Slot1() {
    return 0;
}

TEST(Registration, StructureAndSlots) {
    Bxi2_Registration* reg = Bxi2_CreateRegistrationStructure();
    ASSERT_NE(reg, nullptr);
    EXPECT_EQ(reg->uSize, 52u);
    for (int slot = 1; slot <= 12; ++slot) {
        EXPECT_EQ(reg->pfnSlot[slot - 1], nullptr);
    }
    EXPECT_EQ(Bxi2_AddRegistrationStructureCallback(reg, 1, BXI2_CALLBACK(Slot1)), BXI2_OK);
    EXPECT_EQ(reg->pfnSlot[0], BXI2_CALLBACK(Slot1));
    EXPECT_EQ(Bxi2_AddRegistrationStructureCallback(reg, 12, BXI2_CALLBACK(Slot1)), BXI2_OK);
    EXPECT_EQ(Bxi2_AddRegistrationStructureCallback(reg, 0, BXI2_CALLBACK(Slot1)),
              BXI2_E_REGISTRATION);
    EXPECT_EQ(Bxi2_AddRegistrationStructureCallback(reg, 13, BXI2_CALLBACK(Slot1)),
              BXI2_E_REGISTRATION);
    reg->uSize = 51;
    EXPECT_EQ(Bxi2_AddRegistrationStructureCallback(reg, 3, BXI2_CALLBACK(Slot1)),
              BXI2_E_REGISTRATION);
    EXPECT_EQ(reg->pfnSlot[2], nullptr);
    EXPECT_EQ(Bxi2_AddRegistrationStructureCallback(nullptr, 1, BXI2_CALLBACK(Slot1)),
              BXI2_E_REGISTRATION);
    EXPECT_EQ(Bxi2_FreeRegistrationStructure(reg), BXI2_OK);
    EXPECT_EQ(Bxi2_FreeRegistrationStructure(nullptr), BXI2_E_REGISTRATION);
}

TEST(Registration, MainWithoutStructureAndUnknownMode) {
    Bxi2_I_ResetModuleState();
    char arg0[] = "x.linux";
    char arg1[] = "enumerate";
    char* argv[] = {arg0, arg1};
    EXPECT_EQ(Bxi2_Main(2, argv, nullptr), BXI2_E_REGISTRATION);
    Bxi2_Registration* reg = Bxi2_CreateRegistrationStructure();
    char arg2[] = "ref=7";
    char* noMode[] = {arg0, arg2};
    EXPECT_EQ(Bxi2_Main(2, noMode, reg), BXI2_E_MODE);
    // Validate mode needs the slot-2 callback.
    char arg3[] = "validate";
    char* validate[] = {arg0, arg3};
    EXPECT_EQ(Bxi2_Main(2, validate, reg), BXI2_E_MODE);
    Bxi2_FreeRegistrationStructure(reg);
    Bxi2_I_ResetModuleState();
}

// The command line as Bxi2_ParseCommandLine reads it.
struct Parsed {
    int mode = -7;
    char reference[BXI2_REFERENCE_SIZE] = "";
    char defFile[32] = "";
    int device = -7;
    int test = -7;
    float percent = -7.0f;
    int errorLimit = -7;
};

Parsed Parse(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    Parsed p;
    EXPECT_EQ(Bxi2_ParseCommandLine((int)argv.size(), argv.data(), &p.mode, p.reference,
                                    sizeof p.reference, p.defFile, sizeof p.defFile, &p.device,
                                    &p.test, &p.percent, &p.errorLimit),
              BXI2_OK);
    return p;
}

TEST(CommandLine, ValuesAndTheLastModeWord) {
    Bxi2_I_ResetModuleState();
    Parsed p = Parse({"hdd.linux", "run", "ref=R1", "deffile=/opt/x/hdd.vkm", "device=3", "test=2",
                      "percent=37.5", "errlimit=5", "process=TP12", "sfifo=/tmp/VELKFIFO_9",
                      "param=A,1", "enumerate"});
    EXPECT_EQ(p.mode, BXI2_MODE_ENUMERATE);
    EXPECT_STREQ(p.reference, "R1");
    EXPECT_STREQ(p.defFile, "/opt/x/hdd.vkm");
    EXPECT_EQ(p.device, 3);
    EXPECT_EQ(p.test, 2);
    EXPECT_EQ(p.percent, 37.5f);
    EXPECT_EQ(p.errorLimit, 5);
    EXPECT_STREQ(g_Bxi2.processId, "TP12");
    EXPECT_STREQ(g_Bxi2.serverFifo, "/tmp/VELKFIFO_9");
    EXPECT_EQ(Parse({"x", "sysinfo"}).mode, BXI2_MODE_SYSINFO);
    EXPECT_EQ(Parse({"x", "validate"}).mode, BXI2_MODE_VALIDATE);
    EXPECT_EQ(Parse({"x", "Run"}).mode, BXI2_MODE_NONE);
    Bxi2_I_ResetModuleState();
}

TEST(CommandLine, OutOfRangePercentagesAndErrorLimits) {
    EXPECT_EQ(Parse({"x", "percent=0"}).percent, 100.0f);
    EXPECT_EQ(Parse({"x", "percent=-5"}).percent, 100.0f);
    EXPECT_EQ(Parse({"x", "percent=150"}).percent, 100.0f);
    EXPECT_EQ(Parse({"x", "percent=nan"}).percent, 100.0f);
    EXPECT_EQ(Parse({"x", "percent=100"}).percent, 100.0f);
    EXPECT_EQ(Parse({"x", "errlimit=-1"}).errorLimit, 10000);
    EXPECT_EQ(Parse({"x", "errlimit=0"}).errorLimit, 0);
    // Absent values leave the outputs alone.
    Parsed none = Parse({"x"});
    EXPECT_EQ(none.mode, BXI2_MODE_NONE);
    EXPECT_EQ(none.device, -7);
    EXPECT_EQ(none.percent, -7.0f);
}

TEST(CommandLine, CopiesAreBounded) {
    Bxi2_I_ResetModuleState();
    std::string longRef = "ref=" + std::string(200, 'r');
    std::string longDef = "deffile=" + std::string(100, 'd');
    std::string longProcess = "process=" + std::string(300, 'p');
    std::string longFifo = "sfifo=/" + std::string(5000, 'f');
    Parsed p = Parse({"x", longRef, longDef, longProcess, longFifo});
    EXPECT_EQ(std::string(p.reference), std::string(BXI2_REFERENCE_SIZE - 1, 'r'));
    EXPECT_EQ(std::string(p.defFile), std::string(sizeof p.defFile - 1, 'd'));
    EXPECT_EQ(std::string(g_Bxi2.processId), std::string(BXI2_PROCESS_ID_SIZE - 1, 'p'));
    // A cut path would name another FIFO: it is not taken at all.
    EXPECT_STREQ(g_Bxi2.serverFifo, "");
    Bxi2_I_ResetModuleState();
}

TEST(ModuleName, FromTheCommandLine) {
    char name[64];
    ASSERT_EQ(Bxi2_I_ModuleNameFromCommandLine("/opt/Velkor/bin/hdd.linux", name, sizeof name), 1);
    EXPECT_STREQ(name, "hdd.vkm");
    ASSERT_EQ(Bxi2_I_ModuleNameFromCommandLine("cpu.linux", name, sizeof name), 1);
    EXPECT_STREQ(name, "cpu.vkm");
    EXPECT_EQ(Bxi2_I_ModuleNameFromCommandLine("/usr/bin/velkcli", name, sizeof name), 0);
    char tiny[6];
    EXPECT_EQ(Bxi2_I_ModuleNameFromCommandLine("/bin/abc.linux", tiny, sizeof tiny), 0);
    char cut[8];
    Bxi2_I_CutAtFirstDot("velktest.vkm", 1, cut, sizeof cut);
    EXPECT_STREQ(cut, "VELKTES");
    Bxi2_I_CutAtFirstDot("hdd.vkm", 0, cut, sizeof cut);
    EXPECT_STREQ(cut, "hdd");
    // This test program is no module.
    EXPECT_EQ(Bxi2_GetModuleName(), nullptr);
}

// ---- The test module as a child process ----

struct ChildResult {
    int status = -1;
    std::string err;
};

// Runs velktest with args and VELK_TMP=pipeDir; its standard error and exit status.
ChildResult RunModule(const std::vector<std::string>& args, const std::string& pipeDir) {
    using namespace velk::testsupport;
    std::string errDir = MakePrivateDirectory("bxi2-main-err");
    std::vector<std::string> environment = EnvironmentWithout({"VELK_TMP="});
    environment.push_back("VELK_TMP=" + pipeDir);
    ChildResult result;
    {
        ChildProcess module(VELKTEST_PATH, args, environment, errDir + "/velktest");
        std::optional<int> status = module.WaitForExit(60000);
        EXPECT_TRUE(status) << "velktest did not end";
        result.status = status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
        result.err = module.ErrorOutput();
    }
    RemoveTree(errDir);
    return result;
}

// The pipe directory of a module run, which must stay empty.
class PipeDirectory {
  public:
    ~PipeDirectory() { velk::testsupport::RemoveTree(path_); }
    const std::string& path() const { return path_; }
    size_t Entries() const { return velk::testsupport::ListDirectory(path_).size(); }

  private:
    std::string path_ = velk::testsupport::MakePrivateDirectory("bxi2-main");
};

TEST(TestModule, BareCallPrintsNameAndVersionAndUnknownModeEndsWithItsStatus) {
    PipeDirectory pipes;
    ChildResult result = RunModule({}, pipes.path());
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "velktest 1.2.3\n");
    EXPECT_EQ(RunModule({"bogus"}, pipes.path()).status, BXI2_E_MODE);
}

TEST(TestModule, WithoutEngineTheModeCannotStartAndLeavesNoFifo) {
    PipeDirectory pipes;
    ChildResult result =
        RunModule({"enumerate", "ref=R", std::string("deffile=") + VELKTEST_DEFFILE}, pipes.path());
    EXPECT_EQ(result.status, BXI2_E_START_COMMS);
    EXPECT_EQ(pipes.Entries(), 0u);
    // A run that cannot accept its percentage does not try to start.
    ChildResult refused =
        RunModule({"run", "test=0", "device=1", "param=VELK_BXI2_PERCENT_TO_TEST,0",
                   std::string("deffile=") + VELKTEST_DEFFILE},
                  pipes.path());
    EXPECT_EQ(refused.status, BXI2_E_PARAMETERS);
}

}  // namespace
