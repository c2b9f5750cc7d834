#include "nls_catalog.h"

#include <dirent.h>

#include <algorithm>
#include <set>

#include "engine_strings.h"
#include "module_catalog.h"
#include "tracing.h"

namespace velk::engine {
namespace {

constexpr std::string_view kStringSuffix = ".nls";

bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() > suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The string file name of a registered name.
std::string StringFileName(std::string_view name) {
    if (EndsWith(name, kStringSuffix)) {
        return std::string(name);
    }
    return std::string(ModuleStem(name)) + std::string(kStringSuffix);
}

}  // namespace

std::string NormaliseLanguage(std::string_view code) {
    if (code.size() != 2) {
        return {};
    }
    std::string result;
    for (char c : code) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        if (c < 'A' || c > 'Z') {
            return {};
        }
        result.push_back(c);
    }
    return result;
}

NlsCatalog::NlsCatalog(std::string binDirectory) : binDirectory_(std::move(binDirectory)) {
    files_[std::string(kEngineStringModule)] = FromIni(IniFile::Parse(EngineStringFile()));
}

NlsCatalog::StringFile NlsCatalog::FromIni(const IniFile& file) {
    StringFile strings;
    for (const IniFile::Section& section : file.Sections()) {
        std::string language = NormaliseLanguage(section.name);
        if (language.empty()) {
            continue;
        }
        auto existing = std::find_if(strings.begin(), strings.end(),
                                     [&](const auto& entry) { return entry.first == language; });
        if (existing != strings.end()) {
            continue;  // "[en]" after "[EN]": the first counts
        }
        std::map<std::string, std::string> texts;
        for (const auto& [id, text] : section.entries) {
            texts.emplace(id, text);  // the first line of an id counts
        }
        strings.emplace_back(std::move(language), std::move(texts));
    }
    return strings;
}

void NlsCatalog::LoadBinDirectory() {
    DIR* listing = opendir(binDirectory_.c_str());
    if (listing == nullptr) {
        return;
    }
    std::vector<std::string> names;
    while (struct dirent* entry = readdir(listing)) {
        std::string_view name = entry->d_name;
        if (EndsWith(name, ModuleCatalog::kDefinitionsSuffix)) {
            names.emplace_back(name);
        }
    }
    closedir(listing);
    for (const std::string& name : names) {
        Register(name);
    }
}

bool NlsCatalog::Register(std::string_view name) {
    if (!IsNlsIdentifier(name) || name.find('/') != std::string_view::npos ||
        name == kEngineStringModule || name.front() == '.') {
        return false;
    }
    std::string path = binDirectory_ + "/" + StringFileName(name);
    std::optional<IniFile> file = IniFile::Load(path);
    if (!file) {
        VTRACE(VELK_TRACE_NLS, "no string file %s for %.*s\n", path.c_str(),
               static_cast<int>(name.size()), name.data());
        return false;
    }
    files_[std::string(name)] = FromIni(*file);
    return true;
}

const NlsCatalog::StringFile* NlsCatalog::Find(std::string_view module) const {
    if (module.empty()) {
        module = kEngineStringModule;
    }
    auto found = files_.find(module);
    return found != files_.end() ? &found->second : nullptr;
}

std::vector<std::pair<std::string, std::string>> NlsCatalog::Texts(const NlsTag& tag) const {
    std::vector<std::pair<std::string, std::string>> texts;
    const StringFile* file = Find(tag.module);
    if (file == nullptr) {
        return texts;
    }
    for (const auto& [language, strings] : *file) {
        auto found = strings.find(tag.id);
        if (found != strings.end()) {
            texts.emplace_back(language, SubstituteVariables(found->second, tag));
        }
    }
    return texts;
}

std::vector<std::string> NlsCatalog::Languages() const {
    std::set<std::string> languages;
    for (const auto& [module, file] : files_) {
        for (const auto& [language, strings] : file) {
            languages.insert(language);
        }
    }
    std::vector<std::string> ordered;
    if (languages.erase("EN") > 0) {
        ordered.push_back("EN");
    }
    ordered.insert(ordered.end(), languages.begin(), languages.end());
    return ordered;
}

}  // namespace velk::engine
