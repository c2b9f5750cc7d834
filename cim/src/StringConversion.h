// Number reading shared by the key-binding comparison, the object-path parser and CIMValue
// text conversions. Internal to the library.
#ifndef VELK_CIM_STRING_CONVERSION_H
#define VELK_CIM_STRING_CONVERSION_H

#include <string>

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/String.h>

PEGASUS_NAMESPACE_BEGIN

namespace StringConversion {

// Decimal without leading zeros ("0" itself is fine) or "0x"/"0X" followed by hex digits; the
// whole text must be used and the value must fit. Returns false and leaves x alone otherwise.
bool toUint64(const String& text, Uint64& x);
// An optional '+' or '-' followed by what toUint64 accepts, within the Sint64 range.
bool toSint64(const String& text, Sint64& x);
// A C floating-point literal using the whole text.
bool toReal64(const String& text, Real64& x);
// An integer as written in an object path key: optional sign, then decimal digits (leading
// zeros allowed) or 0x hex digits.
bool isIntegerLiteral(const String& text);
// The text as UTF-8.
std::string toUtf8(const String& text);

}  // namespace StringConversion

PEGASUS_NAMESPACE_END

#endif
