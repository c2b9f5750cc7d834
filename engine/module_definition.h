// A module's definitions file (NAME.vkm), section "Module", as the engine
// uses it: the module's identity and its tests with their parameters.  The
// keys are those of modules/README.md; texts are NLS ids of the module's
// string file.  Values are taken without surrounding blanks.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ini_file.h"

namespace velk::engine {

struct ParameterDefinition {
    std::string id;
    std::string type;  // "int32", "uint32", "bool", "float" or "string"
    std::string nameId;
    std::string descriptionId;
    std::optional<std::string> mask;
    std::optional<std::string> defaultValue;
    std::optional<std::string> minValue;
    std::optional<std::string> maxValue;
    std::optional<bool> mustBeSet;
    std::optional<bool> recommendValidate;
};

struct TestDefinition {
    int index = 0;
    std::string nameId;
    std::string descriptionId;
    int flags = 0;
    std::optional<int> timeoutSeconds;
    std::optional<int> estimatedSeconds;
    std::vector<ParameterDefinition> parameters;
};

struct ModuleDefinition {
    // Tests and parameters beyond these are not read (the engine client reads
    // no more than 100 of either).
    static constexpr int kMaxTests = 100;
    static constexpr int kMaxParameters = 100;

    std::string clientName;  // szModuleName
    std::string type;        // szType
    std::string moduleId;    // szModuleId
    std::string nameId;      // szNameId
    std::string descriptionId;
    std::string version;
    std::vector<TestDefinition> tests;  // index i at position i

    // The number the engine reports as the module's TYPE: 1 DIAG, 2 RUNTIME,
    // 3 SYSINFO, 0 any other.
    int TypeNumber() const;
    const TestDefinition* Test(int index) const;

    static ModuleDefinition FromIni(const IniFile& file);
};

// "1", "true", "yes", "on" (without case) and other non-zero numbers are
// true; anything else is false.
bool ParseIniBool(const std::string& text);
// Leading and trailing blanks and tabs removed.
std::string TrimBlanks(const std::string& text);

}  // namespace velk::engine
