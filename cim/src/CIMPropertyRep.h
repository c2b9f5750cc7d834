// The shared representation behind CIMProperty and CIMConstProperty. Internal to the library.
#ifndef VELK_CIM_PROPERTY_REP_H
#define VELK_CIM_PROPERTY_REP_H

#include <atomic>

#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMValue.h>

PEGASUS_NAMESPACE_BEGIN

struct CIMPropertyRep {
    CIMName name;
    CIMValue value;
    Uint32 arraySize = 0;
    CIMName referenceClassName;
    CIMName classOrigin;
    Boolean propagated = false;
    // How many instances hold this property; a held property keeps its name.
    std::atomic<Uint32> owners{0};
};

PEGASUS_NAMESPACE_END

#endif
