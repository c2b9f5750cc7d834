// The module processes the diagnostic engine has started, each with what it
// was started for.  A module announces itself with a startup notice whose
// header TYPE is the reference it was given (sysinfo mode announces itself
// as "SYSINFO"); from then on it is known by its client process id.  A
// module that does not announce itself within the connect time-out is
// reported as overdue.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "module_catalog.h"
#include "module_process.h"

namespace velk::engine {

using Clock = std::chrono::steady_clock;

enum class LaunchPurpose { kEnumerate, kRun, kValidate, kSysInfo };

struct ModuleLaunch {
    LaunchPurpose purpose = LaunchPurpose::kEnumerate;
    // Whose launch: the enumeration, run, validation or system-information
    // request number.
    std::uint64_t owner = 0;
    ModulePtr module;
    std::string reference;
    std::unique_ptr<ModuleProcess> process;
    std::uint32_t clientPid = 0;  // 0 until the startup notice
    Clock::time_point connectBy;
    bool shutdownNoticed = false;  // the module said DE_NOTIFY SHUTDOWN

    pid_t Pid() const { return process->Pid(); }
    bool Connected() const { return clientPid != 0; }
};

class ModuleLaunches {
  public:
    using ArgumentsFor = std::function<std::vector<std::string>(const std::string& reference)>;

    ModuleLaunches(std::string pipeDirectory, int connectTimeoutMs);

    // Starts the module with the arguments made for a new reference; null
    // and the reason in error when it cannot be started.
    ModuleLaunch* Start(LaunchPurpose purpose, std::uint64_t owner, const ModulePtr& module,
                        const ArgumentsFor& arguments, std::string& error);

    ModuleLaunch* FindByPid(pid_t pid);
    // By the reference of its startup notice.
    ModuleLaunch* FindByReference(const std::string& reference);
    // A module that has announced itself, by its client process id.
    ModuleLaunch* FindByClient(std::uint32_t clientPid);
    // The module process sent its startup notice from clientPid.
    void MarkConnected(ModuleLaunch& launch, std::uint32_t clientPid);

    // The broker reaped pid: the launch, taken out of the table (its process
    // marked reaped); nothing when pid was not ours.
    std::optional<ModuleLaunch> Ended(pid_t pid, int status);
    std::vector<ModuleLaunch*> WithPurpose(LaunchPurpose purpose);
    // Launches that have not announced themselves in time.
    std::vector<ModuleLaunch*> Overdue(Clock::time_point now);

    // Asks every module to end (SIGTERM), waits up to graceMs for them, then
    // kills and reaps the rest.  The table is empty afterwards.
    void StopAll(int graceMs);
    std::size_t Size() const { return launches_.size(); }

  private:
    std::string pipeDirectory_;
    std::chrono::milliseconds connectTimeout_;
    std::uint64_t nextReference_ = 1;
    std::map<pid_t, ModuleLaunch> launches_;
};

}  // namespace velk::engine
