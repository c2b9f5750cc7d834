// CCycleImp: the implementation of CCycle (see Cycle.h for what it covers so
// far).
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "Cycle.h"

namespace VELKCORE {

class CTestImp;

class CCycleImp {
  public:
    static constexpr long _tDefaultMaxTime = 2147483647;

    // A test that the engine runs already, taken over by this cycle with the
    // engine's process id of the run.
    struct CAdoptedRun {
        const CTestImp* test;
        std::string processId;
    };

    // A cycle that creates and owns its interface object.
    CCycleImp();
    // The implementation of iface, which owns it.
    explicit CCycleImp(CCycle* iface);
    virtual ~CCycleImp();
    CCycleImp(const CCycleImp&) = delete;
    CCycleImp& operator=(const CCycleImp&) = delete;

    CCycle* Interface() const { return iface_; }
    CCycle::State GetState() const { return state_; }

    // Takes over a test that the engine reports as running with processId;
    // the cycle is then RUNNING.  A null test throws std::invalid_argument, a
    // minimum time not below the maximum time std::logic_error.
    void AddRunningTest(const CTestImp* test, const std::string& processId);
    const std::vector<CAdoptedRun>& AdoptedRuns() const { return adoptedRuns_; }

    // The scenario pass this cycle belongs to (0: the scenario's own cycles).
    void SetPassCount(unsigned int pass) { scenarioPass_ = pass; }
    unsigned int GetPassCount() const { return scenarioPass_; }
    long GetMaxTime() const { return maxTime_; }
    long GetMinTime() const { return minTime_; }
    time_t GetStartTime() const { return startTime_; }

  private:
    friend class CCycle;
    CCycle* iface_;
    bool ownsIface_;
    long maxTime_ = _tDefaultMaxTime;
    long minTime_ = 0;
    time_t startTime_ = 0;
    std::vector<CAdoptedRun> adoptedRuns_;
    CCycle::State state_ = CCycle::IDLE;
    unsigned int scenarioPass_ = 1;
};

}  // namespace VELKCORE
