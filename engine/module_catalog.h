// The modules in the bin directory: every executable NAME.linux with a
// definitions file NAME.vkm beside it is the module "NAME.vkm".  The catalog
// is read again for every enumeration, so that modules added or removed
// meanwhile are seen; entries are shared so that a device list keeps the
// modules it was built from.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "module_definition.h"

namespace velk::engine {

struct ModuleEntry {
    std::string name;             // "NAME.vkm", the module name of NLS tags
    std::string stem;             // "NAME"
    std::string executable;       // bin/NAME.linux
    std::string definitionsFile;  // bin/NAME.vkm
    ModuleDefinition definition;
};

using ModulePtr = std::shared_ptr<const ModuleEntry>;

class ModuleCatalog {
  public:
    static constexpr std::string_view kExecutableSuffix = ".linux";
    static constexpr std::string_view kDefinitionsSuffix = ".vkm";

    // Reads binDirectory; modules whose definitions file cannot be read are
    // left out.  Sorted by module name.
    static ModuleCatalog Scan(const std::string& binDirectory);

    const std::vector<ModulePtr>& Modules() const { return modules_; }
    // By "NAME" or "NAME.vkm"; null when unknown.
    ModulePtr FindByName(std::string_view name) const;

  private:
    std::vector<ModulePtr> modules_;
};

// "NAME" of "NAME.vkm" (or of "NAME" itself).
std::string_view ModuleStem(std::string_view name);

}  // namespace velk::engine
