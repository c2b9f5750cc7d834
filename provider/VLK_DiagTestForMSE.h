// Builder of the "VLK_DiagTestForMSE" association instances.
#ifndef VLK_DIAG_TEST_FOR_MSE_H
#define VLK_DIAG_TEST_FOR_MSE_H

#include "VLK_CIM_AssociationBuilder.h"

PEGASUS_NAMESPACE_BEGIN

class VLK_DiagTestForMSE : public VLK_CIM_AssociationBuilder {
  public:
    VLK_DiagTestForMSE(const CIMOMHandle& cimom, const String& assocClass, const String& role1Name,
                       const String& role2Name, const String& role1Class, const String& role2Class);
    virtual ~VLK_DiagTestForMSE();
};

PEGASUS_NAMESPACE_END

#endif
