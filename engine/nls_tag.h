// NLS tags as they travel in texts: "<NLS mod=MODULE id=ID  VAR=value/>".
// Attributes are split on runs of blanks; values are not quoted; variable
// values are escaped with the message layer's escape scheme ("@hh").
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velk::engine {

struct NlsTag {
    std::string module;  // empty when the tag names none
    std::string id;
    std::vector<std::pair<std::string, std::string>> variables;  // values unescaped

    // "<NLS mod=MODULE id=ID />" with each variable appended as
    // "  NAME=escaped" before "/>" (the first after two blanks), as the
    // module interface writes them.
    std::string Text() const;
};

// The tag at the start of text (which must begin with "<NLS " and hold its
// closing '>'); nothing for anything else or a tag without id.
std::optional<NlsTag> ParseNlsTag(std::string_view text);

// text with each "{NAME}" of a variable replaced by its value.
std::string SubstituteVariables(std::string_view text, const NlsTag& tag);

// The message layer's escape of text (letters, digits and a few marks stay).
std::string EscapeText(const std::string& text);

// True for a text the message layer accepts as an identifier (mod, id and
// variable names), and not empty.
bool IsNlsIdentifier(std::string_view text);

}  // namespace velk::engine
