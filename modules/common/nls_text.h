// Texts a module sends: NLS tags of its own string file, with variables, and
// escaping of free text that goes into an event unescaped.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace velk::module {

using NlsVariable = std::pair<std::string_view, std::string>;

// "<NLS mod=<this module>.vkm id=ID  NAME=value .../>"; values are escaped
// by the tag format.  An id alone when the tag cannot be built.
std::string NlsTag(std::string_view id, std::initializer_list<NlsVariable> variables = {});

// Free text from the machine (models, serial numbers) made safe for element
// content that the interface inserts as it is: "<" and ">" become "[" and
// "]", the message escape character "@" becomes "_", control characters
// become blanks.
std::string SanitizeText(std::string_view text);

}  // namespace velk::module
