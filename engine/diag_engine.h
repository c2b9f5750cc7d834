// The diagnostic engine ("DIAGENGINE"): enumerates the modules' devices,
// runs tests, validates parameters and gathers system information by
// starting module processes, and answers the clients' commands.  It never
// waits: modules are started and their messages, their ends and the
// deadlines are handled as they come, from the broker's event loop.
//
// Commands (MSG/DATA of a DE_COMMAND request):
//   LIST_DEVICES_AND_TESTS, RESCAN_DEVICES,
//   SCAN_MODULES[<MODULE_NAME>NAME.vkm</MODULE_NAME>...],
//   LIST_DEVICES[:NAME], LIST_SYSINFO_DEVICES:NAME, SYSINFO:HWLOCATOR,
//   VALIDATE_TEST_PARAMETERS:MODULEID:TEST:DID[:param=ID,VALUE...],
//   START_TEST:MODULEID:TEST:DID[:param=ID,VALUE...],
//   STOP_TEST:ID, GET_TEST_STATUS:ID, FREE_TEST_PROCESS:ID,
//   GET_TEST_MESSAGES:ID.
// Any other command is answered with an ERROR result.
//
// From modules: the startup notice (TYPE the reference it was given),
// DE_ENUMDATA, DE_EVENT, DE_NOTIFY (TESTRESULT, SHUTDOWN) and
// SYSINFO_RETURNED.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device_list.h"
#include "engine_component.h"
#include "engine_messages.h"
#include "engine_settings.h"
#include "enumeration.h"
#include "module_command_line.h"
#include "module_launches.h"
#include "sysinfo_requests.h"
#include "test_runs.h"
#include "validations.h"

namespace velk::engine {

class DiagEngine final : public EngineComponent {
  public:
    explicit DiagEngine(const EngineSettings& settings);
    ~DiagEngine() override;

    std::string_view Destination() const override;
    void Start(ComponentContext& context) override;
    void HandleMessage(const std::string& message, ComponentContext& context) override;
    void ClientLeft(std::uint32_t pid, ComponentContext& context) override;
    void ChildEnded(pid_t pid, int status, ComponentContext& context) override;
    void Tick(ComponentContext& context) override;
    void Stop(ComponentContext& context) override;

  private:
    void Command(const IncomingMessage& request, ComponentContext& context);
    void TestProcessCommand(std::string_view word, const IncomingMessage& request,
                            const std::string& id, ComponentContext& context);
    void Startup(const IncomingMessage& message, ComponentContext& context);
    void Notify(const IncomingMessage& message, ComponentContext& context);
    ModuleLaunch* LaunchOf(std::uint32_t clientPid);

    void Reply(std::uint32_t client, std::uint32_t requestId, const std::string& body,
               ComponentContext& context);
    void RequestEnumeration(std::vector<std::string> names, const IncomingMessage* request,
                            ComponentContext& context);
    // Installs finished enumerations, tells the clients, starts queued ones.
    void AdvanceEnumeration(ComponentContext& context);
    void SendPendingAnswers(ComponentContext& context);
    void ForgetDepartedClients();
    void GiveUpOnSilentModules(Clock::time_point now);
    bool IsModuleClient(std::uint32_t pid);
    // The runs in progress, for the device list.
    RunningLookup Running() const;

    EngineSettings settings_;
    ModuleLaunchCommon common_;
    std::unique_ptr<ModuleLaunches> launches_;
    Enumeration enumeration_;
    TestRuns runs_;
    SysInfoRequests sysinfo_;
    Validations validations_;
    DeviceList list_;
    bool haveList_ = false;
    // LIST_DEVICES_AND_TESTS asked before the first enumeration ended.
    std::vector<EnumerationWaiter> listWaiters_;
    // Clients that left, forgotten at the next safe point (a send that fails
    // may report a departure in the middle of the engine's own work).
    std::vector<std::uint32_t> departed_;
};

}  // namespace velk::engine
