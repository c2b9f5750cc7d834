#include "VLK_DiagTestForMSE.h"

PEGASUS_NAMESPACE_BEGIN

// Tests are tied to the devices the engine lists them for.  The engine client
// does not publish devices and tests to the provider yet, so there is nothing
// to pair.
VLK_DiagTestForMSE::VLK_DiagTestForMSE(const CIMOMHandle& cimom, const String& assocClass,
                                       const String& role1Name, const String& role2Name,
                                       const String& role1Class, const String& role2Class)
    : VLK_CIM_AssociationBuilder(cimom, assocClass, role1Name, role2Name, role1Class, role2Class) {}

VLK_DiagTestForMSE::~VLK_DiagTestForMSE() {}

PEGASUS_NAMESPACE_END
