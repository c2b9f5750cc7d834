#include "VLK_DiagResultForMSE.h"

PEGASUS_NAMESPACE_BEGIN

// Every result is tied to every device the CIM server lists as "VLK_Device".
VLK_DiagResultForMSE::VLK_DiagResultForMSE(const CIMOMHandle& cimom, const String& assocClass,
                                           const String& role1Name, const String& role2Name,
                                           const String& role1Class, const String& role2Class,
                                           VLK_DiagResult& results)
    : VLK_CIM_AssociationBuilder(cimom, assocClass, role1Name, role2Name, role1Class, role2Class) {
    Array<CIMObjectPath> resultRefs = results.enumResultReferences();
    if (resultRefs.size() > 0) {
        _associations = getAssociations(resultRefs, enumerateNames(role2Class));
    }
}

VLK_DiagResultForMSE::~VLK_DiagResultForMSE() {}

PEGASUS_NAMESPACE_END
