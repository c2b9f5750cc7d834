// The test catalogue: one VLK_DiagTest instance per test the engine offers on
// a device, named by its CIM test name.  A catalogue object lives for one
// request and rebuilds its list on every call.
#ifndef VLK_DIAG_TEST_H
#define VLK_DIAG_TEST_H

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Provider/CIMOMHandle.h>
#include <log4cpp/Category.hh>

PEGASUS_NAMESPACE_BEGIN

class VLK_DiagTest {
  public:
    explicit VLK_DiagTest(const CIMOMHandle& cimom);
    virtual ~VLK_DiagTest();

    Array<CIMInstance> getTestInstance(const CIMObjectPath& reference);
    Array<CIMInstance> enumTestInstances();
    Array<CIMObjectPath> enumTestReferences();

    static log4cpp::Category& log;

  private:
    // Rebuilds the catalogue from the engine's device and test lists.
    void buildTests();

    CIMOMHandle _cimom;
    Array<CIMObjectPath> _paths;
    Array<CIMInstance> _instances;
};

PEGASUS_NAMESPACE_END

#endif
