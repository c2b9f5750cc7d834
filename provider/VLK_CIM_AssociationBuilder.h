// Base of the association builders: computes the complete list of
// association instances of one class when it is constructed and answers get
// and enumerate requests from that list.
#ifndef VLK_CIM_ASSOCIATION_BUILDER_H
#define VLK_CIM_ASSOCIATION_BUILDER_H

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Provider/CIMOMHandle.h>
#include <log4cpp/Category.hh>

#include "VLK_PathInstancePairs.h"

PEGASUS_NAMESPACE_BEGIN

class VLK_CIM_AssociationBuilder {
  public:
    VLK_CIM_AssociationBuilder(const CIMOMHandle& cimom, const String& assocClass,
                               const String& role1Name, const String& role2Name,
                               const String& role1Class, const String& role2Class);
    virtual ~VLK_CIM_AssociationBuilder();

    CIMInstance getAssocInstance(const CIMObjectPath& reference) const;
    Array<CIMInstance> enumAssocInstances() const;
    Array<CIMObjectPath> enumAssocReferences() const;

    // Every role 2 reference (outer) with every role 1 reference (inner).
    virtual VLK_PathInstancePairs getAssociations(const Array<CIMObjectPath>& role1Refs,
                                                  const Array<CIMObjectPath>& role2Refs);
    // Only the pairs whose key values (key1 of role 1, key2 of role 2) match
    // ignoring case.
    virtual VLK_PathInstancePairs getAssociations(const Array<CIMObjectPath>& role1Refs,
                                                  const Array<CIMObjectPath>& role2Refs,
                                                  const String& key1, const String& key2);

    static log4cpp::Category& log;

  protected:
    VLK_PathInstancePair makeAssociation(const CIMObjectPath& role1Ref,
                                         const CIMObjectPath& role2Ref) const;
    // Instance names of a class, enumerated through the CIM server.
    Array<CIMObjectPath> enumerateNames(const String& className);

    CIMOMHandle _cimom;
    VLK_PathInstancePairs _associations;
    String _assocClass;
    String _role1Name;
    String _role2Name;
    String _role1Class;
    String _role2Class;
};

PEGASUS_NAMESPACE_END

#endif
