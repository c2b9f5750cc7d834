#include "module_catalog.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "tracing.h"

namespace velk::engine {
namespace {

bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() > suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool IsExecutableFile(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

bool IsRegularFile(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

std::vector<std::string> ExecutableStems(const std::string& directory) {
    std::vector<std::string> stems;
    DIR* listing = opendir(directory.c_str());
    if (listing == nullptr) {
        VTRACE(VELK_TRACE_DE, "cannot read the bin directory %s\n", directory.c_str());
        return stems;
    }
    while (struct dirent* entry = readdir(listing)) {
        std::string_view name = entry->d_name;
        if (EndsWith(name, ModuleCatalog::kExecutableSuffix)) {
            stems.emplace_back(
                name.substr(0, name.size() - ModuleCatalog::kExecutableSuffix.size()));
        }
    }
    closedir(listing);
    return stems;
}

}  // namespace

std::string_view ModuleStem(std::string_view name) {
    return EndsWith(name, ModuleCatalog::kDefinitionsSuffix)
               ? name.substr(0, name.size() - ModuleCatalog::kDefinitionsSuffix.size())
               : name;
}

ModuleCatalog ModuleCatalog::Scan(const std::string& binDirectory) {
    ModuleCatalog catalog;
    std::vector<std::string> stems = ExecutableStems(binDirectory);
    std::sort(stems.begin(), stems.end());
    for (const std::string& stem : stems) {
        auto entry = std::make_shared<ModuleEntry>();
        entry->stem = stem;
        entry->name = stem + std::string(kDefinitionsSuffix);
        entry->executable = binDirectory + "/" + stem + std::string(kExecutableSuffix);
        entry->definitionsFile = binDirectory + "/" + entry->name;
        if (!IsExecutableFile(entry->executable) || !IsRegularFile(entry->definitionsFile)) {
            continue;
        }
        std::optional<IniFile> definitions = IniFile::Load(entry->definitionsFile);
        if (!definitions) {
            VTRACE(VELK_TRACE_DE, "module %s left out: cannot read %s\n", entry->name.c_str(),
                   entry->definitionsFile.c_str());
            continue;
        }
        entry->definition = ModuleDefinition::FromIni(*definitions);
        catalog.modules_.push_back(std::move(entry));
    }
    return catalog;
}

ModulePtr ModuleCatalog::FindByName(std::string_view name) const {
    std::string_view stem = ModuleStem(name);
    for (const ModulePtr& module : modules_) {
        if (module->stem == stem) {
            return module;
        }
    }
    return nullptr;
}

}  // namespace velk::engine
