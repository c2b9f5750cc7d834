// SYSINFO:HWLOCATOR: every module that tests the device is started in
// sysinfo mode; each answers with SYSINFO_RETURNED (RE the number it was
// given) holding a DEVICE element with its system information.  The client
// gets one DEVICE element per module that answered, in module order, once
// all have answered, ended or run out of time (the late ones are killed).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "device_list.h"
#include "engine_messages.h"
#include "module_command_line.h"
#include "module_launches.h"

namespace velk::engine {

struct PendingAnswer {
    std::uint32_t client = 0;
    std::uint32_t requestId = 0;
    std::string body;
};

class SysInfoRequests {
  public:
    explicit SysInfoRequests(int timeoutMs) : timeout_(timeoutMs) {}

    // Starts the modules of the device; an answer at once when there is
    // nothing to wait for (unknown device, no module could be started).
    std::optional<std::string> Start(const IncomingMessage& request, const std::string& hwLocator,
                                     const DeviceList& list, ModuleLaunches& launches,
                                     const ModuleLaunchCommon& common);
    // A SYSINFO_RETURNED message from the module of launch.
    void Returned(const ModuleLaunch& launch, const IncomingMessage& message);
    void LaunchEnded(const ModuleLaunch& launch);
    void Tick(Clock::time_point now, ModuleLaunches& launches);
    // Answers of the requests that are complete.
    std::vector<PendingAnswer> TakeFinished();
    void ClientLeft(std::uint32_t client);

  private:
    struct Part {
        std::uint64_t replyId = 0;  // the module's RE, and its launch's owner
        bool done = false;
        std::string devices;
    };
    struct Request {
        std::uint32_t client = 0;
        std::uint32_t requestId = 0;
        Clock::time_point deadline;
        std::vector<Part> parts;
    };

    Part* PartOf(const ModuleLaunch& launch);

    std::chrono::milliseconds timeout_;
    std::uint64_t nextReplyId_ = 1;
    std::vector<Request> requests_;
};

}  // namespace velk::engine
