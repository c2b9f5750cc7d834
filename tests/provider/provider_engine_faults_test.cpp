// The provider when its engine is missing, does not start or dies between
// two requests (the client gets "Error Starting Engine", nothing hangs, a
// later request starts the engine again), and when the host has no or two
// CIM_UnitaryComputerSystem instances (the request fails, no engine starts).
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include <Pegasus/Common/Exception.h>

#include "CollectingHandlers.h"
#include "ProviderFixture.h"
#include "ProviderTestText.h"
#include "TestProcess.h"

using namespace Pegasus;
using velk::cimserver::CollectingInstanceHandler;
using velk::cimserver::CollectingPathHandler;

class EngineFaultTest : public ProviderFixture {
  protected:
    void SetUp() override {
        ProviderFixture::SetUp();
        installEngine();
        writeLogConfiguration();
    }

    // The message a request for className fails with, or "" when it succeeds.
    std::string failureOf(const char* className, size_t* listed = nullptr) {
        CollectingPathHandler names;
        try {
            instances->enumerateInstanceNames(OperationContext(), classPath(className), names);
        } catch (const CIMException& e) {
            return "CIMException " + std::to_string(e.getCode()) + " " + text(e.getMessage());
        } catch (const Exception& e) {
            return "Exception " + text(e.getMessage());
        }
        if (listed != nullptr) {
            *listed = names.paths().size();
        }
        return "";
    }

    void startWithComputerSystems(int count) {
        for (int i = 0; i < count; i++) {
            addComputerSystem(i == 0 ? "testsystem" : "second");
        }
        createAndInitialize();
    }

    void replaceEngine(const std::string& script) {
        std::filesystem::remove(homeDir + "/velkcore");
        if (!script.empty()) {
            writeFile("velkcore", "#!/bin/sh\n" + script + "\n");
            chmod((homeDir + "/velkcore").c_str(), 0700);
        }
    }

    std::optional<pid_t> runningEngine() {
        for (pid_t child : velk::testsupport::ChildrenOf(getpid())) {
            std::optional<velk::testsupport::ProcessStat> stat =
                velk::testsupport::ReadProcessStat(child);
            if (stat && stat->name == "velkcore" && stat->state != 'Z') {
                return child;
            }
        }
        return std::nullopt;
    }
};

TEST_F(EngineFaultTest, MissingEngineFailsEachRequestUntilItIsInstalled) {
    replaceEngine("");
    startWithComputerSystems(1);
    for (int attempt = 0; attempt < 2; attempt++) {
        EXPECT_EQ(failureOf("VLK_DiagTest"), "CIMException 1 Error Starting Engine");
        EXPECT_EQ(failureOf("VLK_DiskDrive"), "Exception Error Starting Engine");
    }

    std::filesystem::create_symlink(VELK_CORE_PATH, homeDir + "/velkcore");
    size_t tests = 0;
    size_t disks = 0;
    EXPECT_EQ(failureOf("VLK_DiagTest", &tests), "");
    EXPECT_EQ(failureOf("VLK_DiskDrive", &disks), "");
    EXPECT_EQ(tests, 2u);
    EXPECT_EQ(disks, 2u);
}

TEST_F(EngineFaultTest, EngineThatEndsAtOnceFailsTheRequestAndTheNext) {
    replaceEngine("exit 1");
    startWithComputerSystems(1);
    EXPECT_EQ(failureOf("VLK_Processor"), "Exception Error Starting Engine");
    EXPECT_EQ(failureOf("VLK_Processor"), "Exception Error Starting Engine");
}

TEST_F(EngineFaultTest, EngineThatDiedIsStartedAgainByTheNextRequest) {
    startWithComputerSystems(1);
    size_t tests = 0;
    ASSERT_EQ(failureOf("VLK_DiagTest", &tests), "");
    ASSERT_EQ(tests, 2u);
    std::optional<pid_t> engine = runningEngine();
    ASSERT_TRUE(engine.has_value());
    velk::testsupport::StopProcess(*engine, SIGKILL);

    tests = 0;
    size_t ports = 0;
    EXPECT_EQ(failureOf("VLK_DiagTest", &tests), "");
    EXPECT_EQ(tests, 2u);
    EXPECT_EQ(failureOf("VLK_SerialPort", &ports), "");
    EXPECT_EQ(ports, 1u);
    EXPECT_NE(logText().find("engine gone, starting it again"), std::string::npos);
    std::optional<pid_t> restarted = runningEngine();
    ASSERT_TRUE(restarted.has_value());
    EXPECT_NE(*restarted, *engine);
}

struct SystemsCase {
    int systems;
    const char* failure;  // after "Exception VLK_ComputerSystem::mGetCIMInstance(...): "
};

class ComputerSystemsTest : public EngineFaultTest,
                            public ::testing::WithParamInterface<SystemsCase> {};

TEST_P(ComputerSystemsTest, DeviceAndTestRequestsFailUntilTheHostHasExactlyOne) {
    startWithComputerSystems(GetParam().systems);
    const std::string failure =
        std::string("Exception VLK_ComputerSystem::mGetCIMInstance(...): ") + GetParam().failure;
    EXPECT_EQ(failureOf("VLK_DiskDrive"), failure);
    EXPECT_EQ(failureOf("VLK_DiagTest"), failure);
    EXPECT_EQ(logText().find("creating new CTestEnvironment"), std::string::npos);
    if (GetParam().systems == 0) {
        addComputerSystem();
        EXPECT_EQ(failureOf("VLK_Processor"), "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Counts, ComputerSystemsTest,
    ::testing::Values(SystemsCase{0, "couldn't find an instance of CIM_UnitaryComputerSystem"},
                      SystemsCase{2, "more than one instance of CIM_UnitaryComputerSystem"}));
