// CScenarioImp: the implementation of CScenario and its update thread.
//
// The cycles form one list: the scenario's own cycles (scenario pass 0)
// first, then a copy of each for every further pass.  The update thread
// ticks under the scenario lock (entry 0); a tick takes each cycle's lock
// (entry 1) inside it.  Stopping the thread from a caller that holds entry 0
// lets go of it while waiting, so that a tick in progress can finish.
#pragma once

#include <atomic>
#include <condition_variable>
#include <ctime>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "Scenario.h"

namespace VELKCORE {

class CCycleImp;
class CDeviceImp;

class CScenarioImp {
  public:
    static constexpr long _tDefaultMaxTime = 2147483647;

    // A scenario that creates and owns its interface object.
    CScenarioImp();
    // The implementation of iface, which owns it.
    explicit CScenarioImp(CScenario* iface);
    // Stops the update thread (waiting for a tick in progress), then deletes
    // the cycles, whose runs release their engine processes.
    virtual ~CScenarioImp();
    CScenarioImp(const CScenarioImp&) = delete;
    CScenarioImp& operator=(const CScenarioImp&) = delete;

    CScenario* Interface() const { return iface_; }

    void Start(bool threaded, long updatePeriodMs);
    // Runs a scenario whose cycles took over tests the engine runs already
    // (the environment uses it with true and 500): RUNNING at once, then a
    // tick and the update thread as for Start.  The same checks as Start.
    void MakeRunning(bool threaded, long updatePeriodMs);
    void Stop();
    void Update();
    CScenario::State GetState() const { return state_; }

    CCycle* AddCycle(unsigned int* index);
    void RemoveCycle(unsigned int index);
    unsigned int GetCycleArraySize() const;
    CCycle* GetCycleArrayElement(unsigned int index, unsigned int pass) const;
    const std::vector<std::unique_ptr<CCycleImp>>& Cycles() const { return cycles_; }
    // True when any cycle of the scenario holds a test of device.
    bool UsesDevice(const CDeviceImp* device) const;

    void SetPasses(unsigned int passes);
    unsigned int GetPasses() const { return passes_; }
    unsigned int GetCurrentPassCount() const { return currentPass_; }
    void SetErrorLimit(unsigned int limit);
    unsigned int GetErrorLimit() const { return errorLimit_; }
    unsigned int GetErrorCount() const { return errorCount_; }
    void SetMaxTime(long seconds);
    long GetMaxTime() const { return maxTime_; }
    void SetMinTime(long seconds);
    long GetMinTime() const { return minTime_; }
    long GetElapsedTime() const;
    time_t GetStartTime() const { return startTime_; }
    long GetMaxTimeRemaining() const;
    long GetMinTimeRemaining() const;
    bool Threaded() const { return threaded_; }
    long UpdatePeriodMicroseconds() const { return updatePeriodUs_; }
    bool UpdateThreadRunning() const { return threadRunning_; }

  private:
    friend class CScenario;
    // The workers; the caller holds the scenario lock.
    void CheckStart(bool threaded, long updatePeriodMs) const;
    void StopLocked();
    void UpdateLocked();
    void StartPass(unsigned int pass);
    // Appends a copy of each own cycle with scenario pass number pass; the
    // copies, when start is set, are started.
    void AppendPass(unsigned int pass, bool start);
    void DropCyclesFromPass(unsigned int pass);
    void StartUpdateThread();
    // callerHoldsLock: the caller holds entry 0, which is let go while
    // waiting.  From the update thread itself nothing waits: the thread
    // ends at its next check.
    void StopUpdateThread(bool callerHoldsLock);
    void UpdateThreadWorker();
    void RequireNotRunning(const char* what) const;

    CScenario* iface_;
    bool ownsIface_;
    long maxTime_ = _tDefaultMaxTime;
    long minTime_ = 0;
    std::atomic<time_t> startTime_{0};
    bool startRequested_ = false;
    std::thread thread_;
    std::atomic<bool> threadRunning_{false};
    bool threaded_ = false;
    long updatePeriodUs_ = 1000;
    unsigned int errorLimit_ = 2147483647;
    std::atomic<unsigned int> errorCount_{0};
    unsigned int passes_ = 1;
    std::atomic<unsigned int> currentPass_{0};
    std::vector<std::unique_ptr<CCycleImp>> cycles_;
    std::atomic<CScenario::State> state_{CScenario::IDLE};
    // Wakes the update thread's wait between ticks when it is told to stop.
    std::mutex sleepMutex_;
    std::condition_variable sleepWake_;
};

}  // namespace VELKCORE
