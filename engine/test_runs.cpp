#include "test_runs.h"

#include <signal.h>
#include <unistd.h>

#include "engine_messages.h"
#include "markup_text.h"
#include "number_text.h"
#include "tracing.h"

namespace velk::engine {
namespace {

constexpr std::string_view kBxiCommandType = "BXI_COMMAND";
constexpr std::string_view kUnknownProcess = "<RESULT>ERROR</RESULT>";

int Seconds(int milliseconds) {
    return (milliseconds + 999) / 1000;
}

// An event's parts.  Module texts are inserted unescaped and may hold stray
// markup, so the text is taken as everything between the first "<TEXT>" and
// the last "</TEXT>", and the other fields are read around it.
struct EventParts {
    std::string type;
    std::string processId;
    std::optional<std::string> text;
    std::optional<int> eventCode;
    std::optional<int> timeout;
};

EventParts ReadEvent(const std::string& data) {
    EventParts parts;
    std::string::size_type textStart = data.find("<TEXT>");
    std::string::size_type textEnd = data.rfind("</TEXT>");
    std::string head = data;
    std::string tail;
    if (textStart != std::string::npos && textEnd != std::string::npos && textEnd >= textStart) {
        head = data.substr(0, textStart);
        parts.text = data.substr(textStart + 6, textEnd - textStart - 6);
        tail = data.substr(textEnd + 7);
    }
    parts.type = FieldOf(head, "EVENT/TYPE").value_or("");
    parts.processId = FieldOf(head, "EVENT/TESTPROCESSID").value_or("");
    if (std::optional<std::string> code = FieldOf("<EVENT>" + tail, "EVENT/EVENTCODE")) {
        parts.eventCode = ParseInt(*code);
    }
    if (std::optional<std::string> timeout = FieldOf(data, "EVENT/TIMEOUT_VALUE")) {
        parts.timeout = ParseInt(*timeout);
    }
    return parts;
}

}  // namespace

TestRuns::TestRuns(const EngineSettings& settings)
    : settings_(settings), idPrefix_(std::to_string(static_cast<long>(getpid())) + "-") {}

std::string TestRuns::IdOf(std::uint64_t number) const {
    return idPrefix_ + std::to_string(number);
}

TestRun* TestRuns::Find(const std::string& id) const {
    auto found = runs_.find(id);
    return found != runs_.end() && !found->second.released ? found->second.run.get() : nullptr;
}

TestRun* TestRuns::RunOf(const ModuleLaunch& launch) const {
    if (launch.purpose != LaunchPurpose::kRun) {
        return nullptr;
    }
    auto found = runs_.find(IdOf(launch.owner));
    return found != runs_.end() ? found->second.run.get() : nullptr;
}

bool TestRuns::DeviceBusy(const std::string& hwLocator) const {
    for (const auto& [id, entry] : runs_) {
        if (entry.run->Active() && entry.run->Location().hwLocator == hwLocator) {
            return true;
        }
    }
    return false;
}

std::string TestRuns::Start(const TestCommand& command, const DeviceList& list,
                            ModuleLaunches& launches, const ModuleLaunchCommon& common) {
    const ModuleDevices* module = list.FindModuleById(command.moduleId);
    if (module == nullptr) {
        return ErrorBody("unknown module " + command.moduleId);
    }
    const TestDefinition* test = module->module->definition.Test(command.test);
    const ModuleDevice* device = DeviceList::FindDevice(*module, command.deviceId);
    if (test == nullptr) {
        return ErrorBody("unknown test " + std::to_string(command.test));
    }
    if (device == nullptr) {
        return ErrorBody("unknown device " + std::to_string(command.deviceId));
    }
    if (!device->Supports(command.test)) {
        return ErrorBody("the test does not apply to the device");
    }
    if (DeviceBusy(device->hwLocator)) {
        return ResultBody("DEVICE_IN_USE");
    }
    std::uint64_t number = nextNumber_++;
    std::string id = IdOf(number);
    RunLaunch run{command.deviceId, command.test, id, command.percent, command.parameters};
    ModuleLaunchCommon arguments = common;
    arguments.definitionsFile = module->module->definitionsFile;
    std::string error;
    ModuleLaunch* launch = launches.Start(
        LaunchPurpose::kRun, number, module->module,
        [&](const std::string& reference) {
            arguments.reference = reference;
            return RunArguments(arguments, run);
        },
        error);
    if (launch == nullptr) {
        return ErrorBody(error);
    }
    TestRun::Where where{module->module, command.test, command.deviceId, device->hwLocator};
    runs_[id].run = std::make_unique<TestRun>(
        id, std::move(where), launch->Pid(), test->timeoutSeconds,
        RunLogLimits{settings_.logLimit, settings_.logBytes}, Clock::now());
    VTRACE(VELK_TRACE_DE, "run %s: %s test %d on %s\n", id.c_str(), module->module->name.c_str(),
           command.test, device->hwLocator.c_str());
    return ResultBody("OK") + Element("TESTPROCESSID", id);
}

std::string TestRuns::Status(const std::string& id) const {
    TestRun* run = Find(id);
    return run != nullptr ? run->StatusBody() : std::string(kUnknownProcess);
}

void TestRuns::SendStop(TestRun& run, ModuleLaunches& launches, ComponentContext& context) {
    ModuleLaunch* launch = launches.FindByPid(run.Pid());
    if (launch == nullptr || !launch->Connected()) {
        return;  // sent when the module announces itself
    }
    std::string message =
        BuildNotice(launch->clientPid, kBxiCommandType, Element("BXICOMMANDTYPE", "STOPTESTING"));
    if (message.empty() || !context.SendToClient(launch->clientPid, message)) {
        VTRACE(VELK_TRACE_DE, "could not ask run %s to stop\n", run.Id().c_str());
    }
}

void TestRuns::RequestStop(TestRun& run, ModuleLaunches& launches, ComponentContext& context) {
    if (!run.Active() || run.StopPending()) {
        return;
    }
    run.StopRequested(Clock::now() + std::chrono::milliseconds(settings_.stopGraceMs));
    SendStop(run, launches, context);
}

std::string TestRuns::Stop(const std::string& id, ModuleLaunches& launches,
                           ComponentContext& context) {
    TestRun* run = Find(id);
    if (run == nullptr) {
        return std::string(kUnknownProcess);
    }
    RequestStop(*run, launches, context);
    return ResultBody("OK");
}

std::string TestRuns::Free(const std::string& id, ModuleLaunches& launches,
                           ComponentContext& context) {
    auto found = runs_.find(id);
    if (found == runs_.end() || found->second.released) {
        return std::string(kUnknownProcess);
    }
    TestRun& run = *found->second.run;
    if (run.Active() || launches.FindByPid(run.Pid()) != nullptr) {
        // Its module still runs: stop it, and keep the run (unaddressable)
        // until the process has ended, so that its device stays in use.
        RequestStop(run, launches, context);
        found->second.released = true;
    } else {
        runs_.erase(found);
    }
    std::erase(endedOrder_, id);
    return ResultBody("OK");
}

std::optional<std::vector<LogItem>> TestRuns::Messages(const std::string& id) const {
    TestRun* run = Find(id);
    if (run == nullptr) {
        return std::nullopt;
    }
    return run->Log().Retrieval();
}

void TestRuns::Announced(const ModuleLaunch& launch, ComponentContext& context) {
    TestRun* run = RunOf(launch);
    if (run == nullptr) {
        return;
    }
    run->Announced();
    if (run->StopPending()) {
        std::string message = BuildNotice(launch.clientPid, kBxiCommandType,
                                          Element("BXICOMMANDTYPE", "STOPTESTING"));
        context.SendToClient(launch.clientPid, message);
    }
}

void TestRuns::Event(const ModuleLaunch& launch, const std::string& data,
                     ComponentContext& context) {
    TestRun* run = RunOf(launch);
    EventParts event = ReadEvent(data);
    if (run == nullptr || event.processId != run->Id()) {
        VTRACE(VELK_TRACE_DE, "dropped an event of pid %ld for %s\n",
               static_cast<long>(launch.Pid()), event.processId.c_str());
        return;
    }
    run->Announced();
    Clock::time_point now = Clock::now();
    const std::string text = event.text.value_or("");
    if (event.type == "PROGRESS") {
        run->Progress(text);
    } else if (event.type == "PERCENTDONE") {
        run->PercentDone(ParseInt(text).value_or(run->Percent()));
    } else if (event.type == "INFO" || event.type == "WARN" || event.type == "ERROR") {
        run->AddLogItem(event.type, text, event.eventCode.value_or(-1));
    } else if (event.type == "SET_TIMEOUT") {
        run->SetTimeout(event.timeout.value_or(0), now);
    } else if (event.type == "CLEAR_TIMEOUT") {
        run->RestartTimeout(now);
    } else if (event.type == "GET_TIMEOUT") {
        std::string body = Element("BXICOMMANDTYPE", "SENDINGTIMEOUT") +
                           Element("TIMEOUT_VALUE", std::to_string(run->TimeoutSeconds()));
        std::uint32_t module =
            launch.Connected() ? launch.clientPid : static_cast<std::uint32_t>(launch.Pid());
        context.SendToClient(module, BuildNotice(module, kBxiCommandType, body));
    } else {
        VTRACE(VELK_TRACE_DE, "ignored an event of type %s\n", event.type.c_str());
    }
}

void TestRuns::ResultNotice(const ModuleLaunch& launch, const std::string& data) {
    TestRun* run = RunOf(launch);
    std::optional<std::string> result = FieldOf(data, "TESTRESULT");
    std::optional<std::string> processId = FieldOf(data, "TESTPROCESSID");
    if (run == nullptr || !result || processId.value_or("") != run->Id()) {
        return;
    }
    bool wasActive = run->Active();
    run->Result(FinalResultForName(*result));
    if (wasActive) {
        Ended(*run);
    }
}

void TestRuns::LaunchEnded(const ModuleLaunch& launch) {
    if (launch.purpose != LaunchPurpose::kRun) {
        return;
    }
    auto found = runs_.find(IdOf(launch.owner));
    if (found == runs_.end()) {
        return;
    }
    TestRun& run = *found->second.run;
    bool wasActive = run.Active();
    run.ProcessEnded(*launch.process->Status());
    if (found->second.released) {
        runs_.erase(found);
    } else if (wasActive) {
        Ended(run);
    }
}

void TestRuns::NeverConnected(ModuleLaunch& launch) {
    TestRun* run = RunOf(launch);
    launch.process->Signal(SIGKILL);
    if (run != nullptr && run->Active()) {
        run->NeverConnected(Seconds(settings_.connectTimeoutMs));
        Ended(*run);
    }
}

void TestRuns::Kill(TestRun& run, ModuleLaunches& launches) {
    if (ModuleLaunch* launch = launches.FindByPid(run.Pid())) {
        launch->process->Signal(SIGKILL);
    }
    run.Killed(Seconds(settings_.stopGraceMs));
    Ended(run);
}

void TestRuns::Tick(Clock::time_point now, ModuleLaunches& launches, ComponentContext& context) {
    std::vector<TestRun*> active;
    for (auto& [id, entry] : runs_) {
        if (entry.run->Active()) {
            active.push_back(entry.run.get());
        }
    }
    for (TestRun* run : active) {
        if (run->TimeoutPassed(now)) {
            VTRACE(VELK_TRACE_DE, "run %s exceeded its time-out\n", run->Id().c_str());
            run->TimedOut(now + std::chrono::milliseconds(settings_.stopGraceMs));
            SendStop(*run, launches, context);
        } else if (run->StopDeadlinePassed(now)) {
            VTRACE(VELK_TRACE_DE, "run %s did not stop in time\n", run->Id().c_str());
            Kill(*run, launches);
        }
    }
}

void TestRuns::Ended(const TestRun& run) {
    auto found = runs_.find(run.Id());
    if (found == runs_.end() || found->second.released) {
        return;
    }
    endedOrder_.push_back(run.Id());
    while (endedOrder_.size() > settings_.keptEndedRuns) {
        std::string oldest = endedOrder_.front();
        endedOrder_.pop_front();
        auto entry = runs_.find(oldest);
        if (entry != runs_.end() && !entry->second.run->Active()) {
            // Its module may still be shutting down; the launch table holds
            // the process.
            runs_.erase(entry);
        }
    }
}

std::optional<RunningInstance> TestRuns::Running(const ModuleEntry& module, unsigned did,
                                                 int test) const {
    for (const auto& [id, entry] : runs_) {
        const TestRun& run = *entry.run;
        if (!entry.released && run.Active() && run.Location().module->name == module.name &&
            run.Location().deviceId == did && run.Location().test == test) {
            return RunningInstance{run.Id(), static_cast<int>(run.State()), run.Percent()};
        }
    }
    return std::nullopt;
}

}  // namespace velk::engine
