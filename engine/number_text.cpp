#include "number_text.h"

#include <climits>
#include <cstdint>

namespace velk::engine {

std::optional<unsigned> ParseUnsigned(std::string_view text) {
    if (text.empty() || text.size() > 10) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > UINT_MAX) {
        return std::nullopt;
    }
    return static_cast<unsigned>(value);
}

std::optional<int> ParseInt(std::string_view text) {
    bool negative = !text.empty() && text.front() == '-';
    std::optional<unsigned> magnitude = ParseUnsigned(negative ? text.substr(1) : text);
    if (!magnitude || *magnitude > static_cast<unsigned>(INT_MAX)) {
        return std::nullopt;
    }
    int value = static_cast<int>(*magnitude);
    return negative ? -value : value;
}

}  // namespace velk::engine
