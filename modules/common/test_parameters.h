// The parameters of the current run or validation, as the module interface
// holds them (values from the command line, types and limits from the
// definitions file).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velk::module {

// The value text of parameter id, or nothing when it was not given.
std::optional<std::string> ParameterText(std::string_view id);

// The value as a boolean ("1", "true", "yes", "on" in any case), or fallback
// when the parameter was not given.
bool ParameterBool(std::string_view id, bool fallback);

// The value as an unsigned number, or fallback when not given.
std::uint64_t ParameterUnsigned(std::string_view id, std::uint64_t fallback);

// Checks every parameter against its type and limits and sets its valid flag;
// true when all are valid.  Unknown ids keep the flag the interface gave
// them (id not recognized).
bool CheckParameters();

}  // namespace velk::module
