#include "enumeration.h"

#include <signal.h>

#include <algorithm>

#include "tracing.h"

namespace velk::engine {

Enumeration::Enumeration(std::string binDirectory, int timeoutMs)
    : binDirectory_(std::move(binDirectory)), timeout_(timeoutMs) {}

void Enumeration::Request(std::vector<std::string> moduleNames,
                          std::optional<EnumerationWaiter> waiter) {
    // Requests waiting together become one enumeration of everything they
    // name; "all" absorbs any list.
    if (queue_.empty()) {
        queue_.push_back(Queued{});
        queue_.back().names = std::move(moduleNames);
    } else {
        Queued& queued = queue_.back();
        if (queued.names.empty() || moduleNames.empty()) {
            queued.names.clear();
        } else {
            queued.names.insert(queued.names.end(), moduleNames.begin(), moduleNames.end());
        }
    }
    if (waiter) {
        queue_.back().waiters.push_back(*waiter);
    }
}

void Enumeration::StartNext(ModuleLaunches& launches, const ModuleLaunchCommon& common) {
    if (session_ || queue_.empty()) {
        return;
    }
    Queued request = std::move(queue_.front());
    queue_.pop_front();
    Session session;
    session.serial = nextSerial_++;
    session.waiters = std::move(request.waiters);
    session.deadline = Clock::now() + timeout_;
    ModuleCatalog catalog = ModuleCatalog::Scan(binDirectory_);
    for (const ModulePtr& module : catalog.Modules()) {
        bool wanted =
            request.names.empty() ||
            std::any_of(request.names.begin(), request.names.end(),
                        [&](const std::string& name) { return ModuleStem(name) == module->stem; });
        if (wanted) {
            session.modules.push_back(ModuleState{module, -1, {}});
        }
    }
    VTRACE(VELK_TRACE_DE, "enumeration %llu of %zu modules\n",
           static_cast<unsigned long long>(session.serial), session.modules.size());
    session_ = std::move(session);
    for (ModuleState& state : session_->modules) {
        ModuleLaunchCommon arguments = common;
        arguments.definitionsFile = state.module->definitionsFile;
        std::string error;
        ModuleLaunch* launch = launches.Start(
            LaunchPurpose::kEnumerate, session_->serial, state.module,
            [&](const std::string& reference) {
                arguments.reference = reference;
                return EnumerateArguments(arguments);
            },
            error);
        if (launch != nullptr) {
            state.pid = launch->Pid();
        }
    }
    FinishIfDone();
}

void Enumeration::FinishIfDone() {
    if (!session_ || !AllDone()) {
        return;
    }
    std::vector<ModuleDevices> modules;
    for (ModuleState& state : session_->modules) {
        modules.push_back(ModuleDevices{state.module, std::move(state.devices)});
    }
    finished_ = Finished{DeviceList(std::move(modules)), std::move(session_->waiters)};
    session_.reset();
}

Enumeration::ModuleState* Enumeration::StateOf(const ModuleLaunch& launch) {
    if (!session_ || launch.purpose != LaunchPurpose::kEnumerate ||
        launch.owner != session_->serial) {
        return nullptr;
    }
    for (ModuleState& state : session_->modules) {
        if (state.pid == launch.Pid()) {
            return &state;
        }
    }
    return nullptr;
}

bool Enumeration::AllDone() const {
    return std::all_of(session_->modules.begin(), session_->modules.end(),
                       [](const ModuleState& state) { return state.pid < 0; });
}

void Enumeration::DeviceData(const ModuleLaunch& launch, const std::string& data) {
    ModuleState* state = StateOf(launch);
    if (state == nullptr) {
        return;
    }
    ParsedDevices parsed = ParseEnumerationData(data);
    VTRACE(VELK_TRACE_DE, "%s reported %zu devices (%u malformed)\n", state->module->name.c_str(),
           parsed.devices.size(), parsed.dropped);
    state->devices = std::move(parsed.devices);
    state->pid = -1;
    FinishIfDone();
}

void Enumeration::LaunchEnded(const ModuleLaunch& launch) {
    if (ModuleState* state = StateOf(launch)) {
        VTRACE(VELK_TRACE_DE, "%s ended without devices\n", state->module->name.c_str());
        state->pid = -1;
        FinishIfDone();
    }
}

void Enumeration::Tick(ModuleLaunches& launches, Clock::time_point now) {
    if (!session_) {
        return;
    }
    if (now >= session_->deadline) {
        for (ModuleState& state : session_->modules) {
            if (state.pid < 0) {
                continue;
            }
            VTRACE(VELK_TRACE_DE, "%s did not answer in time\n", state.module->name.c_str());
            if (ModuleLaunch* launch = launches.FindByPid(state.pid)) {
                launch->process->Signal(SIGKILL);
            }
            state.pid = -1;
        }
    }
    FinishIfDone();
}

std::optional<Enumeration::Finished> Enumeration::TakeFinished() {
    std::optional<Finished> finished = std::move(finished_);
    finished_.reset();
    return finished;
}

void Enumeration::ClientLeft(std::uint32_t client) {
    auto gone = [client](const EnumerationWaiter& waiter) { return waiter.client == client; };
    if (session_) {
        std::erase_if(session_->waiters, gone);
    }
    for (Queued& queued : queue_) {
        std::erase_if(queued.waiters, gone);
    }
}

}  // namespace velk::engine
