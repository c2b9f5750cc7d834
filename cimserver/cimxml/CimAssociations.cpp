#include "CimAssociations.h"

#include <Pegasus/Common/CIMProperty.h>

#include "CimValueText.h"

namespace velk::cimserver {

using namespace Pegasus;

namespace {

bool sameKeyValue(const CIMKeyBinding& a, const CIMKeyBinding& b) {
    bool aReference = a.getType() == CIMKeyBinding::REFERENCE;
    bool bReference = b.getType() == CIMKeyBinding::REFERENCE;
    if (aReference || bReference) {
        if (!aReference || !bReference) {
            return false;
        }
        try {
            return sameObject(CIMObjectPath(a.getValue()), CIMObjectPath(b.getValue()));
        } catch (const Exception&) {
            return false;
        }
    }
    return String::equalNoCase(a.getValue(), b.getValue());
}

// The scalar reference properties of an association instance.
std::vector<std::pair<std::string, CIMObjectPath>> referencesOf(const CIMInstance& association) {
    std::vector<std::pair<std::string, CIMObjectPath>> references;
    for (Uint32 i = 0; i < association.getPropertyCount(); i++) {
        CIMConstProperty property = association.getProperty(i);
        const CIMValue& value = property.getValue();
        if (value.isNull() || value.isArray() || value.getType() != CIMTYPE_REFERENCE) {
            continue;
        }
        CIMObjectPath path;
        value.get(path);
        references.emplace_back(toStdString(property.getName().getString()), path);
    }
    return references;
}

bool roleMatches(const std::string& wanted, const std::string& name) {
    return wanted.empty() || sameCimName(wanted, name);
}

// The association classes that can have instances, filtered by assocClass.
std::vector<std::string> associationClasses(const CimObjectManager& manager,
                                            const std::string& assocClass) {
    std::vector<std::string> classes;
    const ClassSchema& schema = manager.schema();
    for (const std::string& name : schema.classNames()) {
        const ClassDecl* declaration = schema.find(name);
        if (declaration->isAssociation() && !declaration->isAbstract() &&
            (assocClass.empty() || schema.isA(name, assocClass))) {
            classes.push_back(name);
        }
    }
    return classes;
}

// The name of the reference property through which association refers to
// the object, or empty.
std::string objectRole(const CIMInstance& association, const AssociationQuery& query) {
    for (const auto& [name, path] : referencesOf(association)) {
        if (roleMatches(query.role, name) && sameObject(path, query.object)) {
            return name;
        }
    }
    return "";
}

}  // namespace

bool sameObject(const CIMObjectPath& a, const CIMObjectPath& b) {
    if (!a.getClassName().equal(b.getClassName())) {
        return false;
    }
    const Array<CIMKeyBinding>& aKeys = a.getKeyBindings();
    const Array<CIMKeyBinding>& bKeys = b.getKeyBindings();
    if (aKeys.size() != bKeys.size()) {
        return false;
    }
    for (Uint32 i = 0; i < aKeys.size(); i++) {
        bool matched = false;
        for (Uint32 j = 0; j < bKeys.size() && !matched; j++) {
            matched =
                aKeys[i].getName().equal(bKeys[j].getName()) && sameKeyValue(aKeys[i], bKeys[j]);
        }
        if (!matched) {
            return false;
        }
    }
    return true;
}

std::vector<NamedInstance> findReferences(CimObjectManager& manager,
                                          const AssociationQuery& query) {
    std::vector<NamedInstance> found;
    for (const std::string& className : associationClasses(manager, query.assocClass)) {
        for (NamedInstance& association : manager.enumerateInstances(className)) {
            if (!sameCimName(toStdString(association.instance.getClassName().getString()),
                             className)) {
                continue;  // a subclass instance, met again under its own class
            }
            if (!objectRole(association.instance, query).empty()) {
                found.push_back(association);
            }
        }
    }
    return found;
}

std::vector<CIMObjectPath> findAssociatorNames(CimObjectManager& manager,
                                               const AssociationQuery& query) {
    std::vector<CIMObjectPath> found;
    const ClassSchema& schema = manager.schema();
    for (const NamedInstance& association : findReferences(manager, query)) {
        std::string role = objectRole(association.instance, query);
        for (const auto& [name, path] : referencesOf(association.instance)) {
            if (sameCimName(name, role) || !roleMatches(query.resultRole, name)) {
                continue;
            }
            std::string otherClass = toStdString(path.getClassName().getString());
            if (!query.resultClass.empty() && !schema.isA(otherClass, query.resultClass)) {
                continue;
            }
            bool known = false;
            for (const CIMObjectPath& earlier : found) {
                known = known || sameObject(earlier, path);
            }
            if (!known) {
                found.push_back(manager.localized(path));
            }
        }
    }
    return found;
}

}  // namespace velk::cimserver
