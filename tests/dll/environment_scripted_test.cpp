// The test environment's whole cycle against the real message broker with a
// scripted diagnostic engine and NLS engine (known answers), including
// concurrent commands and an engine that goes away or is not the one launched.
#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "NLSImp.h"
#include "Sandbox.h"
#include "TestEnvironmentImp.h"
#include "TestImp.h"
#include "TestParamImp.h"
#include "VelkCore.h"
#include "client-messaging-engine.h"

namespace {

using namespace VELKCORE;
using namespace velk::dlltest;

class ScriptedEngineTest : public ::testing::Test {
  public:
    void SetUp() override {
        sandbox_ = std::make_unique<Sandbox>(Sandbox::Bin::SCRIPTED);
        setenv("VELK_SCRIPTED_LOG", Log().c_str(), 1);
        Make(0);
    }
    void TearDown() override {
        CTestEnvironmentImp::SetOutputLanguage(CNLS::EN);
        StopEnvironment(environment_);
        engine_.reset();
        ExpectNothingLeft(*sandbox_);
        unsetenv("VELK_SCRIPTED_LOG");
        unsetenv("VELK_SCRIPTED_DIE_ON");
        unsetenv("VELK_SCRIPTED_SYSINFO_PAD");
        sandbox_.reset();
    }

    void Make(unsigned int options) {
        environment_ = std::make_unique<CTestEnvironment>(options);
        ASSERT_EQ(environment_->SetVelkHomeDir(sandbox_->BinDir()), 0);
    }
    // Starts a scripted engine that this test, not the environment, owns.
    void StartOwnEngine(const std::vector<std::string>& environment = {}) {
        engine_ =
            std::make_unique<Child>(sandbox_->BinDir() + "/velkcore", std::vector<std::string>{},
                                    sandbox_->Root(), environment);
        ASSERT_TRUE(WaitUntil([&] { return FifoHasReader(sandbox_->BrokerFifo()); }, 10000));
    }
    std::string Log() const { return sandbox_->Root() + "/commands"; }
    // How often the engine received command.
    int Received(const std::string& command) const {
        std::string log = ReadFile(Log());
        int count = 0;
        for (std::string::size_type at = log.find(command + "\n"); at != std::string::npos;
             at = log.find(command + "\n", at + 1)) {
            count += at == 0 || log[at - 1] == '\n';
        }
        return count;
    }
    CDevice* DeviceAt(unsigned int index) {
        CDevice* device = nullptr;
        environment_->GetDeviceArrayElement(index, &device);
        return device;
    }
    CTest* TestAt(unsigned int device, unsigned int index) {
        CTest* test = nullptr;
        DeviceAt(device)->GetTestArrayElement(index, &test);
        return test;
    }
    unsigned int DeviceCount() {
        unsigned int count = 0;
        environment_->GetDeviceArraySize(count);
        return count;
    }
    CTestEnvironment::State State() const { return environment_->Imp()->State(); }
    CTestParameter* Count() {
        CTestParameter* parameter = nullptr;
        TestAt(0, 0)->GetParameterArrayElement(0, &parameter);
        return parameter;
    }
    CTestParameter::State Apply(CTestParameter* parameter, const std::string& value) {
        EXPECT_EQ(parameter->ApplyValue(value), 0) << value;
        CTestParameter::State state = CTestParameter::NOT_APPLIED;
        parameter->GetState(state);
        return state;
    }

    std::unique_ptr<Sandbox> sandbox_;
    std::unique_ptr<Child> engine_;
    std::unique_ptr<CTestEnvironment> environment_;
};

TEST_F(ScriptedEngineTest, StartAndRescanReadTheList) {
    ASSERT_EQ(environment_->Start(), 0);
    EXPECT_EQ(State(), CTestEnvironment::READY);
    EXPECT_GT(environment_->GetEnginePid(), 0);
    EXPECT_EQ(Received("LIST_DEVICES_AND_TESTS"), 1);
    ASSERT_EQ(DeviceCount(), 2u);
    std::string text;
    DeviceAt(0)->GetName(text);
    EXPECT_EQ(text, "Scripted disk");
    TestAt(0, 0)->GetModuleName(text);
    EXPECT_EQ(text, "Scripted module");
    EXPECT_EQ(environment_->Start(), 0);
    EXPECT_EQ(Received("LIST_DEVICES_AND_TESTS"), 1) << "a READY start must not ask again";
    // A rescan reads the list again.
    EXPECT_EQ(environment_->RescanDevices(), 0);
    EXPECT_EQ(Received("RESCAN_DEVICES"), 1);
    EXPECT_EQ(Received("LIST_DEVICES_AND_TESTS"), 2);
    EXPECT_EQ(DeviceCount(), 2u);
    EXPECT_EQ(State(), CTestEnvironment::READY);
}

TEST_F(ScriptedEngineTest, TextsAreTranslatedCachedAndFallBackToEnglish) {
    ASSERT_EQ(environment_->Start(), 0);
    CNLS* nls = nullptr;
    environment_->GetNLS(&nls);
    std::string name;
    nls->SetOutputLanguage(CNLS::DE);
    TestAt(0, 0)->GetName(name);
    EXPECT_EQ(name, "Schnelltest");
    TestAt(0, 1)->GetName(name);
    EXPECT_EQ(name, "English only") << "English stands in for a missing translation";
    CNLS::LanguageId lang = CNLS::DE;
    EXPECT_EQ(nls->GetHRStringFromToken("<NLS mod=scripted.vkm id=ENGLISH_ONLY />", lang, name), 0);
    EXPECT_EQ(lang, CNLS::EN);
    lang = CNLS::DE;
    EXPECT_EQ(nls->GetHRStringFromToken("<NLS mod=scripted.vkm id=NOWHERE />", lang, name), 0);
    EXPECT_EQ(lang, CNLS::TK);
    EXPECT_EQ(name, "<NLS mod=scripted.vkm id=NOWHERE />");

    int lookups = Received("NLS_GETSTRING:DE:<NLS mod=scripted.vkm id=QUICK />");
    TestAt(0, 0)->GetName(name);
    EXPECT_EQ(Received("NLS_GETSTRING:DE:<NLS mod=scripted.vkm id=QUICK />"), lookups)
        << "a cached translation must not be looked up again";

    // Cached texts outlive the engine.
    environment_->Stop();
    TestAt(0, 0)->GetName(name);
    EXPECT_EQ(name, "Schnelltest");
    TestAt(0, 1)->GetName(name);
    EXPECT_EQ(name, "<NLS mod=scripted.vkm id=ENGLISH_ONLY />");
}

TEST_F(ScriptedEngineTest, LanguagesAreAppendedOnEveryQueryAndDefaultsTravel) {
    ASSERT_EQ(environment_->Start(), 0);
    CNLSImp::_languageIdSupport.clear();
    CNLS* nls = nullptr;
    environment_->GetNLS(&nls);
    CNLS::LanguageId lang = CNLS::INVALID_LANGUAGE;
    nls->GetOutputLanguage(lang);
    nls->GetOutputLanguage(lang);
    EXPECT_EQ(lang, CNLS::EN);
    unsigned int size = 0;
    nls->GetLanguageIdSupportArraySize(size);
    EXPECT_EQ(size, 4u);
    CNLS::LanguageId second = CNLS::INVALID_LANGUAGE;
    nls->GetLanguageIdSupportArrayElement(1, second);
    EXPECT_EQ(second, CNLS::DE);
    CNLSImp::_languageIdSupport.clear();
    CNLS::LanguageId defaultLang = CNLS::INVALID_LANGUAGE;
    EXPECT_EQ(CNLS::GetDefaultLanguage(defaultLang), 0);
    EXPECT_EQ(defaultLang, CNLS::EN);
    EXPECT_EQ(CNLS::SetDefaultLanguage(CNLS::DE), 0);
    EXPECT_EQ(Received("NLS_SET_DEFAULT_LANG:DE"), 1);
    EXPECT_EQ(CNLS::GetDefaultLanguage(defaultLang), 0);
    EXPECT_EQ(defaultLang, CNLS::DE);
}

TEST_F(ScriptedEngineTest, ParameterVerdictsComeFromTheEngine) {
    ASSERT_EQ(environment_->Start(), 0);
    CTestParameter* count = Count();
    ASSERT_NE(count, nullptr);
    std::string bound;
    EXPECT_EQ(count->GetMaxVal(bound), 0);
    EXPECT_EQ(Received("VALIDATE_TEST_PARAMETERS:VeLkScripted:0:1:param=COUNT,UNDEF"), 1);
    const std::pair<const char*, CTestParameter::State> verdicts[] = {
        {"11", CTestParameter::VALUE_TOO_BIG},
        {"0", CTestParameter::VALUE_TOO_SMALL},
        {"x", CTestParameter::VALUE_BAD},
        {"7", CTestParameter::VALID}};
    for (const auto& [value, state] : verdicts) {
        EXPECT_EQ(Apply(count, value), state) << value;
    }
    EXPECT_EQ(count->GetMaxVal(bound), 0);
    EXPECT_EQ(bound, "10");
    CTestParamImp unknown(1, "VeLkScripted", 0, std::string("UNKNOWN"));
    EXPECT_EQ(Apply(unknown.Interface(), "3"), CTestParameter::ID_NOT_RECOGNIZED);
    // A value with a colon travels as it is: the engine judges it.
    Apply(count, "code:3");
    EXPECT_EQ(Received("VALIDATE_TEST_PARAMETERS:VeLkScripted:0:1:param=COUNT,code:3"), 1);
    std::string param;
    count->Imp()->GetParam(param);
    EXPECT_EQ(param, "param=COUNT,code:3");
}

TEST_F(ScriptedEngineTest, ReconnectUsesTheRunningEngineAndKeepsOneList) {
    ASSERT_EQ(environment_->Start(), 0);
    int launched = environment_->GetEnginePid();
    EXPECT_EQ(environment_->CloseClient(), 0);
    CTestEnvironment::State state = CTestEnvironment::DISCONNECTED;
    environment_->GetState(state);
    EXPECT_EQ(state, CTestEnvironment::ENGINE_AVAILABLE);
    ASSERT_EQ(environment_->Start(), 0);
    EXPECT_EQ(environment_->GetEnginePid(), launched);
    EXPECT_EQ(ChildrenNamed("velkcore"), std::vector<pid_t>{launched});
    EXPECT_EQ(DeviceCount(), 2u);
}

TEST_F(ScriptedEngineTest, StopOfAnAdoptedEngineStopsItToo) {
    StartOwnEngine();
    CTestEnvironment::State state = CTestEnvironment::DISCONNECTED;
    environment_->GetState(state);
    EXPECT_EQ(state, CTestEnvironment::ENGINE_AVAILABLE);
    // Stop without a connection connects to ask the broker to stop.
    EXPECT_EQ(environment_->Stop(), 0);
    EXPECT_TRUE(engine_->Wait(10000).has_value()) << "the broker did not stop";
    EXPECT_TRUE(sandbox_->Fifos().empty());
}

TEST_F(ScriptedEngineTest, ClientDrivenEnumerationScansTheNamedModules) {
    Make(CTestEnvironment::OPTION_CLIENT_ENUMERATION);
    char cpu[] = "cpu";
    char disk[] = "disk.vkm";
    char* modules[] = {cpu, disk};
    ASSERT_EQ(environment_->Start(2, modules), 0);
    EXPECT_EQ(Received("SCAN_MODULES<MODULE_NAME>cpu.vkm</MODULE_NAME>"
                       "<MODULE_NAME>disk.vkm</MODULE_NAME>"),
              1);
    EXPECT_EQ(DeviceCount(), 2u);
}

TEST_F(ScriptedEngineTest, MultiInstanceEngineHasItsOwnFifo) {
    Make(CTestEnvironment::OPTION_MULTI_INSTANCE);
    ASSERT_EQ(environment_->Start(), 0);
    int launched = environment_->GetEnginePid();
    ASSERT_GT(launched, 0);
    EXPECT_TRUE(FifoHasReader(sandbox_->PipeDir() + "/VELKFIFO_" + std::to_string(launched)));
    EXPECT_FALSE(FifoHasReader(sandbox_->BrokerFifo()));
    EXPECT_EQ(DeviceCount(), 2u);
    EXPECT_EQ(environment_->Stop(), 0);
    EXPECT_TRUE(ProcessGone(launched));
    EXPECT_TRUE(sandbox_->Fifos().empty()) << sandbox_->Fifos().front();
    // A default environment afterwards uses the default FIFO again.
    Make(0);
    ASSERT_EQ(environment_->Start(), 0);
    EXPECT_TRUE(FifoHasReader(sandbox_->BrokerFifo()));
}

TEST_F(ScriptedEngineTest, SystemInformationTooLongForItsAreaIsNotKept) {
    setenv("VELK_SCRIPTED_SYSINFO_PAD", "40000", 1);
    ASSERT_EQ(environment_->Start(), 0);
    for (int call = 0; call < 3; ++call) {
        CDevice::CSystemInfo* info = nullptr;
        EXPECT_EQ(DeviceAt(1)->GetFirstSystemInfo(&info), 1);
    }
    EXPECT_EQ(VelkClient_I_GetWaitingMessageCount(), 0);
}

TEST_F(ScriptedEngineTest, CommandsFromSeveralThreadsEachGetTheirAnswer) {
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

// The engine dies or is not the one launched.  A dead engine leaves its FIFO;
// that is not the client's to remove.  Runs last: it makes this process a
// subreaper.
class EngineLossTest : public ScriptedEngineTest {
  protected:
    void SetUp() override {
        BecomeSubreaper();
        ScriptedEngineTest::SetUp();
    }
    void TearDown() override {
        StopEnvironment(environment_);
        engine_.reset();
        unlink(sandbox_->BrokerFifo().c_str());
        ScriptedEngineTest::TearDown();
    }
};

// A command the engine dies on, and the call that sends it.
struct LossCase {
    const char* dieOn;
    std::function<int(ScriptedEngineTest&)> call;
};

class CommandLossTest : public EngineLossTest, public ::testing::WithParamInterface<LossCase> {};

TEST_P(CommandLossTest, WaitEndsWithFailureOnceTheEngineIsGone) {
    // An engine found running: the client knows no process of it, only its
    // broker FIFO.  The rescan alone would wait 600 s for its reply.
    StartOwnEngine({std::string("VELK_SCRIPTED_DIE_ON=") + GetParam().dieOn});
    ASSERT_EQ(environment_->Start(), 0);
    EXPECT_EQ(GetParam().call(*this), 1);
    EXPECT_TRUE(engine_->Wait(10000).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandLossTest,
    ::testing::Values(LossCase{"RESCAN_DEVICES#1",
                               [](ScriptedEngineTest& t) {
                                   return t.environment_->RescanDevices();
                               }},
                      LossCase{"SYSINFO#1",
                               [](ScriptedEngineTest& t) {
                                   CDevice::CSystemInfo* info = nullptr;
                                   return t.DeviceAt(0)->GetFirstSystemInfo(&info);
                               }},
                      LossCase{"VALIDATE_TEST_PARAMETERS#1",
                               [](ScriptedEngineTest& t) { return t.Count()->ApplyValue("5"); }}));

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
    StopProcess(winner);
}

}  // namespace
