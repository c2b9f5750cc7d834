// The string files the NLS engine serves.  A string file holds one section
// per language, named by its two-letter code, with "ID=text" lines; texts
// may hold "{NAME}" for the variables of a tag.  Files are known by the
// module name that tags carry (mod=):
//
//   - at start, every NAME.nls in the bin directory with NAME.vkm beside it
//     is read as the strings of "NAME.vkm";
//   - NLS_REGMOD names a module or string file; its file in the bin directory
//     is read (again): "NAME.vkm" and "NAME" read NAME.nls, "NAME.nls" reads
//     itself;
//   - the engine's own strings are those of "velkcore".
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ini_file.h"
#include "nls_tag.h"

namespace velk::engine {

class NlsCatalog {
  public:
    explicit NlsCatalog(std::string binDirectory);

    // Reads the string files of the modules in the bin directory.
    void LoadBinDirectory();
    // Reads the string file of a registered name; false when the name is
    // not a plain file name or the file cannot be read.
    bool Register(std::string_view name);

    // The texts of the tag in every language that has its id, in the order
    // of the file, with the tag's variables substituted.
    std::vector<std::pair<std::string, std::string>> Texts(const NlsTag& tag) const;
    // Every language of every string file: EN first, the others sorted.
    std::vector<std::string> Languages() const;

  private:
    // Language code to its texts by id, in file order of the languages.
    using StringFile = std::vector<std::pair<std::string, std::map<std::string, std::string>>>;

    static StringFile FromIni(const IniFile& file);
    const StringFile* Find(std::string_view module) const;

    std::string binDirectory_;
    std::map<std::string, StringFile, std::less<>> files_;
};

// A two-letter language code (letters only), upper-cased; empty otherwise.
std::string NormaliseLanguage(std::string_view code);

}  // namespace velk::engine
