// Starting the test environment against launchers that are missing, do
// nothing, or never answer: the attempts, the states, what is launched again
// and that nothing is left running or lying about.  No real engine needed.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>

#include "Sandbox.h"
#include "TestEnvironmentImp.h"
#include "VelkCore.h"

namespace {

using namespace VELKCORE;
using namespace velk::dlltest;

class LaunchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sandbox_ = std::make_unique<Sandbox>(Sandbox::Bin::EMPTY);
        environment_ = std::make_unique<CTestEnvironment>();
    }
    void TearDown() override {
        environment_.reset();
        EXPECT_TRUE(WaitUntil([&] { return sandbox_->Fifos().empty(); }, 5000))
            << "FIFO left: " << sandbox_->Fifos().front();
        sandbox_.reset();
    }

    // A launcher that counts its launches and ends at once.
    void WriteCountingLauncher() {
        sandbox_->WriteScript("velkcore", "echo run >> \"" + LaunchLog() + "\"");
    }
    std::string LaunchLog() const { return sandbox_->Root() + "/launches"; }
    int Launches() const {
        std::string log = ReadFile(LaunchLog());
        return static_cast<int>(std::count(log.begin(), log.end(), '\n'));
    }
    CTestEnvironment::State State() const { return environment_->Imp()->State(); }

    std::unique_ptr<Sandbox> sandbox_;
    std::unique_ptr<CTestEnvironment> environment_;
};

TEST_F(LaunchTest, HomeDirectoryNeedsTheLauncher) {
    std::string before = environment_->GetVelkHomeDir();
    EXPECT_EQ(environment_->SetVelkHomeDir(sandbox_->BinDir()), 1);
    EXPECT_EQ(environment_->GetVelkHomeDir(), before);
    EXPECT_EQ(environment_->SetVelkHomeDir(sandbox_->Root() + "/missing"), 1);
    WriteCountingLauncher();
    EXPECT_EQ(environment_->SetVelkHomeDir(sandbox_->BinDir()), 0);
    EXPECT_EQ(environment_->GetVelkHomeDir(), sandbox_->BinDir());
}

TEST_F(LaunchTest, SilentEngineEndsNotReadyAndIsNotLaunchedAgain) {
    WriteCountingLauncher();
    ASSERT_EQ(environment_->SetVelkHomeDir(sandbox_->BinDir()), 0);
    EXPECT_EQ(environment_->Start(), 1);
    EXPECT_EQ(State(), CTestEnvironment::NOT_READY);
    EXPECT_EQ(Launches(), 1);
    // The second attempt connects again without a second launch.
    EXPECT_EQ(environment_->Start(), 1);
    EXPECT_EQ(State(), CTestEnvironment::NOT_READY);
    EXPECT_EQ(Launches(), 1);
    unsigned int devices = 99;
    environment_->GetDeviceArraySize(devices);
    EXPECT_EQ(devices, 0u);
    EXPECT_EQ(environment_->Stop(), 0);
    EXPECT_EQ(State(), CTestEnvironment::DISCONNECTED);
    // The ended launcher is no engine of this environment and has been
    // reaped.
    EXPECT_EQ(environment_->GetEnginePid(), 0);
    EXPECT_TRUE(velk::testsupport::ZombieChildren(getpid()).empty());
}

TEST_F(LaunchTest, MissingLauncherIsReportedAndLaunchedOnceItIsBack) {
    WriteCountingLauncher();
    ASSERT_EQ(environment_->SetVelkHomeDir(sandbox_->BinDir()), 0);
    std::string launcher = sandbox_->BinDir() + "/velkcore";
    ASSERT_EQ(rename(launcher.c_str(), (launcher + ".away").c_str()), 0);
    EXPECT_EQ(environment_->Start(), -1);
    EXPECT_EQ(State(), CTestEnvironment::DISCONNECTED);
    EXPECT_EQ(environment_->GetEnginePid(), 0);
    ASSERT_EQ(rename((launcher + ".away").c_str(), launcher.c_str()), 0);
    EXPECT_EQ(environment_->Start(), 1);
    EXPECT_EQ(Launches(), 1);
    EXPECT_EQ(environment_->Stop(), 0);
}

TEST_F(LaunchTest, LaunchedEngineThatNeverAnswersIsEndedByStop) {
    sandbox_->WriteScript("velkcore", "exec sleep 600");
    ASSERT_EQ(environment_->SetVelkHomeDir(sandbox_->BinDir()), 0);
    EXPECT_EQ(environment_->Start(), 1);
    int launched = environment_->GetEnginePid();
    ASSERT_GT(launched, 0);
    EXPECT_EQ(kill(launched, 0), 0) << "the launcher should still run";
    EXPECT_EQ(environment_->Stop(), 0);
    EXPECT_TRUE(ProcessGone(launched));
}

TEST_F(LaunchTest, LaunchOptionsReachTheLauncher) {
    sandbox_->WriteScript("velkcore", "echo \"$@\" > \"" + sandbox_->Root() + "/arguments\"");
    environment_ = std::make_unique<CTestEnvironment>(CTestEnvironment::OPTION_TRACE |
                                                      CTestEnvironment::OPTION_CLIENT_ENUMERATION);
    ASSERT_EQ(environment_->SetVelkHomeDir(sandbox_->BinDir()), 0);
    EXPECT_EQ(environment_->Start(), 1);
    EXPECT_EQ(ReadFile(sandbox_->Root() + "/arguments"), "trace -dew\n");
    environment_->Stop();
}

TEST_F(LaunchTest, StopAndStateWithoutEngineLeaveNothingBehind) {
    CTestEnvironment::State state = CTestEnvironment::READY;
    EXPECT_EQ(environment_->GetState(state), 0);
    EXPECT_EQ(state, CTestEnvironment::DISCONNECTED);
    EXPECT_EQ(environment_->Stop(), 0);
    EXPECT_EQ(State(), CTestEnvironment::DISCONNECTED);
    EXPECT_EQ(environment_->CloseClient(), 0);
    EXPECT_EQ(environment_->RescanDevices(), 1);
    // The transport comes back after Stop.
    EXPECT_EQ(environment_->GetState(state), 0);
    EXPECT_EQ(state, CTestEnvironment::DISCONNECTED);
}

}  // namespace
