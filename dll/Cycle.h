// CCycle: an ordered list of test runs that a scenario schedules.
//
// This is the part of the cycle that the test environment needs: its state,
// construction and destruction, and the adoption of tests that the engine
// reports as already running (CCycleImp::AddRunningTest).  Starting,
// scheduling and polling test runs come with the cycle scheduler.
#pragma once

#include <ostream>
#include <string>

namespace VELKCORE {

class CCycleImp;

class CCycle {
  public:
    enum State : int {
        IDLE = 0,
        RUNNING = 1,
        DEVICEINUSE = 2,
        TIMEDOUT = 3,
        EXITED = 4,
        ERRORLIMIT = 5,
        ERROR = 6,
        DISCONTINUED = 7
    };
    static constexpr long NOLIMIT = 2147483647;

    // Creates its own implementation.
    CCycle();
    // The interface of imp, which owns it.
    explicit CCycle(CCycleImp* imp);
    virtual ~CCycle();
    CCycle(const CCycle&) = delete;
    CCycle& operator=(const CCycle&) = delete;

    State GetState() const;
    // "IDLE", "RUNNING", "DEVICEINUSE", "TIMEDOUT", "EXITED", "ERRORLIMIT",
    // "ERROR", "DISCONTINUED"; "UNDEFINED" otherwise.
    static std::string CycleStateToString(State state);

    CCycleImp* Imp() const { return imp_; }

  private:
    friend class CCycleImp;
    CCycleImp* imp_;
    bool ownsImp_;
};

std::ostream& operator<<(std::ostream& os, CCycle::State& state);

}  // namespace VELKCORE
