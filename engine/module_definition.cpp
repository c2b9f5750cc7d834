#include "module_definition.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace velk::engine {
namespace {

constexpr const char* kSection = "Module";

std::string Keyed(const char* base, int test) {
    return std::string(base) + "[" + std::to_string(test) + "]";
}

std::string Keyed(const char* base, int test, int parameter) {
    return Keyed(base, test) + "[" + std::to_string(parameter) + "]";
}

std::optional<std::string> Value(const IniFile& file, const std::string& key) {
    std::optional<std::string> value = file.Get(kSection, key);
    if (value) {
        *value = TrimBlanks(*value);
    }
    return value;
}

std::string Text(const IniFile& file, const std::string& key) {
    return Value(file, key).value_or("");
}

std::optional<int> Number(const IniFile& file, const std::string& key) {
    std::optional<std::string> value = Value(file, key);
    if (!value || value->empty()) {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    long number = std::strtol(value->c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || number < INT_MIN || number > INT_MAX) {
        return std::nullopt;
    }
    return static_cast<int>(number);
}

std::optional<bool> Flag(const IniFile& file, const std::string& key) {
    std::optional<std::string> value = Value(file, key);
    if (!value) {
        return std::nullopt;
    }
    return ParseIniBool(*value);
}

ParameterDefinition ReadParameter(const IniFile& file, int test, int p, std::string id) {
    ParameterDefinition parameter;
    parameter.id = std::move(id);
    parameter.type = Text(file, Keyed("szParameterType", test, p));
    parameter.nameId = Text(file, Keyed("szParameterName", test, p));
    parameter.descriptionId = Text(file, Keyed("szParameterDescription", test, p));
    parameter.mask = Value(file, Keyed("szParameterMask", test, p));
    parameter.defaultValue = Value(file, Keyed("szParameterDefaultValue", test, p));
    parameter.minValue = Value(file, Keyed("iParameterMinValue", test, p));
    parameter.maxValue = Value(file, Keyed("iParameterMaxValue", test, p));
    parameter.mustBeSet = Flag(file, Keyed("iParameterMustBeSet", test, p));
    parameter.recommendValidate = Flag(file, Keyed("iParameterRecommendValidate", test, p));
    return parameter;
}

TestDefinition ReadTest(const IniFile& file, int t) {
    TestDefinition test;
    test.index = t;
    test.nameId = Text(file, Keyed("szTestName", t));
    test.descriptionId = Text(file, Keyed("szTestDescription", t));
    test.flags = Number(file, Keyed("iTestFlags", t)).value_or(0);
    test.timeoutSeconds = Number(file, Keyed("iTestTimeout", t));
    test.estimatedSeconds = Number(file, Keyed("iTestEstDuration", t));
    for (int p = 0; p < ModuleDefinition::kMaxParameters; ++p) {
        std::optional<std::string> id = Value(file, Keyed("szParameterId", t, p));
        if (!id) {
            break;
        }
        test.parameters.push_back(ReadParameter(file, t, p, std::move(*id)));
    }
    return test;
}

}  // namespace

std::string TrimBlanks(const std::string& text) {
    std::string::size_type start = text.find_first_not_of(" \t");
    if (start == std::string::npos) {
        return {};
    }
    std::string::size_type end = text.find_last_not_of(" \t");
    return text.substr(start, end - start + 1);
}

bool ParseIniBool(const std::string& text) {
    std::string value = TrimBlanks(text);
    if (EqualsNoCase(value, "true") || EqualsNoCase(value, "yes") || EqualsNoCase(value, "on")) {
        return true;
    }
    return std::strtol(value.c_str(), nullptr, 10) != 0;
}

int ModuleDefinition::TypeNumber() const {
    if (EqualsNoCase(type, "DIAG")) {
        return 1;
    }
    if (EqualsNoCase(type, "RUNTIME")) {
        return 2;
    }
    if (EqualsNoCase(type, "SYSINFO")) {
        return 3;
    }
    return 0;
}

const TestDefinition* ModuleDefinition::Test(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= tests.size()) {
        return nullptr;
    }
    return &tests[static_cast<std::size_t>(index)];
}

ModuleDefinition ModuleDefinition::FromIni(const IniFile& file) {
    ModuleDefinition module;
    module.clientName = Text(file, "szModuleName");
    module.type = Text(file, "szType");
    module.moduleId = Text(file, "szModuleId");
    module.nameId = Text(file, "szNameId");
    module.descriptionId = Text(file, "szDescriptionId");
    module.version = Text(file, "szVersion");
    int count = Number(file, "iNumTests").value_or(0);
    count = count < 0 ? 0 : (count > kMaxTests ? kMaxTests : count);
    for (int t = 0; t < count; ++t) {
        module.tests.push_back(ReadTest(file, t));
    }
    return module;
}

}  // namespace velk::engine
