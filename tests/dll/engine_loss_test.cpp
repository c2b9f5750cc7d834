// The test environment when its engine goes away or is not the one it
// launched: waits end as soon as the broker is gone, a failed rescan leaves
// a state that Start recovers from, and a launch that loses the race for the
// broker FIFO to another engine is neither waited on nor claimed.  Real
// message broker with the scripted diagnostic and NLS engines.
#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Sandbox.h"
#include "TestEnvironmentImp.h"
#include "VelkCore.h"

namespace {

using namespace VELKCORE;
using velk::dlltest::Child;
using velk::dlltest::FifoHasReader;
using velk::dlltest::ReadFile;
using velk::dlltest::Sandbox;
using velk::dlltest::WaitUntil;

class EngineLossTest : public ::testing::Test {
  protected:
    void SetUp() override {
        velk::dlltest::BecomeSubreaper();
        sandbox_ = std::make_unique<Sandbox>(Sandbox::Bin::SCRIPTED);
        environment_ = std::make_unique<CTestEnvironment>();
        ASSERT_EQ(environment_->SetVelkHomeDir(sandbox_->BinDir()), 0);
    }
    void TearDown() override {
        unsetenv("VELK_SCRIPTED_DIE_ON");
        velk::dlltest::StopEnvironment(environment_);
        engine_.reset();
        // An engine that died leaves its FIFO; that is not the client's.
        unlink(sandbox_->BrokerFifo().c_str());
        velk::dlltest::ExpectNothingLeft(*sandbox_);
        sandbox_.reset();
    }

    // Starts a scripted engine that this test, not the environment, owns.
    void StartOwnEngine(const std::vector<std::string>& environment = {}) {
        engine_ =
            std::make_unique<Child>(sandbox_->BinDir() + "/velkcore", std::vector<std::string>{},
                                    sandbox_->Root(), environment);
        ASSERT_TRUE(WaitUntil([&] { return FifoHasReader(sandbox_->BrokerFifo()); }, 10000));
    }
    unsigned int DeviceCount() {
        unsigned int count = 0;
        environment_->GetDeviceArraySize(count);
        return count;
    }
    CTestEnvironment::State State() const { return environment_->Imp()->State(); }

    std::unique_ptr<Sandbox> sandbox_;
    std::unique_ptr<Child> engine_;
    std::unique_ptr<CTestEnvironment> environment_;
};

// A command the engine dies on, and the call that sends it.
struct LossCase {
    const char* dieOn;
    std::function<int(CTestEnvironment&)> call;
};

class CommandLossTest : public EngineLossTest, public ::testing::WithParamInterface<LossCase> {};

TEST_P(CommandLossTest, WaitEndsWithFailureOnceTheEngineIsGone) {
    // An engine found running: the client knows no process of it, only its
    // broker FIFO.  The rescan alone would wait 600 s for its reply.
    StartOwnEngine({std::string("VELK_SCRIPTED_DIE_ON=") + GetParam().dieOn});
    ASSERT_EQ(environment_->Start(), 0);
    EXPECT_EQ(GetParam().call(*environment_), 1);
    EXPECT_TRUE(engine_->Wait(10000).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandLossTest,
    ::testing::Values(LossCase{"RESCAN_DEVICES#1",
                               [](CTestEnvironment& e) { return e.RescanDevices(); }},
                      LossCase{"SYSINFO#1",
                               [](CTestEnvironment& e) {
                                   CDevice* device = nullptr;
                                   CDevice::CSystemInfo* info = nullptr;
                                   e.GetDeviceArrayElement(0, &device);
                                   return device->GetFirstSystemInfo(&info);
                               }},
                      LossCase{"VALIDATE_TEST_PARAMETERS#1", [](CTestEnvironment& e) {
                                   CDevice* device = nullptr;
                                   CTest* test = nullptr;
                                   CTestParameter* parameter = nullptr;
                                   e.GetDeviceArrayElement(0, &device);
                                   device->GetTestArrayElement(0, &test);
                                   test->GetParameterArrayElement(0, &parameter);
                                   return parameter->ApplyValue("5");
                               }}));

TEST_F(EngineLossTest, RescanWhoseListIsLostLeavesANotReadyThatStartRecovers) {
    // The launched engine answers the rescan and dies on the list request.
    setenv("VELK_SCRIPTED_DIE_ON", "LIST_DEVICES_AND_TESTS#2", 1);
    ASSERT_EQ(environment_->Start(), 0);
    unsetenv("VELK_SCRIPTED_DIE_ON");
    EXPECT_EQ(environment_->RescanDevices(), 1);
    EXPECT_EQ(State(), CTestEnvironment::NOT_READY);
    EXPECT_EQ(DeviceCount(), 0u);
    EXPECT_EQ(environment_->GetEnginePid(), 0) << "the dead engine is still reported";

    StartOwnEngine();
    ASSERT_EQ(environment_->Start(), 0);
    EXPECT_EQ(State(), CTestEnvironment::READY);
    EXPECT_EQ(DeviceCount(), 2u);
    // Closing really disconnects: the broker stays, and a new start connects.
    EXPECT_EQ(environment_->CloseClient(), 0);
    ASSERT_EQ(environment_->Start(), 0);
    EXPECT_EQ(environment_->GetEnginePid(), 0);
}

TEST_F(EngineLossTest, LaunchThatLosesTheRaceLeavesTheWinningEngineToItsOwner) {
    // The launcher starts an engine that is not its own process and ends at
    // once, as a launch does whose engine finds another one on the broker
    // FIFO: the environment is served by an engine it did not launch.
    std::string pidFile = sandbox_->Root() + "/winner";
    sandbox_->WriteScript("velkcore", std::string("\"") + VELK_SCRIPTED_ENGINE_PATH +
                                          "\" >/dev/null 2>&1 & echo $! > \"" + pidFile + "\"");
    ASSERT_EQ(environment_->Start(), 0);
    EXPECT_EQ(State(), CTestEnvironment::READY);
    EXPECT_EQ(DeviceCount(), 2u);
    EXPECT_EQ(environment_->GetEnginePid(), 0);
    pid_t winner = std::stoi(ReadFile(pidFile));
    environment_->CloseClient();
    EXPECT_TRUE(FifoHasReader(sandbox_->BrokerFifo()));
    velk::dlltest::StopProcess(winner);
}

}  // namespace
