// Builder of the "VLK_DiagResultForMSE" association instances.
#ifndef VLK_DIAG_RESULT_FOR_MSE_H
#define VLK_DIAG_RESULT_FOR_MSE_H

#include "VLK_CIM_AssociationBuilder.h"
#include "VLK_DiagResult.h"

PEGASUS_NAMESPACE_BEGIN

class VLK_DiagResultForMSE : public VLK_CIM_AssociationBuilder {
  public:
    VLK_DiagResultForMSE(const CIMOMHandle& cimom, const String& assocClass,
                         const String& role1Name, const String& role2Name, const String& role1Class,
                         const String& role2Class, VLK_DiagResult& results);
    virtual ~VLK_DiagResultForMSE();
};

PEGASUS_NAMESPACE_END

#endif
