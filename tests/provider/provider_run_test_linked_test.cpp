// RunTest and DiscontinueTest through the provider loaded with dlopen, with
// the real engine and the test module.  The module's definitions file is a
// copy that takes the module id of the diskette module (whose recommended
// actions exist) and the MODE and SECONDS defaults of each case, since a
// CIM client cannot pass test parameters.
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "CollectingHandlers.h"
#include "ProviderFixture.h"
#include "ProviderTestText.h"
#include "TestProcess.h"
#include "VLK_DiagTest.h"
#include "VLK_RecommendedActions.h"

using namespace Pegasus;

namespace {

const char* const QUICK = "VELkFloppy:0:Quick test";
const char* const TIMED = "VELkFloppy:1:Timed test";
const char* const DISK = "IDE:0:0";

std::string actionsOf(const char* key) {
    return text(CIMValue(VLK_RecommendedActions::getAllActions(key)).toString());
}

}  // namespace

class RunTestTest : public ProviderFixture {
  protected:
    struct Call {
        CIMValue returned;
        Array<CIMParamValue> out;
        std::string failure;
    };

    void TearDown() override {
        ProviderFixture::TearDown();
        unsetenv("VELKTEST_DEFAULT_MODE");
        unsetenv("VELKTEST_DEFAULT_SECONDS");
    }

    // An engine whose test module runs the quick test in mode and the timed
    // test for seconds.
    void start(const std::string& mode, int seconds = 2) {
        setenv("VELKTEST_DEFAULT_MODE", mode.c_str(), 1);
        setenv("VELKTEST_DEFAULT_SECONDS", std::to_string(seconds).c_str(), 1);
        installEngine();
        std::string vkm = homeDir + "/velktest.vkm";
        std::ifstream in(std::filesystem::read_symlink(vkm));
        std::stringstream definitions;
        definitions << in.rdbuf();
        std::filesystem::remove(vkm);
        std::ofstream(vkm) << std::regex_replace(definitions.str(), std::regex("VeLkTest"),
                                                 "VELkFloppy");
        addComputerSystem();
        writeLogConfiguration();
        createAndInitialize();
    }

    static CIMObjectPath testPath(const char* testName) {
        Array<CIMKeyBinding> keys;
        keys.append(CIMKeyBinding(CIMName("Name"), String(testName), CIMKeyBinding::STRING));
        return CIMObjectPath("testhost", CIMNamespaceName("root/korva"), CIMName("VLK_DiagTest"),
                             keys);
    }

    static CIMParamValue device(const char* deviceID) {
        Array<CIMKeyBinding> keys;
        keys.append(CIMKeyBinding(CIMName("DeviceID"), String(deviceID), CIMKeyBinding::STRING));
        return CIMParamValue("SystemElement",
                             CIMValue(CIMObjectPath("testhost", CIMNamespaceName("root/korva"),
                                                    CIMName("VLK_DiskDrive"), keys)));
    }

    Call invoke(const char* method, const char* testName, Array<CIMParamValue> in) {
        Call call;
        velk::cimserver::CollectingMethodHandler handler;
        try {
            methods->invokeMethod(OperationContext(), testPath(testName), CIMName(method), in,
                                  handler);
            call.returned = handler.returnValue();
            call.out = handler.outParameters();
        } catch (const CIMException& e) {
            call.failure = std::to_string(e.getCode()) + " " + text(e.getMessage());
        }
        return call;
    }

    Call runTest(const char* testName, const char* deviceID = DISK) {
        Array<CIMParamValue> in;
        in.append(device(deviceID));
        return invoke("RunTest", testName, in);
    }

    static CIMObjectPath resultPath(const Call& call) {
        EXPECT_EQ(call.out.size(), 1u);
        CIMObjectPath path;
        if (call.out.size() == 1) {
            EXPECT_EQ(text(call.out[0].getParameterName()), "Result");
            call.out[0].getValue().get(path);
        }
        return path;
    }

    CIMInstance result(const CIMObjectPath& path) {
        velk::cimserver::CollectingInstanceHandler handler;
        instances->getInstance(OperationContext(), path, false, false, CIMPropertyList(), handler);
        return handler.instances()[0];
    }

    // Reads the result (each read advances its run) until it leaves state.
    CIMInstance resultLeaving(const CIMObjectPath& path, const std::string& state) {
        CIMInstance instance = result(path);
        for (int i = 0; i < 300 && propertyText(instance, "TestState") == state; i++) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            instance = result(path);
        }
        return instance;
    }

    static std::string lastEntry(const CIMInstance& instance) {
        Array<String> entries;
        instance.getProperty(instance.findProperty(CIMName("TestResults"))).getValue().get(entries);
        return entries.size() == 0 ? "" : text(entries[entries.size() - 1]);
    }
};

struct Outcome {
    const char* mode;
    const char* testState;
    const char* resultText;
    const char* actionsKey;
};

void PrintTo(const Outcome& outcome, std::ostream* out) {
    *out << outcome.mode;
}

class RunTestOutcomeTest : public RunTestTest, public ::testing::WithParamInterface<Outcome> {};

TEST_P(RunTestOutcomeTest, RunEndsWithTheModulesResult) {
    const Outcome& outcome = GetParam();
    start(outcome.mode);
    Call call = runTest(QUICK);
    ASSERT_EQ(call.failure, "");
    EXPECT_EQ(text(call.returned.toString()), "0");
    CIMInstance final = resultLeaving(resultPath(call), "4");
    EXPECT_EQ(propertyText(final, "TestState"), outcome.testState);
    EXPECT_EQ(propertyText(final, "PercentComplete"), "100");
    EXPECT_NE(lastEntry(final).find(std::string(" | ") + QUICK + " | " + outcome.resultText),
              std::string::npos)
        << lastEntry(final);
    EXPECT_EQ(propertyText(final, "ActionOnFailure"), actionsOf(outcome.actionsKey));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, RunTestOutcomeTest,
    ::testing::Values(Outcome{"pass", "2", "PASS", "VELkFloppy_0"},
                      Outcome{"fail", "3", "FAILED", "VELkFloppy_0"},
                      Outcome{"nomedia", "1", "NO MEDIA", "VELkFloppy_NoMedia"},
                      Outcome{"crash", "0", "EXITED ABNORMALLY", "VELkFloppy_0"}),
    [](const ::testing::TestParamInfo<Outcome>& info) { return std::string(info.param.mode); });

TEST_F(RunTestTest, SecondRunWhileRunningIsBusyAndDiscontinueTerminatesTheFirst) {
    start("pass", 120);
    Call first = runTest(TIMED);
    ASSERT_EQ(first.failure, "");
    CIMObjectPath running = resultPath(first);
    EXPECT_EQ(propertyText(result(running), "TestState"), "4");

    Call busy = runTest(TIMED);
    EXPECT_EQ(text(busy.returned.toString()), "5");
    CIMInstance busyResult = result(resultPath(busy));
    EXPECT_EQ(propertyText(busyResult, "TestState"), "5");
    EXPECT_EQ(propertyText(busyResult, "ActionOnFailure"), actionsOf("Device_Busy"));
    EXPECT_EQ(propertyText(result(running), "TestState"), "4");

    // Another test on the busy device: the engine refuses it.
    Call refused = runTest(QUICK);
    EXPECT_EQ(text(refused.returned.toString()), "0");
    CIMInstance refusedResult = result(resultPath(refused));
    EXPECT_EQ(propertyText(refusedResult, "TestState"), "5");
    EXPECT_EQ(propertyText(refusedResult, "OtherStateDescription"), "DEVICEINUSE");
    EXPECT_EQ(propertyText(refusedResult, "ActionOnFailure"), actionsOf("Device_Busy"));

    Array<CIMParamValue> in;
    in.append(device(DISK));
    Call stop = invoke("DiscontinueTest", TIMED, in);
    ASSERT_EQ(stop.out.size(), 1u);
    EXPECT_EQ(text(stop.out[0].getParameterName()), "TestingStopped");
    EXPECT_EQ(text(stop.out[0].getValue().toString()), "TRUE");
    EXPECT_TRUE(stop.returned.isNull());
    // Listing the results brings them up to date as a get does.
    velk::cimserver::CollectingInstanceHandler listed;
    instances->enumerateInstances(OperationContext(), classPath("VLK_DiagResult"), false, false,
                                  CIMPropertyList(), listed);
    ASSERT_EQ(listed.instances().size(), 3u);
    const CIMInstance& terminated = listed.instances()[0];
    EXPECT_EQ(propertyText(terminated, "ExecutionID"), std::string(DISK) + ":run0");
    EXPECT_EQ(propertyText(terminated, "TestState"), "5");
    EXPECT_NE(lastEntry(terminated).find("TERMINATED"), std::string::npos);
}

TEST_F(RunTestTest, BadCallsFailOrReportWithoutStartingAnything) {
    start("pass");
    Call unknownDevice = runTest(QUICK, "IDE:9:9");
    EXPECT_EQ(text(unknownDevice.returned.toString()), "0");
    CIMInstance notStarted = result(resultPath(unknownDevice));
    EXPECT_EQ(propertyText(notStarted, "TestState"), "1");
    EXPECT_NE(lastEntry(notStarted).find("Error starting test"), std::string::npos);

    // An exclusive test its own catalogue marks in use: 1034, no Result.
    VLK_DiagTest direct(CIMOMHandle(repository), QUICK, DISK);
    direct.setTestProperty(QUICK, "IsInUse", CIMValue(Boolean(true)));
    Array<CIMParamValue> out;
    EXPECT_EQ(text(direct.processTest(out).toString()), "1034");
    EXPECT_EQ(out.size(), 0u);

    Array<CIMParamValue> nothing;
    nothing.append(device("IDE:1:0"));
    Call noResult = invoke("DiscontinueTest", QUICK, nothing);
    EXPECT_EQ(noResult.failure, "");
    ASSERT_EQ(noResult.out.size(), 1u);

    Array<CIMParamValue> asString;
    asString.append(CIMParamValue("SystemElement", CIMValue(String(DISK))));
    EXPECT_EQ(invoke("RunTest", QUICK, asString).failure,
              "1 invokeMethod: DeviceID not found in parameter list");

    Array<CIMParamValue> wrongType = nothing;
    wrongType.append(CIMParamValue("LoopControl", CIMValue(String("3"))));
    EXPECT_EQ(invoke("RunTest", QUICK, wrongType).failure,
              "4 RunTest: LoopControl must be an array of uint16");

    Array<Uint16> countAndTimer;
    countAndTimer.append(3);
    countAndTimer.append(4);
    Array<String> oneValue;
    oneValue.append("2");
    Array<CIMParamValue> shortParameters = nothing;
    shortParameters.append(CIMParamValue("LoopControl", CIMValue(countAndTimer)));
    shortParameters.append(CIMParamValue("LoopControlParameter", CIMValue(oneValue)));
    EXPECT_EQ(invoke("RunTest", QUICK, shortParameters).failure,
              "4 RunTest: LoopControlParameter has no value for LoopControl 4 at index 1");
}

TEST_F(RunTestTest, LoopControlsRepeatTheTestByCountAndByTimer) {
    start("pass");
    auto loop = [this](Uint16 control, const char* parameter) {
        Array<Uint16> controls;
        controls.append(control);
        Array<String> parameters;
        parameters.append(parameter);
        Array<CIMParamValue> in;
        in.append(device(DISK));
        in.append(CIMParamValue("LoopControl", CIMValue(controls)));
        in.append(CIMParamValue("LoopControlParameter", CIMValue(parameters)));
        return result(resultPath(invoke("RunTest", QUICK, in)));
    };
    EXPECT_EQ(propertyText(loop(3, "3"), "LoopsPassed"), "3");
    // A timer of 0 s has expired at the first check: one start.
    EXPECT_EQ(propertyText(loop(4, "0"), "LoopsPassed"), "1");
    EXPECT_EQ(propertyText(loop(3, "no number"), "LoopsPassed"), "1");
}

TEST_F(RunTestTest, EngineKilledDuringARunEndsItsResult) {
    start("pass", 120);
    Call call = runTest(TIMED);
    CIMObjectPath path = resultPath(call);
    std::vector<pid_t> modules;
    for (pid_t child : velk::testsupport::ChildrenOf(getpid())) {
        std::optional<velk::testsupport::ProcessStat> stat =
            velk::testsupport::ReadProcessStat(child);
        if (stat && stat->name == "velkcore") {
            modules = velk::testsupport::ChildrenOf(child);
            velk::testsupport::StopProcess(child, SIGKILL);
        }
    }
    CIMInstance ended = resultLeaving(path, "4");
    EXPECT_EQ(propertyText(ended, "TestState"), "0");
    EXPECT_NE(lastEntry(ended).find("EXITED ABNORMALLY"), std::string::npos) << lastEntry(ended);
    for (pid_t module : modules) {
        velk::testsupport::StopProcess(module, SIGKILL);
    }
    // The killed broker could not remove its FIFO.
    std::filesystem::remove(pipeDir + "/VELKFIFO");
}

TEST_F(RunTestTest, AssociationsTieTestsResultsDevicesAndSoftware) {
    start("pass");
    for (const char* name : {"sw1", "dev1", "dev2"}) {
        Array<CIMKeyBinding> keys;
        keys.append(CIMKeyBinding(CIMName("Name"), String(name), CIMKeyBinding::STRING));
        CIMName className(name[0] == 's' ? "VLK_TestSoftware" : "VLK_Device");
        repository->add(CIMObjectPath(String(), CIMNamespaceName(), className, keys),
                        CIMInstance(className));
    }
    resultLeaving(resultPath(runTest(QUICK)), "4");

    velk::cimserver::CollectingPathHandler tests;
    instances->enumerateInstanceNames(OperationContext(), classPath("VLK_DiagTest"), tests);
    velk::cimserver::CollectingPathHandler disks;
    instances->enumerateInstanceNames(OperationContext(), classPath("VLK_DiskDrive"), disks);
    struct Expected {
        const char* association;
        Uint32 count;
        const char* role1Class;
        const char* role2Class;
    };
    // The result store lives as long as the process: earlier tests' results
    // count too, each tied to its one test and to both devices.
    velk::cimserver::CollectingPathHandler results;
    instances->enumerateInstanceNames(OperationContext(), classPath("VLK_DiagResult"), results);
    const Uint32 resultCount = results.paths().size();
    ASSERT_GE(resultCount, 1u);
    const Uint32 testCount = tests.paths().size();
    for (const Expected& expected :
         {Expected{"VLK_DiagResultForMSE", 2 * resultCount, "VLK_DiagResult", "VLK_Device"},
          Expected{"VLK_DiagResultForTest", resultCount, "VLK_DiagResult", "VLK_DiagTest"},
          Expected{"VLK_DiagTestSoftwareAssoc", testCount, "VLK_TestSoftware", "VLK_DiagTest"}}) {
        velk::cimserver::CollectingInstanceHandler found;
        instances->enumerateInstances(OperationContext(), classPath(expected.association), false,
                                      false, CIMPropertyList(), found);
        ASSERT_EQ(found.instances().size(), expected.count) << expected.association;
        const CIMInstance& first = found.instances()[0];
        EXPECT_EQ(text(first.getProperty(0).getReferenceClassName().getString()),
                  expected.role1Class);
        EXPECT_EQ(text(first.getProperty(1).getReferenceClassName().getString()),
                  expected.role2Class);
        velk::cimserver::CollectingPathHandler names;
        instances->enumerateInstanceNames(OperationContext(), classPath(expected.association),
                                          names);
        velk::cimserver::CollectingInstanceHandler got;
        instances->getInstance(OperationContext(), names.paths()[0], false, false,
                               CIMPropertyList(), got);
        EXPECT_TRUE(got.instances()[0].identical(first)) << expected.association;
    }

    velk::cimserver::CollectingInstanceHandler testForDevice;
    instances->enumerateInstances(OperationContext(), classPath("VLK_DiagTestForMSE"), false, false,
                                  CIMPropertyList(), testForDevice);
    Uint32 onDisks = 0;
    for (Uint32 i = 0; i < testForDevice.instances().size(); i++) {
        const CIMInstance& association = testForDevice.instances()[i];
        EXPECT_EQ(text(association.getProperty(0).getReferenceClassName().getString()),
                  "VLK_DiagTest");
        EXPECT_EQ(propertyText(association, "IsExclusiveForMSE"), "TRUE");
        if (text(association.getProperty(1).getReferenceClassName().getString()) ==
            "VLK_DiskDrive") {
            onDisks++;
        }
    }
    EXPECT_EQ(onDisks, disks.paths().size() * testCount);
    EXPECT_GT(testForDevice.instances().size(), onDisks);
}
