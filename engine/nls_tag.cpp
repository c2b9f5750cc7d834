#include "nls_tag.h"

#include <cstdlib>
#include <vector>

#include "message-protocol.h"

namespace velk::engine {
namespace {

constexpr std::string_view kTagStart = "<NLS ";

std::string Unescape(std::string_view text) {
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    VelkXmlConvertFromXmlToText(buffer.data());
    return std::string(buffer.data());
}

}  // namespace

bool IsNlsIdentifier(std::string_view text) {
    std::string copy(text);
    return !copy.empty() && IsBadXmlIdentifier(copy.c_str()) == 0;
}

std::string EscapeText(const std::string& text) {
    char* escaped = VelkXmlAllocStringAndConvertToXml(text.c_str());
    if (escaped == nullptr) {
        return {};
    }
    std::string result(escaped);
    if (escaped != text.c_str()) {
        std::free(escaped);
    }
    return result;
}

std::string NlsTag::Text() const {
    std::string text(kTagStart);
    if (!module.empty()) {
        text += "mod=" + module + " ";
    }
    text += "id=" + id + " ";
    for (const auto& [name, value] : variables) {
        text += " " + name + "=" + EscapeText(value);
    }
    text += "/>";
    return text;
}

std::optional<NlsTag> ParseNlsTag(std::string_view text) {
    if (text.substr(0, kTagStart.size()) != kTagStart) {
        return std::nullopt;
    }
    std::string_view::size_type close = text.find('>');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view attributes = text.substr(kTagStart.size(), close - kTagStart.size());
    if (!attributes.empty() && attributes.back() == '/') {
        attributes.remove_suffix(1);
    }
    NlsTag tag;
    while (!attributes.empty()) {
        std::string_view::size_type start = attributes.find_first_not_of(' ');
        if (start == std::string_view::npos) {
            break;
        }
        attributes.remove_prefix(start);
        std::string_view::size_type end = attributes.find(' ');
        std::string_view attribute = attributes.substr(0, end);
        attributes = end == std::string_view::npos ? std::string_view() : attributes.substr(end);
        std::string_view::size_type equals = attribute.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        std::string_view name = attribute.substr(0, equals);
        std::string_view value = attribute.substr(equals + 1);
        if (name == "mod") {
            tag.module = std::string(value);
        } else if (name == "id") {
            tag.id = std::string(value);
        } else if (IsNlsIdentifier(name)) {
            tag.variables.emplace_back(std::string(name), Unescape(value));
        }
    }
    if (tag.id.empty()) {
        return std::nullopt;
    }
    return tag;
}

std::string SubstituteVariables(std::string_view text, const NlsTag& tag) {
    std::string result;
    result.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        bool replaced = false;
        if (text[i] == '{') {
            for (const auto& [name, value] : tag.variables) {
                if (text.substr(i + 1, name.size()) == name &&
                    text.substr(i + 1 + name.size(), 1) == "}") {
                    result += value;
                    i += name.size() + 2;
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) {
            result.push_back(text[i]);
            ++i;
        }
    }
    return result;
}

}  // namespace velk::engine
