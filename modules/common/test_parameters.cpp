#include "test_parameters.h"

#include <cerrno>
#include <cstdlib>
#include <strings.h>

#include "bxi2.h"
#include "param-valid.h"

namespace velk::module {

std::optional<std::string> ParameterText(std::string_view id) {
    for (Bxi2_Parameter* parameter = Bxi2_GetFirstParameter(); parameter != nullptr;
         parameter = Bxi2_GetNextParameter()) {
        if (id == Bxi2_GetParameterId(parameter)) {
            return std::string(Bxi2_GetParameterValAsStr(parameter));
        }
    }
    return std::nullopt;
}

namespace {

std::optional<bool> BoolFromText(const std::string& text) {
    for (const char* yes : {"1", "true", "yes", "on"}) {
        if (strcasecmp(text.c_str(), yes) == 0) {
            return true;
        }
    }
    for (const char* no : {"0", "false", "no", "off"}) {
        if (strcasecmp(text.c_str(), no) == 0) {
            return false;
        }
    }
    return std::nullopt;
}

std::optional<long long> NumberFromText(const char* text) {
    char* end = nullptr;
    errno = 0;
    long long value = std::strtoll(text, &end, 10);
    if (text[0] == '\0' || *end != '\0' || errno != 0) {
        return std::nullopt;
    }
    return value;
}

int NumberFlag(const Bxi2_Parameter* parameter) {
    std::optional<long long> value = NumberFromText(Bxi2_GetParameterValAsStr(parameter));
    if (!value) {
        return VELK_PARAM_VALUE_BAD;
    }
    if (Bxi2_GetParameterType(parameter) == VELK_PARAM_TYPE_UINT32 &&
        (*value < 0 || *value > 4294967295LL)) {
        return *value < 0 ? VELK_PARAM_VALUE_TOO_SMALL : VELK_PARAM_VALUE_TOO_BIG;
    }
    if (Bxi2_GetParameterHasMinVal(parameter)) {
        std::optional<long long> minimum = NumberFromText(Bxi2_GetParameterMinValAsStr(parameter));
        if (minimum && *value < *minimum) {
            return VELK_PARAM_VALUE_TOO_SMALL;
        }
    }
    if (Bxi2_GetParameterHasMaxVal(parameter)) {
        std::optional<long long> maximum = NumberFromText(Bxi2_GetParameterMaxValAsStr(parameter));
        if (maximum && *value > *maximum) {
            return VELK_PARAM_VALUE_TOO_BIG;
        }
    }
    return VELK_PARAM_VALID;
}

int ParameterFlag(const Bxi2_Parameter* parameter) {
    if (Bxi2_GetParameterValidFlag(parameter) == VELK_PARAM_ID_NOT_RECOGNIZED) {
        return VELK_PARAM_ID_NOT_RECOGNIZED;
    }
    switch (Bxi2_GetParameterType(parameter)) {
        case VELK_PARAM_TYPE_INT32:
        case VELK_PARAM_TYPE_UINT32:
            return NumberFlag(parameter);
        case VELK_PARAM_TYPE_BOOL:
            return BoolFromText(Bxi2_GetParameterValAsStr(parameter)) ? VELK_PARAM_VALID
                                                                      : VELK_PARAM_VALUE_BAD;
        case VELK_PARAM_TYPE_FLOAT: {
            const char* text = Bxi2_GetParameterValAsStr(parameter);
            char* end = nullptr;
            std::strtod(text, &end);
            return text[0] != '\0' && *end == '\0' ? VELK_PARAM_VALID : VELK_PARAM_VALUE_BAD;
        }
        case VELK_PARAM_TYPE_STRING:
            return VELK_PARAM_VALID;
        default:
            return VELK_PARAM_VALUE_BAD;
    }
}

}  // namespace

bool ParameterBool(std::string_view id, bool fallback) {
    std::optional<std::string> text = ParameterText(id);
    if (!text) {
        return fallback;
    }
    return BoolFromText(*text).value_or(fallback);
}

std::uint64_t ParameterUnsigned(std::string_view id, std::uint64_t fallback) {
    std::optional<std::string> text = ParameterText(id);
    if (!text) {
        return fallback;
    }
    std::optional<long long> value = NumberFromText(text->c_str());
    return value && *value >= 0 ? static_cast<std::uint64_t>(*value) : fallback;
}

bool CheckParameters() {
    bool allValid = true;
    for (Bxi2_Parameter* parameter = Bxi2_GetFirstParameter(); parameter != nullptr;
         parameter = Bxi2_GetNextParameter()) {
        int flag = ParameterFlag(parameter);
        Bxi2_SetParameterValidFlag(parameter, flag);
        allValid = allValid && flag == VELK_PARAM_VALID;
    }
    return allValid;
}

}  // namespace velk::module
