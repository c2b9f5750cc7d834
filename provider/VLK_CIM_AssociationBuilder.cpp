#include "VLK_CIM_AssociationBuilder.h"

#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/OperationContext.h>
#include <Pegasus/Provider/ProviderException.h>

#include "VLK_CIM_InParameterHandler.h"
#include "VLK_Log.h"
#include "VLK_RequestContext.h"

PEGASUS_NAMESPACE_BEGIN

log4cpp::Category& VLK_CIM_AssociationBuilder::log =
    log4cpp::Category::getInstance("VLK_CIM_AssociationBuilder");

namespace {

const CIMNamespaceName NAMESPACE("root/korva");

}  // namespace

VLK_CIM_AssociationBuilder::VLK_CIM_AssociationBuilder(
    const CIMOMHandle& cimom, const String& assocClass, const String& role1Name,
    const String& role2Name, const String& role1Class, const String& role2Class)
    : _cimom(cimom),
      _assocClass(assocClass),
      _role1Name(role1Name),
      _role2Name(role2Name),
      _role1Class(role1Class),
      _role2Class(role2Class) {}

VLK_CIM_AssociationBuilder::~VLK_CIM_AssociationBuilder() {}

VLK_PathInstancePair VLK_CIM_AssociationBuilder::makeAssociation(
    const CIMObjectPath& role1Ref, const CIMObjectPath& role2Ref) const {
    CIMInstance instance(_assocClass);
    instance.addProperty(CIMProperty(_role1Name, CIMValue(role1Ref), 0, _role1Class));
    instance.addProperty(CIMProperty(_role2Name, CIMValue(role2Ref), 0, _role2Class));

    Array<CIMKeyBinding> keys;
    keys.append(CIMKeyBinding(_role1Name, role1Ref.toString(), CIMKeyBinding::STRING));
    keys.append(CIMKeyBinding(_role2Name, role2Ref.toString(), CIMKeyBinding::STRING));
    CIMObjectPath path(VLK_GetHostName(), VLK_GetNameSpace(), _assocClass, keys);
    return VLK_PathInstancePair(path, instance);
}

VLK_PathInstancePairs VLK_CIM_AssociationBuilder::getAssociations(
    const Array<CIMObjectPath>& role1Refs, const Array<CIMObjectPath>& role2Refs) {
    VLK_PathInstancePairs pairs;
    for (Uint32 j = 0; j < role2Refs.size(); j++) {
        for (Uint32 i = 0; i < role1Refs.size(); i++) {
            pairs.push_back(makeAssociation(role1Refs[i], role2Refs[j]));
        }
    }
    return pairs;
}

VLK_PathInstancePairs VLK_CIM_AssociationBuilder::getAssociations(
    const Array<CIMObjectPath>& role1Refs, const Array<CIMObjectPath>& role2Refs,
    const String& key1, const String& key2) {
    VLK_PathInstancePairs pairs;
    for (Uint32 j = 0; j < role2Refs.size(); j++) {
        String value2 = VLK_CIM_InParameterHandler::getKeyValue(role2Refs[j], key2);
        for (Uint32 i = 0; i < role1Refs.size(); i++) {
            if (String::equalNoCase(VLK_CIM_InParameterHandler::getKeyValue(role1Refs[i], key1),
                                    value2)) {
                pairs.push_back(makeAssociation(role1Refs[i], role2Refs[j]));
            }
        }
    }
    return pairs;
}

Array<CIMObjectPath> VLK_CIM_AssociationBuilder::enumerateNames(const String& className) {
    return _cimom.enumerateInstanceNames(OperationContext(), NAMESPACE, className);
}

CIMInstance VLK_CIM_AssociationBuilder::getAssocInstance(const CIMObjectPath& reference) const {
    VLK_LOG_INFO(log, " getAssocInstance(): instanceReference = " << reference.toString());
    for (const VLK_PathInstancePair& association : _associations) {
        VLK_LOG_DEBUG(log, "getMSEInstance() current object: " << association.first.toString());
        if (association.first == reference) {
            VLK_LOG_DEBUG(log, "getMSEInstance() *match*");
            return association.second.clone();
        }
    }
    throw CIMObjectNotFoundException("Invalid Reference");
}

Array<CIMInstance> VLK_CIM_AssociationBuilder::enumAssocInstances() const {
    Array<CIMInstance> instances;
    for (const VLK_PathInstancePair& association : _associations) {
        instances.append(association.second.clone());
    }
    return instances;
}

Array<CIMObjectPath> VLK_CIM_AssociationBuilder::enumAssocReferences() const {
    Array<CIMObjectPath> paths;
    for (const VLK_PathInstancePair& association : _associations) {
        paths.append(association.first);
    }
    return paths;
}

PEGASUS_NAMESPACE_END
