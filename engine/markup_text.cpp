#include "markup_text.h"

#include "gen-str.h"
#include "message-protocol.h"

namespace velk::engine {
namespace {

constexpr std::string_view kNlsTagStart = "<NLS ";
constexpr std::string_view kNlsTagEnd = "/>";

bool IsNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// The name at text's start (letters, digits, '_').
std::string_view NameAt(std::string_view text) {
    std::size_t length = 0;
    while (length < text.size() && IsNameChar(text[length])) {
        ++length;
    }
    return text.substr(0, length);
}

}  // namespace

std::size_t NlsTagLength(std::string_view text) {
    if (text.substr(0, kNlsTagStart.size()) != kNlsTagStart) {
        return 0;
    }
    // One pass up to the first '<' or '>': a text of many unfinished tags
    // costs no more than its length.
    for (std::size_t i = kNlsTagStart.size(); i < text.size(); ++i) {
        if (text[i] == '<') {
            return 0;
        }
        if (text[i] == '>') {
            return text.substr(i - 1, kNlsTagEnd.size()) == kNlsTagEnd ? i + 1 : 0;
        }
    }
    return 0;
}

std::string NeutraliseMarkup(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t tag = text[i] == '<' ? NlsTagLength(text.substr(i)) : 0;
        if (tag > 0) {
            result.append(text.substr(i, tag));
            i += tag;
            continue;
        }
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '<') {
            result.push_back('[');
        } else if (c == '>') {
            result.push_back(']');
        } else if (c < 0x20 || c == 0x7f) {
            result.push_back(' ');
        } else {
            result.push_back(text[i]);
        }
        ++i;
    }
    return result;
}

bool IsBalancedMarkup(std::string_view text) {
    std::vector<std::string_view> open;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '>') {
            return false;
        }
        if (text[i] != '<') {
            ++i;
            continue;
        }
        std::string_view rest = text.substr(i);
        if (std::size_t tag = NlsTagLength(rest); tag > 0) {
            i += tag;
            continue;
        }
        bool closing = rest.size() > 1 && rest[1] == '/';
        std::string_view name = NameAt(rest.substr(closing ? 2 : 1));
        if (name.empty()) {
            return false;
        }
        std::size_t after = (closing ? 2 : 1) + name.size();
        if (closing) {
            if (after >= rest.size() || rest[after] != '>' || open.empty() || open.back() != name) {
                return false;
            }
            open.pop_back();
            i += after + 1;
        } else if (after < rest.size() && rest[after] == '>') {
            open.push_back(name);
            i += after + 1;
        } else if (after + 1 < rest.size() && rest[after] == '/' && rest[after + 1] == '>') {
            i += after + 2;
        } else {
            return false;
        }
    }
    return open.empty();
}

std::string Element(std::string_view name, std::string_view content) {
    std::string element;
    element.reserve(2 * name.size() + content.size() + 5);
    element.append("<").append(name).append(">");
    element.append(content);
    element.append("</").append(name).append(">");
    return element;
}

std::string TextElement(std::string_view name, std::string_view text) {
    return Element(name, NeutraliseMarkup(text));
}

std::optional<std::string> FieldOf(const std::string& text, const char* path, int skip) {
    CGenStr content;
    if (!CGenStrInit(&content)) {
        return std::nullopt;
    }
    std::optional<std::string> value;
    if (VelkXmlGetFieldStr(text.c_str(), path, skip, &content) == VELK_MSG_OK) {
        value.emplace(CGenStrC_Str(&content));
    }
    CGenStrDelete(&content);
    return value;
}

std::vector<std::string> SplitElements(std::string_view text, std::string_view start,
                                       std::string_view end) {
    std::vector<std::string> parts;
    std::string_view::size_type position = 0;
    for (;;) {
        std::string_view::size_type open = text.find(start, position);
        if (open == std::string_view::npos) {
            return parts;
        }
        open += start.size();
        std::string_view::size_type close = text.find(end, open);
        if (close == std::string_view::npos) {
            return parts;
        }
        parts.emplace_back(text.substr(open, close - open));
        position = close + end.size();
    }
}

}  // namespace velk::engine
