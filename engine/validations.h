// VALIDATE_TEST_PARAMETERS: the module is started in validate mode with the
// client's process id and request number, and answers the client itself.
// The engine answers for it, with an empty PARAM_VALIDATION_RESULTS, only
// when the module cannot answer: it cannot be started, it is not known, or
// it ends (or is killed for not announcing itself) without having said
// SHUTDOWN, which it says after its answer.
//
// Every validation has a deadline, shorter than the client's wait: a module
// still running then is killed, and the client gets the engine's answer
// unless the module had said SHUTDOWN.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "device_list.h"
#include "diag_commands.h"
#include "engine_messages.h"
#include "module_command_line.h"
#include "module_launches.h"
#include "sysinfo_requests.h"

namespace velk::engine {

class Validations {
  public:
    explicit Validations(int timeoutMs) : timeout_(timeoutMs) {}

    // The empty answer, with the reason when the engine refuses.
    static std::string EmptyResults(std::string_view reason = {});

    // Starts the module; an answer to send at once when it cannot be.
    std::optional<std::string> Start(const IncomingMessage& request, const TestCommand& command,
                                     const DeviceList& list, ModuleLaunches& launches,
                                     const ModuleLaunchCommon& common);
    // The module process ended, or was given up on.
    void LaunchEnded(const ModuleLaunch& launch);
    // Gives up on the validations whose deadline has passed.
    void Tick(Clock::time_point now, ModuleLaunches& launches);
    std::vector<PendingAnswer> TakeUnanswered();

  private:
    struct Pending {
        PendingAnswer answer;
        Clock::time_point deadline;
    };

    std::chrono::milliseconds timeout_;
    std::uint64_t nextNumber_ = 1;
    std::map<std::uint64_t, Pending> pending_;
    std::vector<PendingAnswer> unanswered_;
};

}  // namespace velk::engine
