// CScenario: a group of cycles that the test environment owns.
//
// This is the part of the scenario that the test environment needs: its
// state, construction and destruction, adding cycles, and MakeRunning, which
// marks a scenario whose cycles took over tests that the engine runs
// already.  Starting, ticking and stopping scenarios come with the scenario
// scheduler.
#pragma once

#include <ostream>
#include <string>

namespace VELKCORE {

class CScenarioImp;
class CCycle;

class CScenario {
  public:
    enum State : int {
        IDLE = 0,
        RUNNING = 1,
        DEVICEBUSY = 2,
        TIMEDOUT = 3,
        EXITED = 4,
        ERROR = 5,
        DISCONTINUED = 6,
        ERRORLIMIT = 7
    };
    static constexpr long NOLIMIT = 2147483647;

    // Creates its own implementation.
    CScenario();
    // The interface of imp, which owns it.
    explicit CScenario(CScenarioImp* imp);
    virtual ~CScenario();
    CScenario(const CScenario&) = delete;
    CScenario& operator=(const CScenario&) = delete;

    State GetState() const;
    // Appends a new cycle and stores its index in *index (when not null).
    // While RUNNING or DEVICEBUSY throws std::logic_error.
    CCycle* AddCycle(unsigned int* index);
    // Number of the scenario's own cycles.
    unsigned int GetCycleArraySize() const;

    // "IDLE", "RUNNING", "DEVICEINUSE", "TIMEDOUT", "EXITED", "ERROR",
    // "DISCONTINUED", "ERRORLIMIT"; "UNDEFINED" otherwise.
    static std::string ScenarioStateToString(State state);

    CScenarioImp* Imp() const { return imp_; }

  private:
    friend class CScenarioImp;
    CScenarioImp* imp_;
    bool ownsImp_;
};

std::ostream& operator<<(std::ostream& os, CScenario::State& state);

}  // namespace VELKCORE
