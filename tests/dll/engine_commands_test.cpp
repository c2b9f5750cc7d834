// Engine commands against the real broker with the scripted engines: values
// with ":" reach the engine, replies too long for their area do not pile up,
// and commands from several threads each get their own answer.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Sandbox.h"
#include "TestEnvironmentImp.h"
#include "TestParamImp.h"
#include "VelkCore.h"
#include "client-messaging-engine.h"

namespace {

using namespace VELKCORE;
using velk::dlltest::ReadFile;
using velk::dlltest::Sandbox;

class EngineCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sandbox_ = std::make_unique<Sandbox>(Sandbox::Bin::SCRIPTED);
        setenv("VELK_SCRIPTED_LOG", (sandbox_->Root() + "/commands").c_str(), 1);
        environment_ = std::make_unique<CTestEnvironment>();
        ASSERT_EQ(environment_->SetVelkHomeDir(sandbox_->BinDir()), 0);
    }
    void TearDown() override {
        velk::dlltest::StopEnvironment(environment_);
        velk::dlltest::ExpectNothingLeft(*sandbox_);
        unsetenv("VELK_SCRIPTED_LOG");
        unsetenv("VELK_SCRIPTED_SYSINFO_PAD");
        sandbox_.reset();
    }
    CDevice* DeviceAt(unsigned int index) {
        CDevice* device = nullptr;
        environment_->GetDeviceArrayElement(index, &device);
        return device;
    }
    CTestParameter* Count() {
        CTest* test = nullptr;
        CTestParameter* parameter = nullptr;
        DeviceAt(0)->GetTestArrayElement(0, &test);
        test->GetParameterArrayElement(0, &parameter);
        return parameter;
    }
    bool Received(const std::string& command) const {
        return ReadFile(sandbox_->Root() + "/commands").find(command + "\n") != std::string::npos;
    }

    std::unique_ptr<Sandbox> sandbox_;
    std::unique_ptr<CTestEnvironment> environment_;
};

TEST_F(EngineCommandsTest, ValueWithAColonIsTheEnginesToJudge) {
    ASSERT_EQ(environment_->Start(), 0);
    EXPECT_EQ(Count()->ApplyValue("code:3"), 0);
    EXPECT_TRUE(Received("VALIDATE_TEST_PARAMETERS:VeLkScripted:0:1:param=COUNT,code:3"));
    std::string param;
    Count()->Imp()->GetParam(param);
    EXPECT_EQ(param, "param=COUNT,code:3");
}

TEST_F(EngineCommandsTest, SystemInformationTooLongForItsAreaIsNotKept) {
    setenv("VELK_SCRIPTED_SYSINFO_PAD", "40000", 1);
    ASSERT_EQ(environment_->Start(), 0);
    for (int call = 0; call < 3; ++call) {
        CDevice::CSystemInfo* info = nullptr;
        EXPECT_EQ(DeviceAt(1)->GetFirstSystemInfo(&info), 1);
    }
    EXPECT_EQ(VelkClient_I_GetWaitingMessageCount(), 0);
}

TEST_F(EngineCommandsTest, CommandsFromSeveralThreadsEachGetTheirAnswer) {
    ASSERT_EQ(environment_->Start(), 0);
    CNLS* nls = nullptr;
    environment_->GetNLS(&nls);
    constexpr int kRounds = 20;
    int failures[3] = {};
    std::vector<std::thread> threads;
    threads.emplace_back([&] {
        for (int round = 0; round < kRounds; ++round) {
            CTestParameter::State state = CTestParameter::NOT_APPLIED;
            failures[0] +=
                Count()->ApplyValue(round % 2 == 0 ? "7" : "11") != 0 ||
                Count()->GetState(state) != 0 ||
                state != (round % 2 == 0 ? CTestParameter::VALID : CTestParameter::VALUE_TOO_BIG);
        }
    });
    threads.emplace_back([&] {
        for (int round = 0; round < kRounds; ++round) {
            CDevice::CSystemInfo* info = nullptr;
            failures[1] += DeviceAt(1)->GetFirstSystemInfo(&info) != 0 || info == nullptr ||
                           info->GetKey() != "FEATURE";
        }
    });
    threads.emplace_back([&] {
        for (int round = 0; round < kRounds; ++round) {
            CNLS::LanguageId lang = CNLS::DE;
            std::string text;
            failures[2] +=
                nls->GetHRStringFromToken("<NLS mod=scripted.vkm id=QUICK />", lang, text) != 0 ||
                text != "Schnelltest";
        }
    });
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures[0], 0) << "validation";
    EXPECT_EQ(failures[1], 0) << "system information";
    EXPECT_EQ(failures[2], 0) << "NLS lookup";
    EXPECT_EQ(VelkClient_I_GetWaitingMessageCount(), 0);
}

}  // namespace
