// CCycleImp: the implementation of CCycle, the scheduler of its test runs.
//
// The runs form one list: the cycle's own runs (pass number 0) first, then
// a copy of each for every further pass (pass numbers 1, 2, ...), then the
// passes added to reach the minimum time.  Each run carries a start status
// (CTestRunImp::NOT_STARTED, STARTED, SKIPPED_BUSY) for the current start.
//
// Locks: entry 1 (the cycle) around every operation, entry 11 around the
// started-run history; a run's entry 2 is taken inside entry 1, never
// together with 11.
#pragma once

#include <atomic>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "Cycle.h"

namespace VELKCORE {

class CDeviceImp;
class CTestImp;
class CTestRunImp;

class CCycleImp {
  public:
    static constexpr long _tDefaultMaxTime = 2147483647;

    // A cycle that creates and owns its interface object.
    CCycleImp();
    // The implementation of iface, which owns it.
    explicit CCycleImp(CCycle* iface);
    // Every setting and the state, with a copy of every run; the copy has an
    // interface object of its own.
    CCycleImp(const CCycleImp& other);
    CCycleImp& operator=(const CCycleImp&) = delete;
    virtual ~CCycleImp();

    CCycle* Interface() const { return iface_; }

    void Start();
    void Stop();
    void Update();
    CCycle::State GetState() const { return state_; }

    CTestRun* AddTest(const CTestImp* test, unsigned int order);
    // A copy of run at position order (appended past the end), owned by this
    // cycle.  Null: std::invalid_argument.
    CTestRunImp* AddTestRun(const CTestRunImp* run, unsigned int order);
    void RemoveTest(unsigned int index);
    // Takes over a test that the engine reports as running with processId;
    // the cycle is then RUNNING with that run current.  A null test throws
    // std::invalid_argument, a minimum time not below the maximum time
    // std::logic_error.
    CTestRun* AddRunningTest(const CTestImp* test, const std::string& processId);

    unsigned int GetTestRunArraySize() const;
    CTestRun* GetTestRunArrayElement(unsigned int index, unsigned int pass) const;
    CTestRun* GetFirstTestRun() const;
    CTestRun* GetNextTestRun() const;
    CTestRun* GetCurrentTest() const;
    unsigned int GetCurrentPassCount() const { return currentPass_; }

    void SetPasses(unsigned int passes);
    unsigned int GetPasses() const { return passes_; }
    void SetErrorLimit(unsigned int limit);
    unsigned int GetErrorLimit() const { return errorLimit_; }
    unsigned int GetErrorCount() const { return errorCount_; }
    void SetMaxTime(long seconds);
    long GetMaxTime() const { return maxTime_; }
    void SetMinTime(long seconds);
    long GetMinTime() const { return minTime_; }
    // The scenario pass this cycle belongs to (0: the scenario's own).
    void SetPassCount(unsigned int pass);
    unsigned int GetPassCount() const { return scenarioPass_; }
    long GetElapsedTime() const;
    time_t GetStartTime() const { return startTime_; }
    long GetMaxTimeRemaining() const;
    long GetMinTimeRemaining() const;

    // A run of this cycle changed state: the next read runs a tick first.
    void SetUpdateNeeded() { updateNeeded_ = true; }
    // True when a run of this cycle tests device.
    bool UsesDevice(const CDeviceImp* device) const;
    // All runs, in list order (the caller holds the cycle lock or knows the
    // cycle is idle).
    const std::vector<std::unique_ptr<CTestRunImp>>& TestRuns() const { return runs_; }
    // Takes the cycle lock and, when a run reported a change, runs a tick;
    // the lock stays held for the caller to adopt.
    void CheckAndDoUpdateAndLockMutex() const;

  private:
    friend class CCycle;
    // The workers; the caller holds the cycle lock.
    void StartLocked();
    void StopLocked();
    void UpdateLocked();
    void TickRunning();
    CCycle::State StartNextTest();
    void RemoveExtraPasses();
    // Appends a copy of each own run with pass number pass.
    void AppendPass(unsigned int pass);
    unsigned int OwnRunCount() const;
    void RequireNotRunning(const char* what) const;
    CTestRun* Element(unsigned int index, unsigned int pass) const;

    CCycle* iface_;
    bool ownsIface_;
    long maxTime_ = _tDefaultMaxTime;
    long minTime_ = 0;
    unsigned int currentIndex_ = 0;
    mutable unsigned int historyCursor_ = 0;
    unsigned int currentStarted_ = 0;
    std::atomic<time_t> startTime_{0};
    bool startRequested_ = false;
    bool extending_ = false;
    unsigned int extensionCounter_ = 0;
    std::vector<std::unique_ptr<CTestRunImp>> runs_;
    std::vector<unsigned int> history_;
    std::atomic<CCycle::State> state_{CCycle::IDLE};
    unsigned int errorLimit_ = 2147483647;
    std::atomic<unsigned int> errorCount_{0};
    unsigned int passes_ = 1;
    unsigned int scenarioPass_ = 1;
    std::atomic<unsigned int> currentPass_{0};
    unsigned int testsPerPass_ = 0;
    mutable std::atomic<bool> updateNeeded_{false};
};

}  // namespace VELKCORE
