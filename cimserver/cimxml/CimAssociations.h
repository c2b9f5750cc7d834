// Associations as the server computes them from the association classes of
// the schema: every instance of an association class whose references name
// the object is one of its references, and the objects at the other ends are
// its associators.
#ifndef VELK_CIMSERVER_CIM_ASSOCIATIONS_H
#define VELK_CIMSERVER_CIM_ASSOCIATIONS_H

#include <string>
#include <vector>

#include <Pegasus/Common/CIMObjectPath.h>

#include "CimObjectManager.h"

namespace velk::cimserver {

// Whether two paths name the same instance: class names and key bindings
// compared ignoring case, reference keys compared the same way, host and
// namespace ignored.
bool sameObject(const Pegasus::CIMObjectPath& a, const Pegasus::CIMObjectPath& b);

struct AssociationQuery {
    Pegasus::CIMObjectPath object;
    std::string assocClass;   // association classes: this one and its subclasses; empty: all
    std::string resultClass;  // classes of the other ends; empty: all
    std::string role;         // the reference property that names the object; empty: any
    std::string resultRole;   // the reference property of the other end; empty: any
};

// The association instances that refer to query.object (through query.role);
// resultClass and resultRole are not used here.
std::vector<NamedInstance> findReferences(CimObjectManager& manager, const AssociationQuery& query);

// The distinct objects at the other ends of those associations, filtered by
// resultClass and resultRole.
std::vector<Pegasus::CIMObjectPath> findAssociatorNames(CimObjectManager& manager,
                                                        const AssociationQuery& query);

}  // namespace velk::cimserver

#endif
