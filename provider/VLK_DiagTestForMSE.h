// Builder of the "VLK_DiagTestForMSE" association instances: each test tied
// to every device the engine lists it for, the Dependent reference naming
// the device's own class.
#ifndef VLK_DIAG_TEST_FOR_MSE_H
#define VLK_DIAG_TEST_FOR_MSE_H

#include "VLK_CIM_AssociationBuilder.h"

PEGASUS_NAMESPACE_BEGIN

class VLK_DiagTestForMSE : public VLK_CIM_AssociationBuilder {
  public:
    // Takes the engine lock: must not be built by code that holds it.
    VLK_DiagTestForMSE(const CIMOMHandle& cimom, const String& assocClass, const String& role1Name,
                       const String& role2Name, const String& role1Class, const String& role2Class);
    virtual ~VLK_DiagTestForMSE();

    // Every test instance, and every device instance class by class.
    VLK_PathInstancePairs getRole1ReferencesInstances();
    VLK_PathInstancePairs getRole2ReferencesInstances();
    static VLK_PathInstancePairs makePairArray(const Array<CIMObjectPath>& paths,
                                               const Array<CIMInstance>& instances);
    bool getStringPropertyFromRef(const CIMInstance& instance, const String& name, String& out);
    VLK_PathInstancePairs getTestForMSEAssociations(const VLK_PathInstancePairs& tests,
                                                    const VLK_PathInstancePairs& devices);

    static Sint32 getEstimatedTimeOfPerforming(const String& testName);
    static Boolean getIsExclusiveForMSE(const String& testName);
};

PEGASUS_NAMESPACE_END

#endif
