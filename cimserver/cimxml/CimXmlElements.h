// Reads the CIM-XML elements that carry object names, values and instances
// (DSP0201) from a pugixml tree. Every function throws
// Pegasus::CIMException(CIM_ERR_INVALID_PARAMETER) for an element that does
// not have the form it should.
#ifndef VELK_CIMSERVER_CIM_XML_ELEMENTS_H
#define VELK_CIMSERVER_CIM_XML_ELEMENTS_H

#include <string>

#include <pugixml.hpp>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMValue.h>

#include "ClassSchema.h"

namespace velk::cimserver {

[[noreturn]] void throwInvalidParameter(const std::string& message);

// All character data of the element (PCDATA and CDATA children).
std::string elementText(const pugi::xml_node& element);
// The attribute's value; throws when it is missing.
std::string requiredAttribute(const pugi::xml_node& element, const char* name);

// LOCALNAMESPACEPATH: the NAMESPACE names joined by '/'.
std::string readLocalNamespacePath(const pugi::xml_node& element);
// INSTANCENAME: class name and key bindings (no host, no namespace).
Pegasus::CIMObjectPath readInstanceName(const pugi::xml_node& element);
// INSTANCEPATH, LOCALINSTANCEPATH or INSTANCENAME.
Pegasus::CIMObjectPath readInstanceReference(const pugi::xml_node& element);
// VALUE.REFERENCE: the instance reference it holds.
Pegasus::CIMObjectPath readValueReference(const pugi::xml_node& element);

// The value of a VALUE, VALUE.ARRAY, VALUE.REFERENCE or VALUE.REFARRAY
// element (null element: NULL) as a value of the given type.
Pegasus::CIMValue readTypedValue(const pugi::xml_node& element, Pegasus::CIMType type,
                                 bool isArray);

// INSTANCE: properties typed by their TYPE attribute, else by the schema.
Pegasus::CIMInstance readInstance(const pugi::xml_node& element, const ClassSchema& schema);

}  // namespace velk::cimserver

#endif
