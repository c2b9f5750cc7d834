// velkcli's JSON text: JSON values built with nlohmann::json and laid out the
// way velkcli documents its output: two blanks of indentation per level, and
// every object or array that holds only plain values (strings, numbers,
// booleans, null) written on one line ({"id": "COUNT", "type": "uint32"},
// ["risky", "destructive"]).  Keys keep the order they were added in.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace velkcli {

using Json = nlohmann::ordered_json;

// The document and a line end.
std::string LayOut(const Json& document);

// One value on one line, with a blank after each ":" and ",".  Text that is
// not valid UTF-8 has its bad bytes replaced, never rejected.
std::string OneLine(const Json& value);

}  // namespace velkcli
