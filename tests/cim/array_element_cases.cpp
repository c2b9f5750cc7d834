// Compiled by array_element_check.cmake once per ARRAY_CASE: case 0 must
// compile (Array of every element type the OpenPegasus libraries provide),
// every other case must be rejected at compile time.
#include <string>

#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMDateTime.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMObject.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMParamValue.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/Char16.h>
#include <Pegasus/Common/Pair.h>
#include <Pegasus/Common/String.h>

PEGASUS_USING_PEGASUS;

template <class... T>
Uint32 sizes() {
    return (Array<T>().size() + ...);
}

struct DeviceRecord {
    String name;
};

#if ARRAY_CASE == 0
Uint32 provided =
    sizes<Boolean, Uint8, Sint8, Uint16, Sint16, Uint32, Sint32, Uint64, Sint64, Real32, Real64,
          Char16, String, char, CIMDateTime, CIMInstance, CIMKeyBinding, CIMObjectPath, CIMName,
          CIMNamespaceName, CIMObject, CIMParamValue, CIMProperty, CIMValue>();
#elif ARRAY_CASE == 1
Uint32 rejected = sizes<Pair<CIMObjectPath, CIMInstance> >();
#elif ARRAY_CASE == 2
Uint32 rejected = sizes<CIMConstInstance>();
#elif ARRAY_CASE == 3
Uint32 rejected = sizes<std::string>();
#elif ARRAY_CASE == 4
Uint32 rejected = sizes<DeviceRecord>();
#elif ARRAY_CASE == 5
Uint32 rejected = sizes<int*>();
#elif ARRAY_CASE == 6
Uint32 rejected = sizes<Array<Sint8> >();
#endif
