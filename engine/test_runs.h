// The test runs of the engine, by process id text ("<engine pid>-<n>",
// unique for the engine's lifetime): starting a module in run mode, the
// events and result it reports, stop requests, time-outs, and forgetting a
// run when the client frees it.
//
// One run at a time per device (by hardware locator): a second START_TEST
// gets DEVICE_IN_USE while the first is active.  A run freed while active
// is stopped and forgotten, but its device stays in use until its module
// process has ended.  Ended runs nobody frees are kept up to a limit; beyond
// it the oldest are forgotten.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device_list.h"
#include "device_list_reply.h"
#include "diag_commands.h"
#include "engine_component.h"
#include "engine_settings.h"
#include "module_command_line.h"
#include "module_launches.h"
#include "test_run.h"

namespace velk::engine {

class TestRuns {
  public:
    explicit TestRuns(const EngineSettings& settings);

    // START_TEST: the answer body.
    std::string Start(const TestCommand& command, const DeviceList& list, ModuleLaunches& launches,
                      const ModuleLaunchCommon& common);
    // GET_TEST_STATUS, STOP_TEST, FREE_TEST_PROCESS: the answer body; an
    // unknown process id gets exactly "<RESULT>ERROR</RESULT>".
    std::string Status(const std::string& id) const;
    std::string Stop(const std::string& id, ModuleLaunches& launches, ComponentContext& context);
    std::string Free(const std::string& id, ModuleLaunches& launches, ComponentContext& context);
    // GET_TEST_MESSAGES: the log items to deliver; nothing for an unknown id.
    std::optional<std::vector<LogItem>> Messages(const std::string& id) const;

    // What a run's module does.
    void Announced(const ModuleLaunch& launch, ComponentContext& context);
    void Event(const ModuleLaunch& launch, const std::string& data, ComponentContext& context);
    void ResultNotice(const ModuleLaunch& launch, const std::string& data);
    void LaunchEnded(const ModuleLaunch& launch);
    void NeverConnected(ModuleLaunch& launch);

    // Time-outs and stop deadlines.
    void Tick(Clock::time_point now, ModuleLaunches& launches, ComponentContext& context);

    // The active run of a module's test on its device, for the device list.
    std::optional<RunningInstance> Running(const ModuleEntry& module, unsigned did, int test) const;

  private:
    struct Entry {
        std::unique_ptr<TestRun> run;
        bool released = false;  // freed while active: no longer addressable
    };

    TestRun* Find(const std::string& id) const;
    TestRun* RunOf(const ModuleLaunch& launch) const;
    std::string IdOf(std::uint64_t number) const;
    bool DeviceBusy(const std::string& hwLocator) const;
    void SendStop(TestRun& run, ModuleLaunches& launches, ComponentContext& context);
    void Kill(TestRun& run, ModuleLaunches& launches);
    void RequestStop(TestRun& run, ModuleLaunches& launches, ComponentContext& context);
    // Notes that run has ended, forgetting the oldest ended runs beyond the
    // limit.
    void Ended(const TestRun& run);

    EngineSettings settings_;
    std::string idPrefix_;
    std::uint64_t nextNumber_ = 1;
    std::map<std::string, Entry> runs_;
    std::deque<std::string> endedOrder_;
};

}  // namespace velk::engine
