// Texts a module sends: NLS tags of its own string file, with variables, and
// escaping of free text that goes into an event unescaped.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velk::module {

using NlsVariable = std::pair<std::string_view, std::string>;

// "<NLS mod=<this module>.vkm id=ID  NAME=value .../>"; values are escaped
// by the tag format, and their blanks are sent as no-break spaces: the tag
// format leaves blanks unescaped while readers split its attributes at
// blanks, so "AMD EPYC" would arrive as "AMD".  An id alone when the tag
// cannot be built.
std::string NlsTag(std::string_view id, std::initializer_list<NlsVariable> variables = {});
std::string NlsTag(std::string_view id, const std::vector<NlsVariable>& variables);

// Free text from the machine (models, serial numbers) made safe for element
// content that the interface inserts as it is: "<" and ">" become "[" and
// "]", the message escape character "@" becomes "_", control characters
// become blanks.
std::string SanitizeText(std::string_view text);

}  // namespace velk::module
