// CScenarioImp: the implementation of CScenario (see Scenario.h for what it
// covers so far).
#pragma once

#include <ctime>
#include <memory>
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
    virtual ~CScenarioImp();
    CScenarioImp(const CScenarioImp&) = delete;
    CScenarioImp& operator=(const CScenarioImp&) = delete;

    CScenario* Interface() const { return iface_; }
    CScenario::State GetState() const { return state_; }
    CCycle* AddCycle(unsigned int* index);
    unsigned int GetCycleArraySize() const;
    const std::vector<std::unique_ptr<CCycleImp>>& Cycles() const { return cycles_; }
    // True when a cycle of this scenario holds a test of device: the test
    // environment then keeps the device alive after the device list that
    // held it has been replaced.
    bool UsesDevice(const CDeviceImp* device) const;

    // Marks the scenario RUNNING for cycles that took over running tests,
    // keeping threaded and the update period for the scheduler.  Throws
    // std::logic_error without cycles, while RUNNING, or when the minimum
    // time is not below the maximum time; std::invalid_argument when threaded
    // with a period below 100 ms.
    void MakeRunning(bool threaded, long updatePeriodMs);
    bool Threaded() const { return threaded_; }
    long UpdatePeriodMicroseconds() const { return updatePeriodUs_; }
    time_t GetStartTime() const { return startTime_; }

  private:
    friend class CScenario;
    CScenario* iface_;
    bool ownsIface_;
    long maxTime_ = _tDefaultMaxTime;
    long minTime_ = 0;
    time_t startTime_ = 0;
    bool threaded_ = false;
    long updatePeriodUs_ = 1000;
    unsigned int passes_ = 1;
    unsigned int currentPass_ = 0;
    unsigned int errorCount_ = 0;
    std::vector<std::unique_ptr<CCycleImp>> cycles_;
    CScenario::State state_ = CScenario::IDLE;
};

}  // namespace VELKCORE
