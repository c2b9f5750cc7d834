#include "RunCommand.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <set>
#include <thread>

#include "Catalog.h"
#include "ExitStatus.h"
#include "MessageImp.h"
#include "RunView.h"
#include "TestRunImp.h"
#include "VelkCore.h"

namespace velkcli {

using namespace VELKCORE;

namespace {

// How often the scenario ticks, and how often velkcli looks at the run.
constexpr long kTickMs = 250;
constexpr int kPollMs = 200;
// Log messages are fetched less often than progress: each fetch is a round
// trip that returns the whole log so far.
constexpr int kMessagePollMs = 1000;
// After a stop, how long the run gets to end in the engine (the engine gives
// a module 5 s before it kills it).
constexpr int kStopWaitMs = 20000;

volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void NoteInterrupt(int) {
    gInterrupted = 1;
}

void Sleep(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

int Fail(int status, const std::string& reason) {
    std::fprintf(stderr, "velkcli: %s\n", reason.c_str());
    return status;
}

bool Final(CScenario::State state) {
    return state != CScenario::IDLE && state != CScenario::RUNNING &&
           state != CScenario::DEVICEBUSY;
}

CDevice* FindDevice(const CTestEnvironment& environment, const std::string& locator) {
    unsigned int count = 0;
    environment.GetDeviceArraySize(count);
    for (unsigned int i = 0; i < count; ++i) {
        CDevice* device = nullptr;
        environment.GetDeviceArrayElement(i, &device);
        std::string text;
        if (device != nullptr && device->GetHWLocator(text) == 0 && text == locator) {
            return device;
        }
    }
    return nullptr;
}

CTestParameter* FindParameter(const CTest& test, const std::string& id) {
    unsigned int count = 0;
    test.GetParameterArraySize(count);
    for (unsigned int i = 0; i < count; ++i) {
        CTestParameter* parameter = nullptr;
        std::string parameterId;
        if (test.GetParameterArrayElement(i, &parameter) == 0 &&
            parameter->GetId(parameterId) == 0 && parameterId == id) {
            return parameter;
        }
    }
    return nullptr;
}

std::string Refusal(CTestParameter& parameter, CTestParameter::State state) {
    std::string text = CTestParameter::StateToString(state);
    std::vector<std::string> limits;
    bool has = false;
    std::string value;
    if (parameter.HasMinVal(has) == 0 && has && parameter.GetMinVal(value) == 0) {
        limits.push_back("minimum " + value);
    }
    if (parameter.HasMaxVal(has) == 0 && has && parameter.GetMaxVal(value) == 0) {
        limits.push_back("maximum " + value);
    }
    for (size_t i = 0; i < limits.size(); ++i) {
        text += (i == 0 ? " (" : ", ") + limits[i];
    }
    return text + (limits.empty() ? "" : ")");
}

MessageRecord Record(const CMessage& message) {
    MessageRecord record;
    record.sequence = message.Imp().GetSequenceNo();
    message.GetTime(record.time);
    CMessage::Severity severity = CMessage::INVALID;
    message.GetSeverity(severity);
    record.severity = CMessage::SeverityCodeToSeverityString(severity);
    int code = -1;
    message.GetEventCode(code);
    if (code >= 0) {
        record.eventCode = code;
    }
    message.GetMessage(record.text);
    return record;
}

// The run's messages past the first `known` ones (asks the engine for more
// when the run still has its process).
std::vector<MessageRecord> NewMessages(CTestRun& run, size_t known) {
    std::vector<MessageRecord> fresh;
    CMessage* message = nullptr;
    size_t index = 0;
    for (int result = run.GetFirstMessage(&message); result == 0 && message != nullptr;
         result = run.GetNextMessage(&message), ++index) {
        if (index >= known) {
            fresh.push_back(Record(*message));
        }
    }
    return fresh;
}

// Watches one run's messages and progress for the view.
struct Watched {
    CTestRun* run = nullptr;
    size_t shownMessages = 0;
    std::chrono::steady_clock::time_point lastFetch{};
};

enum class Severity { PASSED, STOPPED, COULD_NOT_RUN, FAILED };

Severity Judge(CTestRun::Result result, bool known) {
    if (!known) {
        return Severity::STOPPED;
    }
    switch (result) {
        case CTestRun::PASS:
            return Severity::PASSED;
        case CTestRun::DISCONTINUED:
            return Severity::STOPPED;
        case CTestRun::SETUPERROR:
        case CTestRun::DEVICEBUSY:
        case CTestRun::INSUFFICIENTPRIVELEGE:
        case CTestRun::NOTAPPLICABLE:
        case CTestRun::BADPARAMS:
        case CTestRun::NOMEDIA:
        case CTestRun::NODEVICE:
            return Severity::COULD_NOT_RUN;
        default:
            return Severity::FAILED;
    }
}

class Runner {
  public:
    Runner(CTestEnvironment& environment, const RunRequest& request, CNLS::LanguageId language)
        : environment_(environment),
          request_(request),
          language_(language),
          view_(stdout, request.terminal && !request.json) {}

    int Run();

  private:
    int Prepare();
    void Watch();
    void ShowProgress(Watched& watched);
    void ShowMessages(Watched& watched, bool now);
    void AwaitStoppedRun();
    int Conclude();
    void Say(const std::string& line) {
        if (!request_.json) {
            view_.Line(line);
        }
    }

    CTestEnvironment& environment_;
    const RunRequest& request_;
    CNLS::LanguageId language_;
    ProgressView view_;
    CTest* test_ = nullptr;
    CScenario* scenario_ = nullptr;
    CCycle* cycle_ = nullptr;
    CTestRun* firstRun_ = nullptr;
    bool interrupted_ = false;
    std::map<CTestRun*, size_t> shown_;
    RunReport report_;
};

int Runner::Prepare() {
    CDevice* device = FindDevice(environment_, request_.device);
    if (device == nullptr) {
        return Fail(kExitNotFound, "no device with hardware locator '" + request_.device + "'");
    }
    std::vector<DeviceTests> listed = CollectTests(environment_, request_.device, language_);
    if (listed.empty()) {
        return Fail(kExitNotFound, "no device with hardware locator '" + request_.device + "'");
    }
    const std::vector<TestInfo>& tests = listed.front().tests;
    for (size_t t = 0; t < tests.size() && test_ == nullptr; ++t) {
        const TestInfo& info = tests[t];
        if (info.cimName == request_.test || info.name == request_.test ||
            info.moduleId + ":" + std::to_string(info.index) == request_.test) {
            device->GetTestArrayElement(static_cast<unsigned int>(t), &test_);
            report_.test = info.cimName;
            report_.name = info.name;
        }
    }
    if (test_ == nullptr) {
        return Fail(kExitNotFound, "no test '" + request_.test + "' on device " + request_.device +
                                       " (velkcli tests --device " + request_.device +
                                       " lists them)");
    }
    // Values are judged by the engine before anything runs.
    for (const auto& [id, value] : request_.parameters) {
        CTestParameter* parameter = FindParameter(*test_, id);
        if (parameter == nullptr) {
            return Fail(kExitParameter, "test " + report_.test + " has no parameter '" + id + "'");
        }
        if (parameter->ApplyValue(value) != 0) {
            return Fail(kExitEngine, "the engine did not judge the value of parameter " + id);
        }
        CTestParameter::State state = CTestParameter::NOT_APPLIED;
        parameter->GetState(state);
        if (state != CTestParameter::VALID) {
            return Fail(kExitParameter, "value '" + value + "' of parameter " + id +
                                            " refused: " + Refusal(*parameter, state));
        }
    }
    report_.device = request_.device;
    report_.passes = request_.passes;
    report_.maxTimeSeconds = request_.maxTimeSeconds;
    report_.errorLimit = request_.errorLimit;
    try {
        scenario_ = environment_.AddScenario(nullptr);
        cycle_ = scenario_->AddCycle(nullptr);
        firstRun_ = cycle_->AddTest(test_, 0);
        cycle_->SetPasses(request_.passes);
        if (request_.maxTimeSeconds) {
            scenario_->SetMaxTime(*request_.maxTimeSeconds);
            cycle_->SetMaxTime(*request_.maxTimeSeconds);
        }
        if (request_.errorLimit) {
            scenario_->SetErrorLimit(*request_.errorLimit);
            cycle_->SetErrorLimit(*request_.errorLimit);
        }
    } catch (const std::exception& error) {
        return Fail(kExitUsage, error.what());
    }
    unsigned int count = 0;
    firstRun_->GetParameterArraySize(count);
    for (unsigned int i = 0; i < count; ++i) {
        CTestParameter* parameter = nullptr;
        firstRun_->GetParameterArrayElement(i, &parameter);
        ParameterRecord record;
        CTestParameter::State state = CTestParameter::NOT_APPLIED;
        parameter->GetId(record.id);
        parameter->GetState(state);
        record.applied = state != CTestParameter::NOT_APPLIED;
        if (record.applied) {
            parameter->GetValue(record.value);
        } else {
            parameter->GetDefaultValue(record.value);
        }
        report_.parameters.push_back(std::move(record));
    }
    return kExitOk;
}

void Runner::ShowProgress(Watched& watched) {
    if (request_.json) {
        return;
    }
    int percent = -1;
    std::string text;
    if (watched.run->GetPercentComplete(percent) != 0) {
        return;
    }
    if (watched.run->GetProgressInformation(text) != 0) {
        text.clear();
    }
    view_.Show(percent, text);
}

void Runner::ShowMessages(Watched& watched, bool now) {
    auto clock = std::chrono::steady_clock::now();
    if (!now && clock - watched.lastFetch < std::chrono::milliseconds(kMessagePollMs)) {
        return;
    }
    watched.lastFetch = clock;
    size_t& shown = shown_[watched.run];
    for (const MessageRecord& message : NewMessages(*watched.run, shown)) {
        Say(MessageLine(message));
        ++shown;
    }
}

void Runner::Watch() {
    Watched watched;
    for (;;) {
        if (Interrupted()) {
            interrupted_ = true;
            return;
        }
        CScenario::State state = scenario_->GetState();
        CTestRun* current = cycle_->GetCurrentTest();
        if (current != nullptr && current != watched.run) {
            if (watched.run != nullptr) {
                ShowMessages(watched, true);
            }
            watched = Watched{current, 0, {}};
            unsigned int pass = 0;
            current->GetPassCount(pass);
            if (request_.passes > 1 || pass > 0) {
                Say("pass " + std::to_string(pass + 1));
            }
        }
        if (watched.run != nullptr) {
            CTestRun::State runState = CTestRun::UNDEFINED;
            watched.run->GetState(runState);
            if (runState == CTestRun::RUNNING) {
                ShowProgress(watched);
            }
            ShowMessages(watched, runState == CTestRun::EXITED);
        }
        if (Final(state)) {
            return;
        }
        Sleep(kPollMs);
    }
}

void Runner::AwaitStoppedRun() {
    if (interrupted_) {
        Say("stopping the test...");
        scenario_->Stop();
    }
    CTestRun* current = cycle_->GetCurrentTest();
    if (current == nullptr) {
        return;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStopWaitMs);
    CTestRun::State state = CTestRun::UNDEFINED;
    while (current->GetState(state) == 0 && state != CTestRun::EXITED &&
           current->Imp()->HasProcess() && std::chrono::steady_clock::now() < deadline) {
        Sleep(kPollMs);
    }
    if (state != CTestRun::EXITED && current->Imp()->HasProcess()) {
        Say("the test did not end within " + std::to_string(kStopWaitMs / 1000) + " s");
    }
}

int Runner::Conclude() {
    view_.Clear();
    Severity worst = Severity::PASSED;
    bool any = false;
    for (CTestRun* run = cycle_->GetFirstTestRun(); run != nullptr;
         run = cycle_->GetNextTestRun()) {
        any = true;
        RunRecord record;
        run->GetPassCount(record.pass);
        run->GetProcessID(record.processId);
        CTestRun::Result result = CTestRun::INVALIDRESULT;
        bool known = run->GetResult(result) == 0;
        if (known) {
            record.result = CTestRun::TestResultToString(result);
        }
        int percent = -1;
        if (run->GetPercentComplete(percent) == 0 && percent >= 0) {
            record.percent = percent;
        }
        const size_t shown = shown_[run];
        for (const MessageRecord& message : NewMessages(*run, 0)) {
            if (record.messages.size() >= shown) {
                Say(MessageLine(message));
            }
            record.messages.push_back(message);
        }
        Severity severity = Judge(result, known);
        if (report_.runs.empty() || severity >= worst) {
            worst = severity;
            report_.result = record.result;
        }
        report_.runs.push_back(std::move(record));
    }
    CScenario::State state = scenario_->GetState();
    report_.scenarioState = CScenario::ScenarioStateToString(state);
    if (interrupted_) {
        report_.outcome = "stopped";
        report_.reason = "interrupted";
        report_.exitStatus = kExitStopped;
    } else if (state == CScenario::ERROR) {
        report_.outcome = "engine-trouble";
        report_.reason = "the engine stopped answering during the run";
        report_.exitStatus = kExitEngine;
    } else if (!any) {
        const CTestRunImp& run = *firstRun_->Imp();
        if (run.LastStartResult() == CTestRun::DEVICE_IN_USE) {
            report_.outcome = "could-not-run";
            report_.reason = "the device stayed busy until the maximum time";
            report_.exitStatus = kExitCouldNotRun;
        } else if (run.LastStartResult() == CTestRun::PARAMETERS_TOO_LONG) {
            report_.outcome = "could-not-run";
            report_.reason = "the parameter values are too long for the engine";
            report_.exitStatus = kExitParameter;
        } else {
            report_.outcome = "engine-trouble";
            report_.reason = "the engine did not start the test: " + run.StartRefusal();
            report_.exitStatus = kExitEngine;
        }
    } else {
        switch (worst) {
            case Severity::PASSED:
                report_.outcome = "passed";
                report_.exitStatus = kExitOk;
                break;
            case Severity::STOPPED:
                report_.outcome = "stopped";
                report_.reason = state == CScenario::TIMEDOUT ? "the maximum time was reached" : "";
                report_.exitStatus = kExitStopped;
                break;
            case Severity::COULD_NOT_RUN:
                report_.outcome = "could-not-run";
                report_.exitStatus = kExitCouldNotRun;
                break;
            case Severity::FAILED:
                report_.outcome = "failed";
                report_.exitStatus = kExitFailed;
                break;
        }
    }
    if (request_.json) {
        std::fputs(RunReportJson(report_).c_str(), stdout);
    } else {
        std::string line =
            "result: " + (report_.result.empty() ? std::string("-") : report_.result) + " (" +
            report_.outcome;
        line += report_.reason.empty() ? ")" : ": " + report_.reason + ")";
        std::printf("%s\n", line.c_str());
    }
    std::fflush(stdout);
    if (report_.exitStatus == kExitEngine && !request_.json) {
        std::fprintf(stderr, "velkcli: %s\n", report_.reason.c_str());
    }
    return report_.exitStatus;
}

int Runner::Run() {
    if (int status = Prepare(); status != kExitOk) {
        return status;
    }
    if (Interrupted()) {
        return Fail(kExitStopped, "interrupted before the test started");
    }
    Say("running " + report_.test + " on " + request_.device);
    try {
        scenario_->Start(true, kTickMs);
    } catch (const std::exception& error) {
        return Fail(kExitUsage, error.what());
    }
    Watch();
    // A run stopped by Ctrl-C, the maximum time or the error limit is still
    // ending in the engine: its final result comes once it has.
    AwaitStoppedRun();
    return Conclude();
}

}  // namespace

std::optional<std::pair<std::string, std::string>> SplitParameter(const std::string& text) {
    std::string::size_type equals = text.find('=');
    if (equals == std::string::npos || equals == 0) {
        return std::nullopt;
    }
    return std::make_pair(text.substr(0, equals), text.substr(equals + 1));
}

void CatchInterrupt() {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = NoteInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

bool Interrupted() {
    return gInterrupted != 0;
}

int RunTest(CTestEnvironment& environment, const RunRequest& request, CNLS::LanguageId language) {
    Runner runner(environment, request, language);
    return runner.Run();
}

}  // namespace velkcli
