// CIM values as CIM-XML writes them: type names, and the text of each value
// ("TRUE", "42", "20240131120000.000000+000", ...) in both directions.
#ifndef VELK_CIMSERVER_CIM_VALUE_TEXT_H
#define VELK_CIMSERVER_CIM_VALUE_TEXT_H

#include <string>
#include <vector>

#include <Pegasus/Common/CIMValue.h>

namespace velk::cimserver {

std::string toStdString(const Pegasus::String& text);
Pegasus::String toPegasusString(const std::string& text);

// "uint16" -> CIMTYPE_UINT16, "reference" -> CIMTYPE_REFERENCE (ignoring
// case). Throws std::invalid_argument for a name CIM does not define.
Pegasus::CIMType cimTypeFromName(const std::string& name);
std::string cimTypeName(Pegasus::CIMType type);

// Parses one non-reference value from its text: booleans ignoring case,
// integers in decimal (also "0x" hex) within the type's range, reals,
// datetimes, a single character for char16. Throws std::invalid_argument
// with a message naming the text and the type.
Pegasus::CIMValue parseCimValue(Pegasus::CIMType type, const std::string& text);
Pegasus::CIMValue parseCimArray(Pegasus::CIMType type, const std::vector<std::string>& texts);

// The text of each element of a non-reference value, one for a scalar; empty
// for NULL.
std::vector<std::string> cimValueTexts(const Pegasus::CIMValue& value);

// The references of a reference value, one for a scalar; empty for NULL.
std::vector<Pegasus::CIMObjectPath> cimValueReferences(const Pegasus::CIMValue& value);

}  // namespace velk::cimserver

#endif
