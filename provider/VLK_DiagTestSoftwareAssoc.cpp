#include "VLK_DiagTestSoftwareAssoc.h"

#include "VLK_DiagTest.h"

PEGASUS_NAMESPACE_BEGIN

// Every test software instance of the CIM server is tied to every test.
VLK_DiagTestSoftwareAssoc::VLK_DiagTestSoftwareAssoc(
    const CIMOMHandle& cimom, const String& assocClass, const String& role1Name,
    const String& role2Name, const String& role1Class, const String& role2Class)
    : VLK_CIM_AssociationBuilder(cimom, assocClass, role1Name, role2Name, role1Class, role2Class) {
    VLK_DiagTest tests(cimom);
    Array<CIMObjectPath> testRefs = tests.enumTestReferences();
    if (testRefs.size() > 0) {
        _associations = getAssociations(enumerateNames(role1Class), testRefs);
    }
}

VLK_DiagTestSoftwareAssoc::~VLK_DiagTestSoftwareAssoc() {}

PEGASUS_NAMESPACE_END
