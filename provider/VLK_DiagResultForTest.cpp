#include "VLK_DiagResultForTest.h"

#include "VLK_DiagTest.h"

PEGASUS_NAMESPACE_BEGIN

// A result is tied to the test whose Name equals its DiagnosticName.
VLK_DiagResultForTest::VLK_DiagResultForTest(const CIMOMHandle& cimom, const String& assocClass,
                                             const String& role1Name, const String& role2Name,
                                             const String& role1Class, const String& role2Class,
                                             VLK_DiagResult& results)
    : VLK_CIM_AssociationBuilder(cimom, assocClass, role1Name, role2Name, role1Class, role2Class) {
    Array<CIMObjectPath> resultRefs = results.enumResultReferences();
    if (resultRefs.size() > 0) {
        VLK_DiagTest tests(cimom);
        _associations =
            getAssociations(resultRefs, tests.enumTestReferences(), "DiagnosticName", "Name");
    }
}

VLK_DiagResultForTest::~VLK_DiagResultForTest() {}

PEGASUS_NAMESPACE_END
