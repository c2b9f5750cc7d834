// The provider's facade over the diagnostic engine: the one test environment
// the whole provider shares, the engine lock that serialises every use of it,
// the running-test records, and the translation of CIM test and device
// identities into engine objects.  Static members only.
#ifndef VLK_ENGINE_H
#define VLK_ENGINE_H

#include <pthread.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/String.h>
#include <log4cpp/Category.hh>

#include "VLK_RunningTest.h"

namespace VELKCORE {
class CTestEnvironment;
class CTest;
class CCycle;
class CScenario;
}  // namespace VELKCORE

PEGASUS_NAMESPACE_BEGIN

class VLK_Engine {
  public:
    // Holds the engine lock from construction to Unlock() or scope end.
    class AutoLock {
      public:
        AutoLock();
        ~AutoLock();
        AutoLock(const AutoLock&) = delete;
        AutoLock& operator=(const AutoLock&) = delete;
        void Unlock();
        bool held() const { return locked; }

      private:
        bool locked;
    };

    VLK_Engine() = delete;

    // The shared, started test environment (lock held).  Starts it on first
    // use, and again when the last start failed or its engine has gone;
    // throws EngineException "Error Starting Engine" when it cannot start.
    static VELKCORE::CTestEnvironment* getTestEnvironment();

    static void Lock();
    static void Unlock();
    static bool TryLock();
    // Stops the first scenario and the environment and deletes it.
    static void Stop();

    // "<module id>:<index in module>:<test name>" (lock held).
    static String getCIMTestName(const VELKCORE::CTest* pTest);
    // The tests of the device with this name and hardware locator (lock held).
    static std::vector<VELKCORE::CTest*> getTestArrayForDevice(VELKCORE::CTestEnvironment* te,
                                                               String deviceName, String deviceID);
    // A new scenario with one cycle running the test of this CIM name on the
    // device of this hardware locator; null when either is unknown.
    static VELKCORE::CCycle* getNewTestCycle(VELKCORE::CTestEnvironment* te, const String& testName,
                                             const String& deviceID,
                                             VELKCORE::CScenario** ppScenario);
    static VELKCORE::CCycle* buildCycle(VELKCORE::CTestEnvironment* te, VELKCORE::CTest* test,
                                        VELKCORE::CScenario** ppScenario);

    // Recommended-actions keys: "<module id>_<index>" and "<module id>_NoMedia".
    static String getRecommnedActionsTestName(const String& cimTestName);
    static String getRecommnedActionsTestNameNoMedia(const String& cimTestName);

    // Tells the run of this test on this device in scenario 0 to stop.
    static bool StopTest(const String& testName, const String& deviceID);
    // Takes ownership of the record.
    static void addRunningTest(VLK_RunningTest* runningTest);
    static void addRunningTest(std::shared_ptr<VLK_RunningTest> runningTest);
    // Stops a scenario whose test has been followed to its end and removes
    // it from the environment (lock held); one still running stays.
    static void releaseScenario(VELKCORE::CScenario* scenario);
    // Changes each time the environment is discarded: engine objects taken
    // from an older one are gone (lock held to read it meaningfully).
    static unsigned long environmentGeneration();
    // Advances incomplete records and drops complete ones.
    static void update();
    static unsigned int runningTestCount();

    static log4cpp::Category& log;

  private:
    static void discardEnvironment();

    static VELKCORE::CTestEnvironment* pTE;
    static pthread_mutex_t _tMutex;
    // True while some thread holds the engine lock (one flag for the process).
    static std::atomic<bool> mutexLocked;
    // runningTestsMutex guards the list only and is never held while a record
    // updates; updateMutex makes updates run one at a time.
    static std::mutex runningTestsMutex;
    static std::mutex updateMutex;
    static std::vector<std::shared_ptr<VLK_RunningTest>> runningTests;
    static unsigned long generation;
};

PEGASUS_NAMESPACE_END

#endif
