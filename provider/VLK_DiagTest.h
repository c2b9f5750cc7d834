// The test catalogue: one VLK_DiagTest instance per test the engine offers,
// named by its CIM test name ("<module id>:<index>:<test name>").  A
// catalogue object lives for one request and rebuilds its list on every
// call.  An execution object (built with a test name and device ID) keeps
// its list and reaches the test's result through its own result handle.
#ifndef VLK_DIAG_TEST_H
#define VLK_DIAG_TEST_H

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMParamValue.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Provider/CIMOMHandle.h>
#include <log4cpp/Category.hh>

#include "VLK_DiagResult.h"
#include "VLK_RunningTest.h"

namespace VELKCORE {
class CTest;
}

PEGASUS_NAMESPACE_BEGIN

class VLK_DiagTest {
  public:
    struct RefInstTest {
        CIMObjectPath path;
        CIMInstance instance;
        // Owned by the engine's test environment.
        const VELKCORE::CTest* test;
    };
    typedef std::vector<RefInstTest> RefInstTests;

    explicit VLK_DiagTest(const CIMOMHandle& cimom);
    VLK_DiagTest(const CIMOMHandle& cimom, const String& testName, const String& deviceID);
    virtual ~VLK_DiagTest();

    Array<CIMInstance> getTestInstance(const CIMObjectPath& reference);
    Array<CIMInstance> enumTestInstances();
    Array<CIMObjectPath> enumTestReferences();

    Uint32 getInstanceIndex(const String& name);
    // Only IsInUse and Started (any case) may be read or written.
    CIMValue getTestProperty(const String& name, const String& property);
    void setTestProperty(const String& name, const String& property, const CIMValue& value);
    bool getHasCharacteristic(const String& name, Uint16 code);

    // The catalogue read from the engine now.
    RefInstTests buildTests();

    // The result of this object's test on its device, through its handle.
    bool createResults();
    CIMValue retrieveResultProperty(const String& property) const;
    CIMObjectPath retrieveResultReference() const;
    void writeToResults(const String& property, const CIMValue& value);
    void writeTestResults(const String& text);

    // RunTest return values.
    static const Uint32 RETURN_RAN = 0;
    static const Uint32 RETURN_BUSY = 5;
    static const Uint32 RETURN_NO_RESULT = 1024;
    static const Uint32 RETURN_EXCLUSIVE_IN_USE = 1034;
    // doVLKTest gives up waiting for the engine to start the test after this
    // long: longer than the engine client waits for START_TEST (15 s) plus
    // a module's start-up.
    static const int START_WAIT_SECONDS = 30;

    // Loop controls the caller passed with RunTest; processTest writes them
    // into the result before the first start.
    void setLoopControls(const Array<Uint16>& controls, const Array<String>& parameters);
    // Runs the test (RunTest): creates or resets its result, checks that it
    // may run, starts it as often as the loop controls ask and returns the
    // method's return value; adds the out-parameter "Result" for 0 and 5.
    CIMValue processTest(Array<CIMParamValue>& outParameters);
    Uint32 verifyExclusivity();
    Uint32 executeTest();
    // Starts the test on the device once and follows it until the engine has
    // created its run; true when a run was started.
    bool doVLKTest(const String& deviceID);

    const String& getTestName() const { return _testName; }
    const String& getDeviceID() const { return _deviceID; }

    static log4cpp::Category& log;

  private:
    void AddTest(RefInstTests& list, std::unordered_set<std::string>& names,
                 const VELKCORE::CTest* test, const String& systemName,
                 const String& systemCreationClassName);
    void buildIfEmpty();
    // The start did not happen: the result says so instead of staying in
    // progress.
    void recordStartFailure(const char* why);
    // Follows the run of the last start until its record is complete.
    void waitForLastRun();

    CIMOMHandle _cimom;
    String _testName;
    String _deviceID;
    VLK_DiagResult _results;
    RefInstTests _tests;
    Array<Uint16> _loopControls;
    Array<String> _loopControlParameters;
    std::shared_ptr<VLK_RunningTest> _lastRun;
};

PEGASUS_NAMESPACE_END

#endif
