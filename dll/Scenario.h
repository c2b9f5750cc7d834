// CScenario: a group of cycles run together.  All cycles of a pass start at
// once; passes repeat, within the scenario's own minimum and maximum time
// and error limit.  A started scenario can drive itself with an update
// thread that ticks every cycle of the current pass periodically.
//
// CScenario is the interface of a CScenarioImp; destroying either side
// destroys the other.  The test environment creates and owns scenarios.
// Start, Stop, Update, AddCycle, GetCycleArrayElement and MakeRunning take
// the scenario lock (scoped-mutex entry 0).
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
        // A cycle lost its engine.
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

    // Starts the first pass at once (one tick here), then, when threaded, in
    // an update thread that ticks every updatePeriodMs.  Throws
    // std::logic_error without cycles, while RUNNING, or when the minimum
    // time is not below the maximum time; std::invalid_argument when
    // threaded with a period below 100 ms.
    void Start(bool threaded, long updatePeriodMs);
    // Stops the update thread and every cycle: DISCONTINUED.
    void Stop();
    // One tick (what the update thread runs).
    void Update();
    State GetState() const;

    // Appends a new cycle and stores its index in *index (when not null).
    // While RUNNING or DEVICEBUSY throws std::logic_error.
    CCycle* AddCycle(unsigned int* index);
    // Stops and deletes the cycle at index; never throws (a bad index or a
    // running scenario is reported on standard output).
    void RemoveCycle(unsigned int index);
    // Number of the scenario's own cycles.
    unsigned int GetCycleArraySize() const;
    // The cycle at index within pass: std::out_of_range when there is none.
    CCycle* GetCycleArrayElement(unsigned int index, unsigned int pass) const;

    // Setters throw std::logic_error while RUNNING or DEVICEBUSY; a maximum
    // time of 0 or less throws std::invalid_argument.
    void SetPasses(unsigned int passes);
    unsigned int GetPasses() const;
    unsigned int GetCurrentPassCount() const;
    void SetErrorLimit(unsigned int limit);
    unsigned int GetErrorLimit() const;
    unsigned int GetErrorCount() const;
    void SetMaxTime(long seconds);
    long GetMaxTime() const;
    void SetMinTime(long seconds);
    long GetMinTime() const;
    long GetElapsedTime() const;

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
// Write nothing.
std::ostream& operator<<(std::ostream& os, const CScenario& scenario);
std::ostream& operator<<(std::ostream& os, const CScenarioImp& scenario);

}  // namespace VELKCORE
