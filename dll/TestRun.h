// CTestRun: one execution of one CTest inside the diagnostic engine.  The
// engine runs a test process for it, known by a process id text; the run
// asks for its state, percent complete, progress text and final result,
// collects its log messages, stops it and finally releases the engine's
// process, after which every value comes from what was saved.
//
// CTestRun is the interface of a CTestRunImp; destroying either side destroys
// the other.  Cycles create and own their runs.
#pragma once

#include <ostream>
#include <string>

namespace VELKCORE {

class CTestRunImp;
class CTest;
class CMessage;
class CTestParameter;

class CTestRun {
  public:
    enum State : int { UNDEFINED = 0, INITIALIZING = 1, RUNNING = 2, EXITED = 3 };
    enum Result : int {
        INVALIDRESULT = 0,
        PASS = 1,
        SETUPERROR = 2,
        FAILED = 3,
        DEVICEBUSY = 4,
        INSUFFICIENTPRIVELEGE = 5,
        NOTAPPLICABLE = 6,
        BADPARAMS = 7,
        NOMEDIA = 8,
        DISCONTINUED = 9,
        NODEVICE = 10,
        TIMEDOUT = 11,
        EXITEDABNORMALLY = 12
    };
    // Result codes of the operations.
    static constexpr int OK = 0;
    static constexpr int FAILURE = 1;
    static constexpr int VALUE_REFUSED = 2;
    static constexpr int DEVICE_IN_USE = 3;
    // Start only: the parameter list does not fit the START_TEST command.
    static constexpr int PARAMETERS_TOO_LONG = 4;
    static constexpr int NOT_AVAILABLE = 5;
    static constexpr int UNKNOWN_PROCESS = 114;
    // The process id of a run that has no engine process.
    static constexpr const char* UNDEF_PROCESS_ID = "UNDEF";

    // A run of test (creates its implementation).
    explicit CTestRun(const CTest* test);
    // The interface of imp, which owns it.
    explicit CTestRun(CTestRunImp* imp);
    virtual ~CTestRun();
    CTestRun(const CTestRun&) = delete;
    CTestRun& operator=(const CTestRun&) = delete;

    // Asks the engine to stop the test (STOP_TEST); the end shows in later
    // state queries.
    int Stop();
    int GetState(State& state) const;
    // 0 and the percent while running (or saved after the end), 5 while the
    // value is not running progress, 1 without an answer.
    int GetPercentComplete(int& percent) const;
    // 0 once final, 5 while the test has not ended (or never started).
    int GetResult(Result& result) const;
    int GetProgressInformation(std::string& text) const;
    int GetProcessID(std::string& id) const;
    int GetPassCount(unsigned int& pass) const;
    int GetTest(const CTest** test) const;
    // The log messages in sequence order: null and 5 when there is no
    // (further) message yet, null and 1 when the engine cannot be asked.
    int GetFirstMessage(CMessage** message) const;
    int GetNextMessage(CMessage** message) const;
    // The run's own copies of the test's parameters, as applied when the
    // run was made.
    int GetParameterArraySize(unsigned int& size) const;
    int GetParameterArrayElement(unsigned int index, CTestParameter** parameter) const;
    // The part of the device to test: 0 applied, 2 refused by the module's
    // validation, 1 no verdict.
    int SetPercentToTest(float percent);
    int SetPercentToTest(int percent);
    int GetPercentToTest(float& percent) const;
    int GetPercentToTest(int& percent) const;

    // "INVALID", "PASS", "SETUP ERROR", "FAILED", "DEVICE BUSY",
    // "INSUFFICIENT PRIVILEGE", "NOT APPLICABLE", "BAD PARAMETERS",
    // "NO MEDIA", "DISCONTINUED", "NO DEVICE", "TIMEDOUT", "EXITED
    // ABNORMALLY".
    static std::string TestResultToString(Result result);
    // "UNDEFINED", "INITIALIZING", "RUNNING", "EXITED".
    static std::string TestStateToString(State state);

    CTestRunImp* Imp() const { return imp_; }

  private:
    friend class CTestRunImp;
    CTestRunImp* imp_;
    bool ownsImp_;
};

}  // namespace VELKCORE
