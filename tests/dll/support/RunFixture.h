// A fixture for tests that run tests: the real engine and the test module in
// a sandbox, a started environment, and helpers to pick the module's tests,
// set their parameters and wait for scenarios.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Sandbox.h"
#include "TestEnvironmentImp.h"
#include "VelkCore.h"

namespace velk::dlltest {

// Test indexes of the test module.
constexpr int kQuickTest = 0;
constexpr int kTimedTest = 1;

class RunFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        sandbox_ = std::make_unique<Sandbox>();
        environment_ = std::make_unique<VELKCORE::CTestEnvironment>(options_);
        ASSERT_EQ(environment_->SetVelkHomeDir(sandbox_->BinDir()), 0);
        ASSERT_EQ(environment_->Start(), 0);
    }
    void TearDown() override {
        StopEnvironment(environment_);
        if (sandbox_ != nullptr) {
            ExpectNothingLeft(*sandbox_);
        }
        sandbox_.reset();
    }

    std::vector<VELKCORE::CDevice*> Devices() const {
        std::vector<VELKCORE::CDevice*> devices;
        unsigned int count = 0;
        environment_->GetDeviceArraySize(count);
        for (unsigned int d = 0; d < count; ++d) {
            devices.push_back(nullptr);
            environment_->GetDeviceArrayElement(d, &devices.back());
        }
        return devices;
    }
    static std::vector<VELKCORE::CTest*> Tests(VELKCORE::CDevice* device) {
        std::vector<VELKCORE::CTest*> tests;
        unsigned int count = 0;
        device->GetTestArraySize(count);
        for (unsigned int t = 0; t < count; ++t) {
            tests.push_back(nullptr);
            device->GetTestArrayElement(t, &tests.back());
        }
        return tests;
    }
    // The devices that offer test index, in list order.
    std::vector<VELKCORE::CTest*> TestsWithIndex(int index) const {
        std::vector<VELKCORE::CTest*> found;
        for (VELKCORE::CDevice* device : Devices()) {
            for (VELKCORE::CTest* test : Tests(device)) {
                std::string module;
                int testIndex = -1;
                test->GetModuleIdAndIndex(module, testIndex);
                if (testIndex == index) {
                    found.push_back(test);
                }
            }
        }
        return found;
    }
    // Test index on the n-th device that offers it.
    VELKCORE::CTest* TestOn(int index, size_t n = 0) const {
        std::vector<VELKCORE::CTest*> tests = TestsWithIndex(index);
        return n < tests.size() ? tests[n] : nullptr;
    }
    // Parameter id of test, or nullptr.
    static VELKCORE::CTestParameter* Parameter(VELKCORE::CTest* test, const std::string& id) {
        unsigned int count = 0;
        test->GetParameterArraySize(count);
        for (unsigned int i = 0; i < count; ++i) {
            VELKCORE::CTestParameter* parameter = nullptr;
            test->GetParameterArrayElement(i, &parameter);
            std::string parameterId;
            parameter->GetId(parameterId);
            if (parameterId == id) {
                return parameter;
            }
        }
        return nullptr;
    }
    // Applies value to parameter id of test; true when the engine took it.
    static bool Set(VELKCORE::CTest* test, const std::string& id, const std::string& value) {
        VELKCORE::CTestParameter* parameter = Parameter(test, id);
        VELKCORE::CTestParameter::State state = VELKCORE::CTestParameter::NOT_APPLIED;
        return parameter != nullptr && parameter->ApplyValue(value) == 0 &&
               parameter->GetState(state) == 0 && state == VELKCORE::CTestParameter::VALID;
    }
    static bool Final(VELKCORE::CScenario::State state) {
        return state != VELKCORE::CScenario::IDLE && state != VELKCORE::CScenario::RUNNING &&
               state != VELKCORE::CScenario::DEVICEBUSY;
    }
    // Waits for scenario to reach a final state; its state then.
    static VELKCORE::CScenario::State Finish(VELKCORE::CScenario* scenario, int timeoutMs = 60000) {
        WaitUntil([&] { return Final(scenario->GetState()); }, timeoutMs, 50);
        return scenario->GetState();
    }
    // The runs of cycle in the order they were started.
    static std::vector<VELKCORE::CTestRun*> Started(VELKCORE::CCycle* cycle) {
        std::vector<VELKCORE::CTestRun*> runs;
        for (VELKCORE::CTestRun* run = cycle->GetFirstTestRun(); run != nullptr;
             run = cycle->GetNextTestRun()) {
            runs.push_back(run);
        }
        return runs;
    }
    static VELKCORE::CTestRun::Result ResultOf(VELKCORE::CTestRun* run) {
        VELKCORE::CTestRun::Result result = VELKCORE::CTestRun::INVALIDRESULT;
        run->GetResult(result);
        return result;
    }
    // Texts of the run's log messages.
    static std::vector<std::string> MessageTexts(VELKCORE::CTestRun* run) {
        std::vector<std::string> texts;
        VELKCORE::CMessage* message = nullptr;
        for (int result = run->GetFirstMessage(&message); result == 0 && message != nullptr;
             result = run->GetNextMessage(&message)) {
            std::string text;
            message->GetMessage(text);
            texts.push_back(text);
        }
        return texts;
    }

    unsigned int options_ = 0;
    std::unique_ptr<Sandbox> sandbox_;
    std::unique_ptr<VELKCORE::CTestEnvironment> environment_;
};

}  // namespace velk::dlltest
