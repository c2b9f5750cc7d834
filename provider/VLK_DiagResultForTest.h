// Builder of the "VLK_DiagResultForTest" association instances.
#ifndef VLK_DIAG_RESULT_FOR_TEST_H
#define VLK_DIAG_RESULT_FOR_TEST_H

#include "VLK_CIM_AssociationBuilder.h"
#include "VLK_DiagResult.h"

PEGASUS_NAMESPACE_BEGIN

class VLK_DiagResultForTest : public VLK_CIM_AssociationBuilder {
  public:
    VLK_DiagResultForTest(const CIMOMHandle& cimom, const String& assocClass,
                          const String& role1Name, const String& role2Name,
                          const String& role1Class, const String& role2Class,
                          VLK_DiagResult& results);
    virtual ~VLK_DiagResultForTest();
};

PEGASUS_NAMESPACE_END

#endif
