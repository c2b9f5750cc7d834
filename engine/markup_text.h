// Texts inside the engine's messages.  Modules send texts unescaped, so a
// careless one may put markup ("<b>", "a < b") into a name or event text;
// such text must not reach a client as markup.  The engine's rule: a
// complete NLS tag ("<NLS " ... "/>" without another '<' or '>' inside) is
// kept as it is, every other '<' becomes '[' and every other '>' becomes
// ']', and control characters become blanks.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velk::engine {

// The text under the rule above.
std::string NeutraliseMarkup(std::string_view text);

// The length of the complete NLS tag at text's start, 0 when there is none.
std::size_t NlsTagLength(std::string_view text);

// True when every '<' of text starts a complete tag ("<NAME>", "</NAME>",
// "<NAME/>" or an NLS tag) and the tags nest and close properly.
bool IsBalancedMarkup(std::string_view text);

// "<name>" + content + "</name>"; content is taken as it is.
std::string Element(std::string_view name, std::string_view content);
// Element(name, NeutraliseMarkup(text)).
std::string TextElement(std::string_view name, std::string_view text);

// The content of the skip-th element at the slash-separated path, read with
// the message layer's tag-path reader; nothing when absent.
std::optional<std::string> FieldOf(const std::string& text, const char* path, int skip = 0);

// The texts between each start and the next end that follows it, in order
// (start and end excluded); an unclosed last one is not returned.
std::vector<std::string> SplitElements(std::string_view text, std::string_view start,
                                       std::string_view end);

}  // namespace velk::engine
