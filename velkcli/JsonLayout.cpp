#include "JsonLayout.h"

#include <algorithm>

namespace velkcli {

namespace {

bool Plain(const Json& value) {
    return !value.is_object() && !value.is_array();
}

bool HoldsOnlyPlainValues(const Json& value) {
    return std::all_of(value.begin(), value.end(), [](const Json& item) { return Plain(item); });
}

std::string Scalar(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void Write(const Json& value, const std::string& indent, std::string& out) {
    if (Plain(value) || value.empty() || HoldsOnlyPlainValues(value)) {
        out += OneLine(value);
        return;
    }
    const std::string inner = indent + "  ";
    const bool object = value.is_object();
    out += object ? "{\n" : "[\n";
    bool first = true;
    for (auto item = value.begin(); item != value.end(); ++item) {
        out += first ? "" : ",\n";
        first = false;
        out += inner;
        if (object) {
            out += Scalar(Json(item.key())) + ": ";
        }
        Write(item.value(), inner, out);
    }
    out += "\n" + indent + (object ? "}" : "]");
}

}  // namespace

std::string OneLine(const Json& value) {
    if (Plain(value)) {
        return Scalar(value);
    }
    const bool object = value.is_object();
    std::string out = object ? "{" : "[";
    bool first = true;
    for (auto item = value.begin(); item != value.end(); ++item) {
        out += first ? "" : ", ";
        first = false;
        if (object) {
            out += Scalar(Json(item.key())) + ": ";
        }
        out += OneLine(item.value());
    }
    return out + (object ? "}" : "]");
}

std::string LayOut(const Json& document) {
    std::string out;
    Write(document, "", out);
    return out + "\n";
}

}  // namespace velkcli
