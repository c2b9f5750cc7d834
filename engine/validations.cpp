#include "validations.h"

#include <signal.h>

#include "markup_text.h"
#include "tracing.h"

namespace velk::engine {

std::string Validations::EmptyResults(std::string_view reason) {
    std::string body = Element("PARAM_VALIDATION_RESULTS", "");
    return reason.empty() ? body : body + ErrorBody(reason);
}

std::optional<std::string> Validations::Start(const IncomingMessage& request,
                                              const TestCommand& command, const DeviceList& list,
                                              ModuleLaunches& launches,
                                              const ModuleLaunchCommon& common) {
    const ModuleDevices* module = list.FindModuleById(command.moduleId);
    if (module == nullptr) {
        return EmptyResults("unknown module " + command.moduleId);
    }
    if (module->module->definition.Test(command.test) == nullptr) {
        return EmptyResults("unknown test " + std::to_string(command.test));
    }
    if (DeviceList::FindDevice(*module, command.deviceId) == nullptr) {
        return EmptyResults("unknown device " + std::to_string(command.deviceId));
    }
    std::uint64_t number = nextNumber_++;
    ValidateLaunch validate{command.deviceId, command.test, request.from, *request.id,
                            command.parameters};
    ModuleLaunchCommon arguments = common;
    arguments.definitionsFile = module->module->definitionsFile;
    std::string error;
    if (launches.Start(
            LaunchPurpose::kValidate, number, module->module,
            [&](const std::string& reference) {
                arguments.reference = reference;
                return ValidateArguments(arguments, validate);
            },
            error) == nullptr) {
        return EmptyResults();
    }
    pending_[number] =
        Pending{PendingAnswer{request.from, *request.id, EmptyResults()}, Clock::now() + timeout_};
    return std::nullopt;
}

void Validations::LaunchEnded(const ModuleLaunch& launch) {
    if (launch.purpose != LaunchPurpose::kValidate) {
        return;
    }
    auto found = pending_.find(launch.owner);
    if (found == pending_.end()) {
        return;
    }
    if (!launch.shutdownNoticed) {
        unanswered_.push_back(std::move(found->second.answer));
    }
    pending_.erase(found);
}

void Validations::Tick(Clock::time_point now, ModuleLaunches& launches) {
    for (ModuleLaunch* launch : launches.WithPurpose(LaunchPurpose::kValidate)) {
        auto found = pending_.find(launch->owner);
        if (found == pending_.end() || now < found->second.deadline) {
            continue;
        }
        VTRACE(VELK_TRACE_DE, "%s (pid %ld) did not end its validation in time\n",
               launch->module->name.c_str(), static_cast<long>(launch->Pid()));
        // Reaped later and handled as ended; the request is settled now.
        launch->process->Signal(SIGKILL);
        if (!launch->shutdownNoticed) {
            PendingAnswer answer = std::move(found->second.answer);
            answer.body = EmptyResults("the module did not answer within " +
                                       std::to_string(timeout_.count()) + " ms");
            unanswered_.push_back(std::move(answer));
        }
        pending_.erase(found);
    }
}

std::vector<PendingAnswer> Validations::TakeUnanswered() {
    std::vector<PendingAnswer> answers = std::move(unanswered_);
    unanswered_.clear();
    return answers;
}

}  // namespace velk::engine
