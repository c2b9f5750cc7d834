// Device enumeration: every module of the catalog (or the ones a client
// named) is started in enumerate mode at once; each one's DE_ENUMDATA gives
// its devices.  A module that ends without answering, or does not answer by
// the enumeration time-out, counts with no devices (it is killed when it is
// late).  When every module is done, the merged device list is ready.
//
// Requests queue: a rescan asked while an enumeration runs starts a new one
// when the current one is done, so that it sees the machine as it is after
// the request.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "device_list.h"
#include "module_command_line.h"
#include "module_launches.h"

namespace velk::engine {

// Who waits for an enumeration: a client's request to answer when it ends.
struct EnumerationWaiter {
    std::uint32_t client = 0;
    std::uint32_t requestId = 0;
};

class Enumeration {
  public:
    struct Finished {
        DeviceList list;
        std::vector<EnumerationWaiter> waiters;
    };

    Enumeration(std::string binDirectory, int timeoutMs);

    // Queues an enumeration of the named modules ("NAME" or "NAME.vkm"; all
    // when empty), answered to waiter when given.  Requests queued together
    // are served by one enumeration of all the modules they name.
    void Request(std::vector<std::string> moduleNames, std::optional<EnumerationWaiter> waiter);
    bool InProgress() const { return session_.has_value(); }
    bool Pending() const { return !queue_.empty(); }

    // Starts the next queued enumeration when none runs.
    void StartNext(ModuleLaunches& launches, const ModuleLaunchCommon& common);
    // The DATA of a DE_ENUMDATA message from a module of the current one.
    void DeviceData(const ModuleLaunch& launch, const std::string& data);
    // A module process of the current enumeration ended.
    void LaunchEnded(const ModuleLaunch& launch);
    // Kills the modules that are late.
    void Tick(ModuleLaunches& launches, Clock::time_point now);
    // The finished enumeration, once; nothing while one runs or none ran.
    std::optional<Finished> TakeFinished();

    // Forgets the requests of a client that has gone.
    void ClientLeft(std::uint32_t client);

  private:
    struct Queued {
        std::vector<std::string> names;  // empty: all
        std::vector<EnumerationWaiter> waiters;
    };
    struct ModuleState {
        ModulePtr module;
        pid_t pid = -1;  // -1: done
        std::vector<ModuleDevice> devices;
    };
    struct Session {
        std::uint64_t serial = 0;
        std::vector<ModuleState> modules;
        std::vector<EnumerationWaiter> waiters;
        Clock::time_point deadline;
    };

    ModuleState* StateOf(const ModuleLaunch& launch);
    bool AllDone() const;
    // Once every module is done: the device list becomes the finished one.
    void FinishIfDone();

    std::string binDirectory_;
    std::chrono::milliseconds timeout_;
    std::uint64_t nextSerial_ = 1;
    std::deque<Queued> queue_;
    std::optional<Session> session_;
    std::optional<Finished> finished_;
};

}  // namespace velk::engine
