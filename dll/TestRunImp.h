// CTestRunImp: the implementation of CTestRun.
//
// Engine commands: START_TEST, STOP_TEST, GET_TEST_STATUS, GET_TEST_MESSAGES
// and FREE_TEST_PROCESS to the diagnostic engine.  Every operation that
// talks to the engine holds scoped-mutex entry 2 for the whole exchange; the
// message cursor holds entry 5 and the parameter list entry 10.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TestRun.h"

namespace VELKCORE {

class CCycleImp;
class CDeviceImp;
class CMessage;
class CMessageImp;
class CTestImp;
class CTestParamImp;

class CTestRunImp {
  public:
    // Size of the START_TEST command area: a parameter list that does not
    // fit is refused, never cut.
    static constexpr unsigned int START_BUFFER = 8192;
    // Consecutive state queries that get no usable answer before the run
    // counts as lost with its engine.
    static constexpr int LOST_AFTER_FAILURES = 3;
    // Start status, as the owning cycle uses it.
    static constexpr int STARTED = 0;
    static constexpr int SKIPPED_BUSY = 1;
    static constexpr int NOT_STARTED = 2;

    // A run of test, with copies of its parameters as they are now; it
    // creates and owns its interface object.
    explicit CTestRunImp(const CTestImp* test);
    // The implementation of iface.
    CTestRunImp(CTestRun* iface, const CTestImp* test);
    // A run of the same test with the same parameters, percent to test and
    // pass number; it has no engine process of its own.
    CTestRunImp(const CTestRunImp& other);
    CTestRunImp& operator=(const CTestRunImp&) = delete;
    // Releases the engine process unless released already.
    virtual ~CTestRunImp();

    CTestRun* Interface() const { return iface_; }

    // Back to a run that never started (no process, no messages).
    void init();
    // START_TEST: 0 started (the process id is kept), 3 the device is in
    // use, 4 a parameter list that does not fit the command (nothing is
    // sent), 1 otherwise (no answer, refused).
    int Start();
    // Takes over a process the engine runs already: RUNNING at once.
    int MakeRunning(const std::string& processId);
    int Stop();
    int GetState(CTestRun::State& state);
    // The same without telling the owning cycle of a change.
    int GetStateNoCycleUpdate(CTestRun::State& state);
    int GetResult(CTestRun::Result& result);
    int GetPercentComplete(int& percent);
    int GetProgressInformation(std::string& text);
    // FREE_TEST_PROCESS: 1 released, 0 not (no process, no answer, unknown).
    int FreeProcess();
    int GetFirstMessage(CMessage** message);
    int GetNextMessage(CMessage** message);
    int SetPercentToTest(float percent);
    int SetPercentToTest(int percent);
    int GetPercentToTest(float& percent) const;
    int GetPercentToTest(int& percent) const;

    // The parameter part of START_TEST: ":" + "param=ID,VALUE" for the
    // percent to test and every applied parameter.
    void GetParamList(std::string& list) const;
    // The START_TEST command text, or nothing when it would not fit the
    // command area.
    std::optional<std::string> StartCommand() const;
    bool IsValid() const;

    // The process id (takes the run's lock).
    std::string ProcessId() const;
    bool HasProcess() const { return hasProcess_; }
    bool Released() const { return released_; }
    // The engine stopped answering for this run: it ended without a result.
    bool EngineLost() const { return engineLost_; }
    // The result of the last Start (0 started, 3 device in use, 1 refused).
    int LastStartResult() const { return lastStartResult_; }
    // Why the last Start did not start the test ("" when it did).
    const std::string& StartRefusal() const { return startRefusal_; }
    const CTestImp* Test() const { return test_; }
    // The device of the test (null when the test has none).
    const CDeviceImp* Device() const;
    void SetPassCount(unsigned int pass) { passCount_ = pass; }
    unsigned int GetPassCount() const { return passCount_; }
    void SetCycle(CCycleImp* cycle) { cycle_ = cycle; }
    void SetStartStatus(int status) { startStatus_ = status; }
    int GetStartStatus() const { return startStatus_; }
    // Records a final outcome without asking the engine (used by the cycle
    // when a run can no longer be asked).
    void ForceExited();
    void SetSavedResult(CTestRun::Result result);
    const std::vector<std::unique_ptr<CTestParamImp>>& Parameters() const { return parameters_; }
    const std::vector<std::unique_ptr<CMessage>>& Messages() const { return messages_; }
    int MessageIterator() const { return cursor_; }

    // Maps the engine's numbers.
    static CTestRun::Result ResultFromEngine(int finalResult);
    static CTestRun::State StateFromEngine(int state);
    // Reads one DE_RETRIEVED_TEST_MESSAGE into message: false when a field
    // is missing or too long.
    static bool GetMessageFromDEMessage(const char* text, CMessageImp& message);
    // Adds an item unless it is not newer than the last one held.  A negative
    // sequence number marks the end of the items (false).
    bool AddRetrievedMessage(const CMessageImp& message);

  private:
    friend class CTestRun;
    int GetStateWorker(CTestRun::State& state, bool tellCycle);
    int GetResultWorker(CTestRun::Result& result);
    int GetFinalTestRunInfo();
    int RequestTestMessages();
    int RetrieveTestMessages();
    int FreeProcessWorker();
    // A transaction with command word + ":" + the process id.
    int ProcessCommand(const char* word, unsigned int bufferSize, int waitMs,
                       std::string& reply) const;
    void NoteUnanswered();

    std::vector<std::unique_ptr<CMessage>> messages_;
    int cursor_ = 0;
    std::vector<std::unique_ptr<CTestParamImp>> parameters_;
    std::unique_ptr<CTestParamImp> percentToTest_;
    // Sets the process id and whether it names a process.
    void SetProcessId(const std::string& id);

    std::string processId_;
    // Readable without the run's lock: whether there is a process, whether it
    // was released, the state.
    std::atomic<bool> hasProcess_{false};
    std::atomic<int> startStatus_{NOT_STARTED};
    std::atomic<bool> released_{false};
    std::atomic<CTestRun::State> state_{CTestRun::UNDEFINED};
    CCycleImp* cycle_ = nullptr;
    int savedPercent_ = 0;
    CTestRun::Result savedResult_ = CTestRun::INVALIDRESULT;
    CTestRun* iface_;
    bool ownsIface_;
    unsigned int passCount_ = 0;
    const CTestImp* test_;
    std::atomic<int> lastStartResult_{-1};
    std::string startRefusal_;
    int unanswered_ = 0;
    std::atomic<bool> engineLost_{false};
};

}  // namespace VELKCORE
