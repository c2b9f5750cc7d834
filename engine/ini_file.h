// A small reader of the INI files the engine reads: module definitions files
// (NAME.vkm) and string files (NAME.nls).  It reads them the way the module
// interface does, so that both sides see the same values:
//
//   - a line runs up to the first control character and counts with at most
//     511 characters; leading blanks are skipped;
//   - "[name]" opens a section; names compare without case, and only the
//     first section of a name counts;
//   - "key=value" inside a section: the key without its trailing blanks,
//     compared without case; the value is everything after the '='; the
//     first line of a key counts.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velk::engine {

class IniFile {
  public:
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> entries;  // in file order
    };

    // Files larger than this are refused rather than held in memory.
    static constexpr std::size_t kMaxFileBytes = 4u << 20;
    static constexpr std::size_t kMaxLine = 511;

    // Reads a regular file; nothing when it cannot be read, is not a regular
    // file or is too large.
    static std::optional<IniFile> Load(const std::string& path);
    static IniFile Parse(std::string_view text);

    // The value of key in section, nothing when either is absent.
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    // The first section of that name, or null.
    const Section* FindSection(std::string_view name) const;
    const std::vector<Section>& Sections() const { return sections_; }

  private:
    std::vector<Section> sections_;
};

// Compares without ASCII case.
bool EqualsNoCase(std::string_view left, std::string_view right);

}  // namespace velk::engine
