#include "nls_text.h"

#include <cstring>
#include <vector>

#include "bxi2.h"

namespace velk::module {

namespace {

// A value whose blanks are no-break spaces, which read the same.
std::string KeepWhole(const std::string& value) {
    std::string whole;
    for (char c : value) {
        whole += c == ' ' ? std::string("\xC2\xA0") : std::string(1, c);
    }
    return whole;
}

template <typename Variables>
std::string BuildTag(std::string_view id, const Variables& variables) {
    std::string idText(id);
    const char* base = Bxi2_NlsTagToToken(idText.c_str());
    if (base == nullptr) {
        return idText;
    }
    std::size_t room = std::strlen(base) + 1;
    for (const NlsVariable& variable : variables) {
        // Escaping writes at most three bytes per value byte; a blank
        // becomes two bytes first.
        room += variable.first.size() + 6 * variable.second.size() + 4;
    }
    std::vector<char> tag(room);
    std::memcpy(tag.data(), base, std::strlen(base) + 1);
    for (const NlsVariable& variable : variables) {
        std::string name(variable.first);
        if (Bxi2_NlsAddVariableToTag(tag.data(), static_cast<uint32_t>(tag.size()), name.c_str(),
                                     KeepWhole(variable.second).c_str()) != 0) {
            return idText;
        }
    }
    return tag.data();
}

}  // namespace

std::string NlsTag(std::string_view id, std::initializer_list<NlsVariable> variables) {
    return BuildTag(id, variables);
}

std::string NlsTag(std::string_view id, const std::vector<NlsVariable>& variables) {
    return BuildTag(id, variables);
}

std::string SanitizeText(std::string_view text) {
    std::string clean;
    clean.reserve(text.size());
    for (char c : text) {
        if (c == '<') {
            clean += '[';
        } else if (c == '>') {
            clean += ']';
        } else if (c == '@') {
            clean += '_';
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            clean += ' ';
        } else {
            clean += c;
        }
    }
    return clean;
}

}  // namespace velk::module
