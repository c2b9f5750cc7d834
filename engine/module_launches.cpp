#include "module_launches.h"

#include <signal.h>

#include <thread>

#include "tracing.h"

namespace velk::engine {
namespace {

constexpr const char* kReferencePrefix = "VELKREF_";
constexpr auto kStopPoll = std::chrono::milliseconds(10);

}  // namespace

ModuleLaunches::ModuleLaunches(std::string pipeDirectory, int connectTimeoutMs)
    : pipeDirectory_(std::move(pipeDirectory)), connectTimeout_(connectTimeoutMs) {}

ModuleLaunch* ModuleLaunches::Start(LaunchPurpose purpose, std::uint64_t owner,
                                    const ModulePtr& module, const ArgumentsFor& arguments,
                                    std::string& error) {
    std::string reference = kReferencePrefix + std::to_string(nextReference_++);
    std::unique_ptr<ModuleProcess> process =
        ModuleProcess::Start(module->executable, arguments(reference), pipeDirectory_, error);
    if (!process) {
        VTRACE(VELK_TRACE_DE, "%s\n", error.c_str());
        return nullptr;
    }
    pid_t pid = process->Pid();
    ModuleLaunch launch;
    launch.purpose = purpose;
    launch.owner = owner;
    launch.module = module;
    launch.reference = std::move(reference);
    launch.process = std::move(process);
    launch.connectBy = Clock::now() + connectTimeout_;
    VTRACE(VELK_TRACE_DE, "started %s (pid %ld, reference %s)\n", module->name.c_str(),
           static_cast<long>(pid), launch.reference.c_str());
    auto [entry, added] = launches_.insert_or_assign(pid, std::move(launch));
    return &entry->second;
}

ModuleLaunch* ModuleLaunches::FindByPid(pid_t pid) {
    auto found = launches_.find(pid);
    return found != launches_.end() ? &found->second : nullptr;
}

ModuleLaunch* ModuleLaunches::FindByReference(const std::string& reference) {
    for (auto& [pid, launch] : launches_) {
        if (launch.reference == reference) {
            return &launch;
        }
    }
    return nullptr;
}

ModuleLaunch* ModuleLaunches::FindByClient(std::uint32_t clientPid) {
    if (clientPid == 0) {
        return nullptr;
    }
    for (auto& [pid, launch] : launches_) {
        if (launch.clientPid == clientPid) {
            return &launch;
        }
    }
    return nullptr;
}

void ModuleLaunches::MarkConnected(ModuleLaunch& launch, std::uint32_t clientPid) {
    launch.clientPid = clientPid;
}

std::optional<ModuleLaunch> ModuleLaunches::Ended(pid_t pid, int status) {
    auto found = launches_.find(pid);
    if (found == launches_.end()) {
        return std::nullopt;
    }
    ModuleLaunch launch = std::move(found->second);
    launches_.erase(found);
    launch.process->MarkReaped(status);
    VTRACE(VELK_TRACE_DE, "%s (pid %ld) ended: %s\n", launch.module->name.c_str(),
           static_cast<long>(pid), DescribeWaitStatus(status).c_str());
    return launch;
}

std::vector<ModuleLaunch*> ModuleLaunches::WithPurpose(LaunchPurpose purpose) {
    std::vector<ModuleLaunch*> found;
    for (auto& [pid, launch] : launches_) {
        if (launch.purpose == purpose) {
            found.push_back(&launch);
        }
    }
    return found;
}

std::vector<ModuleLaunch*> ModuleLaunches::Overdue(Clock::time_point now) {
    std::vector<ModuleLaunch*> overdue;
    for (auto& [pid, launch] : launches_) {
        if (!launch.Connected() && now >= launch.connectBy) {
            overdue.push_back(&launch);
        }
    }
    return overdue;
}

void ModuleLaunches::StopAll(int graceMs) {
    for (auto& [pid, launch] : launches_) {
        launch.process->Signal(SIGTERM);
    }
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(graceMs);
    for (;;) {
        bool running = false;
        for (auto& [pid, launch] : launches_) {
            running = !launch.process->TryReap() || running;
        }
        if (!running || Clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(kStopPoll);
    }
    launches_.clear();  // the holders kill and reap what is left
}

}  // namespace velk::engine
