// Builder of the "VLK_DiagTestSoftwareAssoc" association instances.
#ifndef VLK_DIAG_TEST_SOFTWARE_ASSOC_H
#define VLK_DIAG_TEST_SOFTWARE_ASSOC_H

#include "VLK_CIM_AssociationBuilder.h"

PEGASUS_NAMESPACE_BEGIN

class VLK_DiagTestSoftwareAssoc : public VLK_CIM_AssociationBuilder {
  public:
    VLK_DiagTestSoftwareAssoc(const CIMOMHandle& cimom, const String& assocClass,
                              const String& role1Name, const String& role2Name,
                              const String& role1Class, const String& role2Class);
    virtual ~VLK_DiagTestSoftwareAssoc();
};

PEGASUS_NAMESPACE_END

#endif
