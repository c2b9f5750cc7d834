// CCycle: an ordered list of test runs started one after another, repeated
// for a number of passes, within a minimum and a maximum run time and an
// error limit.  A run whose device is busy is skipped and retried once the
// others have had their turn; with every device busy the cycle waits
// (DEVICEINUSE) and retries on each tick.
//
// CCycle is the interface of a CCycleImp; destroying either side destroys
// the other.  Scenarios create and own their cycles.  Every operation takes
// the cycle lock (scoped-mutex entry 1); the reads first run a tick when one
// of the cycle's runs reported a change of state.
#pragma once

#include <ostream>
#include <string>

namespace VELKCORE {

class CCycleImp;
class CTest;
class CTestRun;

class CCycle {
  public:
    enum State : int {
        IDLE = 0,
        RUNNING = 1,
        DEVICEINUSE = 2,
        TIMEDOUT = 3,
        EXITED = 4,
        ERRORLIMIT = 5,
        // The engine stopped answering for a run.
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

    // Asks for a start: the next Update starts the first run.  Throws
    // std::logic_error without runs, while RUNNING or DEVICEINUSE, or when
    // the minimum time is not below the maximum time.
    void Start();
    // Stops every run of a RUNNING or DEVICEINUSE cycle: DISCONTINUED.
    void Stop();
    // One tick: polls the current run and starts the next one.
    void Update();
    State GetState() const;

    // A run of test at position order (appended when order is past the
    // end).  Null test: std::invalid_argument.
    CTestRun* AddTest(const CTest* test, unsigned int order);
    // Deletes the run at index: std::out_of_range past the end,
    // std::logic_error while RUNNING or DEVICEINUSE.
    void RemoveTest(unsigned int index);
    // Number of the cycle's own runs (those of its first pass).
    unsigned int GetTestRunArraySize() const;
    // The run at index within pass: std::out_of_range when there is none.
    CTestRun* GetTestRunArrayElement(unsigned int index, unsigned int pass) const;
    // The runs in the order they were started; null at the end.
    CTestRun* GetFirstTestRun() const;
    CTestRun* GetNextTestRun() const;
    // The run started last while the cycle runs or has ended (not while IDLE
    // or ERROR): null otherwise.
    CTestRun* GetCurrentTest() const;
    unsigned int GetCurrentPassCount() const;

    // Setters throw std::logic_error while RUNNING or DEVICEINUSE; a maximum
    // time of 0 or less throws std::invalid_argument.
    void SetPasses(unsigned int passes);
    unsigned int GetPasses() const;
    void SetErrorLimit(unsigned int limit);
    unsigned int GetErrorLimit() const;
    unsigned int GetErrorCount() const;
    void SetMaxTime(long seconds);
    long GetMaxTime() const;
    void SetMinTime(long seconds);
    long GetMinTime() const;
    // The scenario pass this cycle belongs to.
    unsigned int GetPassCount() const;
    // Seconds since the start.
    long GetElapsedTime() const;

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
// Write nothing.
std::ostream& operator<<(std::ostream& os, const CCycle& cycle);
std::ostream& operator<<(std::ostream& os, const CCycleImp& cycle);

}  // namespace VELKCORE
