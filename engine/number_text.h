// Decimal numbers in the texts of messages, modules' data and commands: digits
// only, no blanks, no '+', no overflow.
#pragma once

#include <optional>
#include <string_view>

namespace velk::engine {

// A decimal number of up to 10 digits that fits 32 bits; nothing otherwise.
std::optional<unsigned> ParseUnsigned(std::string_view text);
// An optional '-' and up to 10 digits within int; nothing otherwise.
std::optional<int> ParseInt(std::string_view text);

}  // namespace velk::engine
