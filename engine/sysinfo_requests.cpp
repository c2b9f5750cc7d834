#include "sysinfo_requests.h"

#include <signal.h>

#include <algorithm>

#include "markup_text.h"
#include "tracing.h"

namespace velk::engine {

std::optional<std::string> SysInfoRequests::Start(const IncomingMessage& request,
                                                  const std::string& hwLocator,
                                                  const DeviceList& list, ModuleLaunches& launches,
                                                  const ModuleLaunchCommon& common) {
    const MergedDevice* device = list.FindByHwLocator(hwLocator);
    if (device == nullptr) {
        return ErrorBody("unknown device " + hwLocator);
    }
    Request pending{request.from, *request.id, Clock::now() + timeout_, {}};
    for (const DeviceComponent& component : device->components) {
        const ModuleEntry& module = list.Module(component);
        const ModulePtr& shared = list.Modules()[component.module].module;
        std::uint64_t replyId = nextReplyId_++;
        SysInfoLaunch sysinfo{std::to_string(request.from), static_cast<std::uint32_t>(replyId),
                              hwLocator, module.name};
        ModuleLaunchCommon arguments = common;
        arguments.definitionsFile = module.definitionsFile;
        std::string error;
        if (launches.Start(
                LaunchPurpose::kSysInfo, replyId, shared,
                [&](const std::string&) { return SysInfoArguments(arguments, sysinfo); },
                error) != nullptr) {
            pending.parts.push_back(Part{replyId, false, {}});
        }
    }
    if (pending.parts.empty()) {
        return std::string();
    }
    requests_.push_back(std::move(pending));
    return std::nullopt;
}

SysInfoRequests::Part* SysInfoRequests::PartOf(const ModuleLaunch& launch) {
    if (launch.purpose != LaunchPurpose::kSysInfo) {
        return nullptr;
    }
    for (Request& request : requests_) {
        for (Part& part : request.parts) {
            if (part.replyId == launch.owner) {
                return &part;
            }
        }
    }
    return nullptr;
}

void SysInfoRequests::Returned(const ModuleLaunch& launch, const IncomingMessage& message) {
    Part* part = PartOf(launch);
    if (part == nullptr || part->done || message.re != part->replyId) {
        return;
    }
    for (const std::string& device : SplitElements(message.data, "<DEVICE>", "</DEVICE>")) {
        if (IsBalancedMarkup(device)) {
            part->devices += Element("DEVICE", device);
        } else {
            VTRACE(VELK_TRACE_DE, "dropped system information whose markup does not nest\n");
        }
    }
    part->done = true;
}

void SysInfoRequests::LaunchEnded(const ModuleLaunch& launch) {
    if (Part* part = PartOf(launch)) {
        part->done = true;
    }
}

void SysInfoRequests::Tick(Clock::time_point now, ModuleLaunches& launches) {
    for (Request& request : requests_) {
        if (now < request.deadline) {
            continue;
        }
        for (Part& part : request.parts) {
            if (part.done) {
                continue;
            }
            part.done = true;
            for (ModuleLaunch* launch : launches.WithPurpose(LaunchPurpose::kSysInfo)) {
                if (launch->owner == part.replyId) {
                    launch->process->Signal(SIGKILL);
                }
            }
        }
    }
}

std::vector<PendingAnswer> SysInfoRequests::TakeFinished() {
    std::vector<PendingAnswer> answers;
    std::erase_if(requests_, [&](const Request& request) {
        bool complete = std::all_of(request.parts.begin(), request.parts.end(),
                                    [](const Part& part) { return part.done; });
        if (complete) {
            std::string body;
            for (const Part& part : request.parts) {
                body += part.devices;
            }
            answers.push_back(PendingAnswer{request.client, request.requestId, std::move(body)});
        }
        return complete;
    });
    return answers;
}

void SysInfoRequests::ClientLeft(std::uint32_t client) {
    // The modules end on their own; their answers find no request.
    std::erase_if(requests_, [client](const Request& request) { return request.client == client; });
}

}  // namespace velk::engine
