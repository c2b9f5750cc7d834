// End to end: the real velk-cimserver over the real engine and the test
// module, driven by the Debian wbemcli client exactly as a person drives it.
#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <thread>

#include "CimServerProcess.h"

using velk::testsupport::CimServerProcess;
using velk::testsupport::CommandResult;

namespace {

const std::string kSystemKeys =
    "SystemCreationClassName=\"CIM_UnitaryComputerSystem\",SystemName=\"testsystem\"";
const std::string kDiskRef =
    "VLK_DiskDrive.CreationClassName=\"VLK_DiskDrive\",DeviceID=\"IDE:0:0\"," + kSystemKeys;

std::string testPath(const std::string& url, const std::string& testName) {
    return url + ":VLK_DiagTest.CreationClassName=\"VLK_DiagTest\",Name=\"" + testName + "\"," +
           kSystemKeys;
}

class WbemcliOperationsTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.start()); }

    CommandResult wbemcli(const std::vector<std::string>& arguments) {
        return server.wbemcli(arguments);
    }
    std::string disk() const { return server.url() + ":" + kDiskRef; }

    CimServerProcess server;
};

TEST_F(WbemcliOperationsTest, ReadingOperationsAnswerFromTheProviderAndTheSchema) {
    const std::string url = server.url();
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"ein of the device superclass reaches every device class",
         {"ein", url + ":VLK_Device"},
         {":VLK_DiskDrive.CreationClassName=\"VLK_DiskDrive\",DeviceID=\"IDE:0:0\"",
          ":VLK_OpticalDrive.", ":VLK_DisketteDrive.", ":VLK_Processor.", ":VLK_SerialPort.",
          ":VLK_ParallelPort."}},
        {"ei of the tests", {"ei", url + ":VLK_DiagTest"}, {"Name=\"VeLkTest:1:Timed test\""}},
        {"gi of a disk", {"gi", disk()}, {"DeviceID=\"IDE:0:0\""}},
        {"ein of the host's own instances",
         {"ein", url + ":CIM_UnitaryComputerSystem"},
         {"CIM_UnitaryComputerSystem.CreationClassName=\"CIM_UnitaryComputerSystem\","
          "Name=\"testsystem\""}},
        {"gc of the test class", {"gc", url + ":VLK_DiagTest"}, {"CreationClassName="}},
        {"ec", {"ec", url}, {":VLK_DiagResult ", ":VLK_DiagTestForMSE "}},
        {"ecn below the logical devices",
         {"ecn", url + ":CIM_LogicalDevice"},
         {":VLK_DiskDrive\n", ":VLK_ParallelPort\n"}},
        {"ain from a disk to its tests",
         {"ain", "-ac", "VLK_DiagTestForMSE", disk()},
         {"VLK_DiagTest.", "VeLkTest:0:Quick test"}},
        {"ai from a disk to its tests",
         {"ai", "-ac", "VLK_DiagTestForMSE", disk()},
         {"VLK_DiagTest.", "Name=\"VeLkTest:1:Timed test\""}},
        {"rin from a disk", {"rin", "-arc", "VLK_DiagTestForMSE", disk()}, {"VLK_DiagTestForMSE."}},
        {"ri from a disk", {"ri", "-arc", "VLK_DiagTestForMSE", disk()}, {"VLK_DiagTestForMSE."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CommandResult result = wbemcli(c.arguments);
        EXPECT_EQ(result.status, 0) << result.output;
        for (const std::string& text : c.expected) {
            EXPECT_NE(result.output.find(text), std::string::npos) << "no \"" << text << "\" in:\n"
                                                                   << result.output;
        }
    }
}

TEST_F(WbemcliOperationsTest, UnknownInstanceAndChangesAreRefusedWithTheirCimError) {
    const std::string unknownDisk =
        server.url() + ":VLK_DiskDrive.CreationClassName=\"VLK_DiskDrive\",DeviceID=\"IDE:9:9\"," +
        kSystemKeys;
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        std::string error;
    };
    const Case cases[] = {
        {"gi of an unknown disk", {"gi", unknownDisk}, "(6) CIM_ERR_NOT_FOUND"},
        {"di", {"di", disk()}, "(7) CIM_ERR_NOT_SUPPORTED"},
        {"ci", {"ci", unknownDisk, "Name=\"x\""}, "(7) CIM_ERR_NOT_SUPPORTED"},
        {"mi", {"mi", disk(), "Name=\"x\""}, "(7) CIM_ERR_NOT_SUPPORTED"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CommandResult result = wbemcli(c.arguments);
        EXPECT_EQ(result.status, 16) << result.output;
        EXPECT_NE(result.output.find(c.error), std::string::npos) << result.output;
    }
}

// The result reference RunTest printed, as a wbemcli object path.
std::string resultPath(const std::string& url, const std::string& runTestOutput) {
    std::smatch match;
    if (!std::regex_search(runTestOutput, match, std::regex("(VLK_DiagResult\\.[^\\n]*)"))) {
        return "";
    }
    return url + ":" + match[1].str();
}

// Reads the result with gi until its TestState is no longer 0 (new) or 4 (in
// progress); the last gi output.
std::string finalResult(CimServerProcess& server, const std::string& path) {
    std::string output;
    for (int attempt = 0; attempt < 600; attempt++) {
        CommandResult result = server.wbemcli({"gi", "-nl", path});
        output = result.output;
        std::smatch state;
        if (result.status != 0 ||
            !std::regex_search(output, state, std::regex("-TestState=(\\d+)"))) {
            return output;
        }
        if (state[1] != "0" && state[1] != "4") {
            return output;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return output;
}

TEST_F(WbemcliOperationsTest, RunTestReachesItsFinalResult) {
    CommandResult run = wbemcli({"cm", testPath(server.url(), "VeLkTest:0:Quick test"),
                                 "RunTest.SystemElement=" + kDiskRef});
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("RunTest: 0, Result (reference):"), std::string::npos) << run.output;
    std::string result = finalResult(server, resultPath(server.url(), run.output));
    EXPECT_NE(result.find("-TestState=2\n"), std::string::npos) << result;
    EXPECT_NE(result.find("-PercentComplete=100\n"), std::string::npos) << result;
    EXPECT_NE(result.find("PASS"), std::string::npos) << result;
}

class WbemcliDiscontinueTest : public WbemcliOperationsTest {
  protected:
    // The timed test runs for an hour unless it is stopped.
    void SetUp() override {
        server.replaceInModuleFile("velktest.vkm", "szParameterDefaultValue[1][0]=2\n",
                                   "szParameterDefaultValue[1][0]=3600\n");
        WbemcliOperationsTest::SetUp();
    }
};

TEST_F(WbemcliDiscontinueTest, DiscontinueTestStopsARunningTest) {
    std::string test = testPath(server.url(), "VeLkTest:1:Timed test");
    CommandResult run = wbemcli({"cm", test, "RunTest.SystemElement=" + kDiskRef});
    ASSERT_EQ(run.status, 0) << run.output;
    CommandResult stop = wbemcli({"cm", test, "DiscontinueTest.SystemElement=" + kDiskRef});
    EXPECT_EQ(stop.status, 0) << stop.output;
    EXPECT_NE(stop.output.find("DiscontinueTest: 0, TestingStopped (boolean): TRUE"),
              std::string::npos)
        << stop.output;
    std::string result = finalResult(server, resultPath(server.url(), run.output));
    EXPECT_NE(result.find("-TestState=5\n"), std::string::npos) << result;
    EXPECT_NE(result.find("TERMINATED"), std::string::npos) << result;
}

}  // namespace
