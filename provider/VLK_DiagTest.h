// The test catalogue: one VLK_DiagTest instance per test the engine offers,
// named by its CIM test name ("<module id>:<index>:<test name>").  A
// catalogue object lives for one request and rebuilds its list on every
// call.  An execution object (built with a test name and device ID) keeps
// its list and reaches the test's result through its own result handle.
#ifndef VLK_DIAG_TEST_H
#define VLK_DIAG_TEST_H

#include <string>
#include <unordered_set>
#include <vector>

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Provider/CIMOMHandle.h>
#include <log4cpp/Category.hh>

#include "VLK_DiagResult.h"

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

    const String& getTestName() const { return _testName; }
    const String& getDeviceID() const { return _deviceID; }

    static log4cpp::Category& log;

  private:
    void AddTest(RefInstTests& list, std::unordered_set<std::string>& names,
                 const VELKCORE::CTest* test, const String& systemName,
                 const String& systemCreationClassName);
    void buildIfEmpty();

    CIMOMHandle _cimom;
    String _testName;
    String _deviceID;
    VLK_DiagResult _results;
    RefInstTests _tests;
};

PEGASUS_NAMESPACE_END

#endif
