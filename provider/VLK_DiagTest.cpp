#include "VLK_DiagTest.h"

#include <Pegasus/Provider/ProviderException.h>

#include "VLK_Log.h"

PEGASUS_NAMESPACE_BEGIN

log4cpp::Category& VLK_DiagTest::log = log4cpp::Category::getInstance("VLK_DiagTest");

VLK_DiagTest::VLK_DiagTest(const CIMOMHandle& cimom) : _cimom(cimom) {}

VLK_DiagTest::~VLK_DiagTest() {}

void VLK_DiagTest::buildTests() {
    // The engine client does not publish tests to the provider yet, so the
    // catalogue holds no test.
    _paths.clear();
    _instances.clear();
}

Array<CIMInstance> VLK_DiagTest::getTestInstance(const CIMObjectPath& reference) {
    VLK_LOG_INFO(log, "in getTestInstance()");
    buildTests();
    Array<CIMInstance> found;
    for (Uint32 i = 0; i < _paths.size(); i++) {
        VLK_LOG_DEBUG(log, "CIMObjectPath:   " << _paths[i].toString());
        if (_paths[i] == reference) {
            found.append(_instances[i].clone());
            VLK_LOG_INFO(log, "return getTestInstances()");
            return found;
        }
    }
    VLK_LOG_ERROR(log, "exception: Invalid Reference");
    throw CIMObjectNotFoundException("Invalid Reference");
}

Array<CIMInstance> VLK_DiagTest::enumTestInstances() {
    VLK_LOG_INFO(log, "enumTestInstances()");
    buildTests();
    Array<CIMInstance> copies;
    for (Uint32 i = 0; i < _instances.size(); i++) {
        copies.append(_instances[i].clone());
    }
    VLK_LOG_INFO(log, "return enumTestInstances()");
    return copies;
}

Array<CIMObjectPath> VLK_DiagTest::enumTestReferences() {
    VLK_LOG_INFO(log, "enumTestReferences()");
    buildTests();
    VLK_LOG_INFO(log, "return enumTestReferences()");
    return _paths;
}

PEGASUS_NAMESPACE_END
