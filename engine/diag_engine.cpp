#include "diag_engine.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>

#include "broker_options.h"
#include "device_list_reply.h"
#include "diag_commands.h"
#include "markup_text.h"
#include "message-protocol.h"
#include "process-helpers.h"
#include "tracing.h"

namespace velk::engine {
namespace {

constexpr int kShutdownGraceMs = 500;
constexpr std::string_view kEnumComplete = "ENUM_COMPLETE";
constexpr std::string_view kStartupElement = "<STARTUP>";

std::string ArgumentAfterColon(const std::string& command) {
    std::string::size_type colon = command.find(':');
    return colon == std::string::npos ? std::string() : command.substr(colon + 1);
}

}  // namespace

DiagEngine::DiagEngine(const EngineSettings& settings)
    : settings_(settings),
      enumeration_(settings.binDirectory, settings.enumerateTimeoutMs),
      runs_(settings),
      sysinfo_(settings.sysinfoTimeoutMs),
      validations_(settings.validateTimeoutMs) {}

DiagEngine::~DiagEngine() = default;

std::string_view DiagEngine::Destination() const {
    return VELK_MSG_TO_DIAGENGINE;
}

void DiagEngine::Start(ComponentContext& context) {
    if (context.Options().trace) {
        VelkSetTracingType(VELK_TRACE_DE, 1);
    }
    std::string pipeDirectory = VelkGetPipeDirectory();
    common_.brokerFifo = BrokerFifoPath(pipeDirectory, context.Options(), getpid());
    common_.trace = context.Options().trace;
    launches_ = std::make_unique<ModuleLaunches>(pipeDirectory, settings_.connectTimeoutMs);
    VTRACE(VELK_TRACE_DE, "diagnostic engine: modules in %s\n", settings_.binDirectory.c_str());
    if (!context.Options().clientDrivenEnumeration) {
        RequestEnumeration({}, nullptr, context);
    }
}

void DiagEngine::HandleMessage(const std::string& message, ComponentContext& context) {
    if (!launches_) {
        Start(context);  // a broker that did not start its components
    }
    ForgetDepartedClients();
    IncomingMessage incoming = ReadIncoming(message);
    if (incoming.type == VELK_MSG_TYPE_DE_COMMAND) {
        Command(incoming, context);
    } else if (incoming.type == VELK_MSG_TYPE_DE_EVENT) {
        if (ModuleLaunch* launch = LaunchOf(incoming.from)) {
            runs_.Event(*launch, incoming.data, context);
        }
    } else if (incoming.type == "DE_NOTIFY") {
        Notify(incoming, context);
    } else if (incoming.type == VELK_MSG_TYPE_DE_ENUMDATA) {
        if (ModuleLaunch* launch = LaunchOf(incoming.from)) {
            enumeration_.DeviceData(*launch, incoming.data);
            AdvanceEnumeration(context);
        }
    } else if (incoming.type == "SYSINFO_RETURNED") {
        if (ModuleLaunch* launch = LaunchOf(incoming.from)) {
            sysinfo_.Returned(*launch, incoming);
            SendPendingAnswers(context);
        }
    } else if (incoming.data.find(kStartupElement) != std::string::npos) {
        Startup(incoming, context);
    } else if (incoming.type != VELK_MSG_TYPE_TRANSACTION_RESPONSE) {
        VTRACE(VELK_TRACE_DE, "ignored a message of type %s from %u\n", incoming.type.c_str(),
               static_cast<unsigned>(incoming.from));
    }
}

ModuleLaunch* DiagEngine::LaunchOf(std::uint32_t clientPid) {
    if (ModuleLaunch* launch = launches_->FindByClient(clientPid)) {
        return launch;
    }
    return launches_->FindByPid(static_cast<pid_t>(clientPid));
}

void DiagEngine::Startup(const IncomingMessage& message, ComponentContext& context) {
    // Matched by the reference the module was given; sysinfo mode announces
    // itself as "SYSINFO", and a module given no reference as "DE_NOTIFY":
    // those are matched by their process id.
    ModuleLaunch* launch = launches_->FindByReference(message.type);
    if (launch == nullptr) {
        launch = launches_->FindByPid(static_cast<pid_t>(message.from));
    }
    if (launch == nullptr || launch->Connected() || message.from == 0) {
        VTRACE(VELK_TRACE_DE, "ignored a startup notice %s from %u\n", message.type.c_str(),
               static_cast<unsigned>(message.from));
        return;
    }
    launches_->MarkConnected(*launch, message.from);
    if (launch->purpose == LaunchPurpose::kRun) {
        runs_.Announced(*launch, context);
    }
}

void DiagEngine::Notify(const IncomingMessage& message, ComponentContext& context) {
    if (message.data.find(kStartupElement) != std::string::npos) {
        Startup(message, context);
        return;
    }
    ModuleLaunch* launch = LaunchOf(message.from);
    if (launch == nullptr) {
        return;
    }
    if (message.data == "SHUTDOWN") {
        launch->shutdownNoticed = true;
    } else if (message.data.find("<TESTRESULT>") != std::string::npos) {
        runs_.ResultNotice(*launch, message.data);
    }
}

void DiagEngine::Reply(std::uint32_t client, std::uint32_t requestId, const std::string& body,
                       ComponentContext& context) {
    std::string response = BuildResponse(client, requestId, body);
    if (response.empty() || !context.SendToClient(client, response)) {
        VTRACE(VELK_TRACE_DE, "could not answer request %u of %u\n",
               static_cast<unsigned>(requestId), static_cast<unsigned>(client));
    }
}

void DiagEngine::Command(const IncomingMessage& request, ComponentContext& context) {
    if (request.from == 0 || !request.id) {
        VTRACE(VELK_TRACE_DE, "dropped a command without FROM or ID: %s\n", request.data.c_str());
        return;
    }
    const std::string& command = request.data;
    std::string_view word = CommandWord(command);
    std::string argument = ArgumentAfterColon(command);
    auto reply = [&](const std::string& body) { Reply(request.from, *request.id, body, context); };

    if (word == "LIST_DEVICES_AND_TESTS") {
        if (!haveList_ && (enumeration_.InProgress() || enumeration_.Pending())) {
            listWaiters_.push_back(EnumerationWaiter{request.from, *request.id});
            return;
        }
        reply(DevicesAndTestsBody(list_, Running()));
    } else if (word == "RESCAN_DEVICES") {
        RequestEnumeration({}, &request, context);
    } else if (word == "SCAN_MODULES") {
        RequestEnumeration(ScanModuleNames(std::string_view(command).substr(word.size())), &request,
                           context);
    } else if (word == "LIST_DEVICES" || word == "LIST_SYSINFO_DEVICES") {
        if (command.find(':') == std::string::npos) {
            reply(AllModuleDevicesBody(list_));
        } else if (const ModuleDevices* module = list_.FindModuleByName(argument)) {
            reply(ModuleDevicesBody(*module));
        } else {
            reply(ErrorBody("unknown module " + argument));
        }
    } else if (word == "SYSINFO") {
        std::optional<std::string> answer =
            sysinfo_.Start(request, argument, list_, *launches_, common_);
        if (answer) {
            reply(*answer);
        }
    } else if (word == "VALIDATE_TEST_PARAMETERS") {
        std::optional<TestCommand> parsed = TestCommand::Parse(argument);
        std::optional<std::string> answer =
            parsed ? validations_.Start(request, *parsed, list_, *launches_, common_)
                   : Validations::EmptyResults("bad VALIDATE_TEST_PARAMETERS command");
        if (answer) {
            reply(*answer);
        }
    } else if (word == "START_TEST") {
        std::optional<TestCommand> parsed = TestCommand::Parse(argument);
        reply(parsed ? runs_.Start(*parsed, list_, *launches_, common_)
                     : ErrorBody("bad START_TEST command"));
    } else if (word == "STOP_TEST" || word == "GET_TEST_STATUS" || word == "FREE_TEST_PROCESS" ||
               word == "GET_TEST_MESSAGES") {
        TestProcessCommand(word, request, argument, context);
    } else {
        reply(ErrorBody("unknown command " + std::string(word)));
    }
}

void DiagEngine::TestProcessCommand(std::string_view word, const IncomingMessage& request,
                                    const std::string& id, ComponentContext& context) {
    if (word == "STOP_TEST") {
        Reply(request.from, *request.id, runs_.Stop(id, *launches_, context), context);
    } else if (word == "GET_TEST_STATUS") {
        Reply(request.from, *request.id, runs_.Status(id), context);
    } else if (word == "FREE_TEST_PROCESS") {
        Reply(request.from, *request.id, runs_.Free(id, *launches_, context), context);
    } else {
        std::optional<std::vector<LogItem>> items = runs_.Messages(id);
        if (!items) {
            Reply(request.from, *request.id, ResultBody("ERROR"), context);
            return;
        }
        // The answer first, then each item as a message of its own, then the
        // item that marks the end.
        Reply(request.from, *request.id, ResultBody("OK"), context);
        items->push_back(RunLog::LastItemMarker());
        for (const LogItem& item : *items) {
            std::string message =
                BuildNotice(request.from, VELK_MSG_TYPE_DE_RETRIEVED_TEST_MESSAGE, item.Element());
            if (message.empty() || !context.SendToClient(request.from, message)) {
                break;
            }
        }
    }
}

void DiagEngine::RequestEnumeration(std::vector<std::string> names, const IncomingMessage* request,
                                    ComponentContext& context) {
    std::optional<EnumerationWaiter> waiter;
    if (request != nullptr) {
        waiter = EnumerationWaiter{request->from, *request->id};
    }
    enumeration_.Request(std::move(names), waiter);
    AdvanceEnumeration(context);
}

RunningLookup DiagEngine::Running() const {
    return [this](const ModuleEntry& module, unsigned did, int test) {
        return runs_.Running(module, did, test);
    };
}

bool DiagEngine::IsModuleClient(std::uint32_t pid) {
    return LaunchOf(pid) != nullptr;
}

void DiagEngine::AdvanceEnumeration(ComponentContext& context) {
    for (;;) {
        if (std::optional<Enumeration::Finished> finished = enumeration_.TakeFinished()) {
            list_ = std::move(finished->list);
            haveList_ = true;
            context.ReportEnumerationComplete();
            VTRACE(VELK_TRACE_DE, "enumeration complete: %zu devices\n", list_.DeviceCount());
            for (std::uint32_t client : context.ConnectedClients()) {
                if (!IsModuleClient(client)) {
                    context.SendToClient(
                        client, BuildNotice(client, VELK_MSG_TYPE_DE_ENUM_NOTIFY, kEnumComplete));
                }
            }
            std::string counted =
                ResultBody("OK") + Element("NUMDEVICES", std::to_string(list_.DeviceCount()));
            for (const EnumerationWaiter& waiter : finished->waiters) {
                Reply(waiter.client, waiter.requestId, counted, context);
            }
            std::vector<EnumerationWaiter> listWaiters = std::move(listWaiters_);
            listWaiters_.clear();
            if (!listWaiters.empty()) {
                std::string body = DevicesAndTestsBody(list_, Running());
                for (const EnumerationWaiter& waiter : listWaiters) {
                    Reply(waiter.client, waiter.requestId, body, context);
                }
            }
        }
        if (enumeration_.InProgress() || !enumeration_.Pending()) {
            return;
        }
        enumeration_.StartNext(*launches_, common_);
    }
}

void DiagEngine::SendPendingAnswers(ComponentContext& context) {
    for (PendingAnswer& answer : sysinfo_.TakeFinished()) {
        Reply(answer.client, answer.requestId, answer.body, context);
    }
    for (PendingAnswer& answer : validations_.TakeUnanswered()) {
        Reply(answer.client, answer.requestId, answer.body, context);
    }
}

void DiagEngine::ClientLeft(std::uint32_t pid, ComponentContext& context) {
    departed_.push_back(pid);
}

void DiagEngine::ForgetDepartedClients() {
    std::vector<std::uint32_t> departed = std::move(departed_);
    departed_.clear();
    for (std::uint32_t pid : departed) {
        enumeration_.ClientLeft(pid);
        sysinfo_.ClientLeft(pid);
        std::erase_if(listWaiters_,
                      [pid](const EnumerationWaiter& waiter) { return waiter.client == pid; });
    }
}

void DiagEngine::ChildEnded(pid_t pid, int status, ComponentContext& context) {
    if (!launches_) {
        return;
    }
    std::optional<ModuleLaunch> launch = launches_->Ended(pid, status);
    if (!launch) {
        return;
    }
    enumeration_.LaunchEnded(*launch);
    runs_.LaunchEnded(*launch);
    sysinfo_.LaunchEnded(*launch);
    validations_.LaunchEnded(*launch);
    AdvanceEnumeration(context);
    SendPendingAnswers(context);
}

void DiagEngine::GiveUpOnSilentModules(Clock::time_point now) {
    for (ModuleLaunch* launch : launches_->Overdue(now)) {
        VTRACE(VELK_TRACE_DE, "%s (pid %ld) did not announce itself in time\n",
               launch->module->name.c_str(), static_cast<long>(launch->Pid()));
        // Once: the process is reaped later and handled as ended.
        launch->connectBy = Clock::time_point::max();
        if (launch->purpose == LaunchPurpose::kRun) {
            runs_.NeverConnected(*launch);
        } else {
            launch->process->Signal(SIGKILL);
        }
    }
}

void DiagEngine::Tick(ComponentContext& context) {
    if (!launches_) {
        return;
    }
    ForgetDepartedClients();
    Clock::time_point now = Clock::now();
    GiveUpOnSilentModules(now);
    enumeration_.Tick(*launches_, now);
    runs_.Tick(now, *launches_, context);
    sysinfo_.Tick(now, *launches_);
    validations_.Tick(now, *launches_);
    AdvanceEnumeration(context);
    SendPendingAnswers(context);
}

void DiagEngine::Stop(ComponentContext& context) {
    if (launches_) {
        launches_->StopAll(kShutdownGraceMs);
    }
}

}  // namespace velk::engine
