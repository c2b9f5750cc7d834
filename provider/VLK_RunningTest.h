// A started test run that the provider keeps following after its RunTest
// call has returned: each update copies the run's percent complete into the
// test's result and, once the run has ended, its final state, result text
// and recommended actions.  A discontinue request (TestState 7 in the
// result) makes the next update stop the run and record it as terminated.
#ifndef VLK_RUNNING_TEST_H
#define VLK_RUNNING_TEST_H

#include <atomic>
#include <chrono>

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/String.h>
#include <log4cpp/Category.hh>

#include "TestRun.h"
#include "VLK_DiagResult.h"

namespace VELKCORE {
class CCycle;
class CScenario;
}  // namespace VELKCORE

PEGASUS_NAMESPACE_BEGIN

class VLK_RunningTest {
  public:
    // A run that stays RUNNING this long after it was told to stop is no
    // longer followed (its result already says TERMINATED).
    static constexpr std::chrono::seconds DISCONTINUE_LIMIT{15};
    // Updates a run may stay INITIALIZING after it was told to stop.
    static constexpr int DISCONTINUE_INITIALIZING_CHECKS = 3;

    // cycle and run belong to scenario, which the engine environment owns;
    // the record gives a scenario back to the environment once it is done
    // with it (a null scenario is left alone).  Made with the engine lock
    // held: it belongs to the environment of that moment.
    VLK_RunningTest(const String& deviceID, const String& testName, const String& processID,
                    VLK_DiagResult& result, VELKCORE::CCycle* cycle, VELKCORE::CTestRun* run,
                    VELKCORE::CScenario* scenario = nullptr);
    virtual ~VLK_RunningTest();
    VLK_RunningTest(const VLK_RunningTest&) = delete;
    VLK_RunningTest& operator=(const VLK_RunningTest&) = delete;

    // One monitoring step; takes the engine lock itself and never holds it
    // longer than one engine exchange.
    void update();
    bool isComplete() const { return complete; }
    // True once a discontinue request stopped this run.
    bool wasTerminated() const { return terminated; }
    // Writes TestState for a final run result.
    void writeFinalResult(const VELKCORE::CTestRun::Result& result);
    // The engine environment that ran the test is gone (engine lock held):
    // the result is closed as an abnormal end, since no final state can come
    // any more, and the record is complete without touching engine objects.
    void abandon();

    static log4cpp::Category& log;

  private:
    void stopAfterDiscontinueRequest();
    bool stoppedRunHasEnded(VELKCORE::CTestRun::State state);
    void finish();
    void writeToResults(const String& property, const CIMValue& value);
    void writeTestResults(const String& text);
    CIMValue retrieveResultProperty(const String& property) const;

    String _deviceID;
    String _testName;
    String _processID;
    VLK_DiagResult _result;
    VELKCORE::CCycle* _cycle;
    VELKCORE::CTestRun* _run;
    VELKCORE::CScenario* _scenario;
    std::atomic<bool> complete{false};
    std::atomic<bool> terminated{false};
    std::chrono::steady_clock::time_point terminatedAt;
    int initializingChecks = 0;
    unsigned long _generation;
};

PEGASUS_NAMESPACE_END

#endif
