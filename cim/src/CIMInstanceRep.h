// The shared representation behind CIMInstance, CIMConstInstance and CIMObject. Internal to the
// library.
#ifndef VELK_CIM_INSTANCE_REP_H
#define VELK_CIM_INSTANCE_REP_H

#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMProperty.h>

PEGASUS_NAMESPACE_BEGIN

struct CIMInstanceRep {
    CIMName className;
    CIMObjectPath path;
    Array<CIMProperty> properties;

    CIMInstanceRep() = default;
    CIMInstanceRep(const CIMInstanceRep&) = delete;
    CIMInstanceRep& operator=(const CIMInstanceRep&) = delete;
    // Releases the hold on every property (see CIMPropertyRep::owners).
    ~CIMInstanceRep();

    Uint32 find(const CIMName& name) const;
    void add(const CIMProperty& property);
    void remove(Uint32 index);
};

PEGASUS_NAMESPACE_END

#endif
