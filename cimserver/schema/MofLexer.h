// Splits MOF text into tokens with their line numbers: names, numbers,
// strings (escapes resolved, adjacent literals not yet joined) and
// punctuation. Comments are skipped.
#ifndef VELK_CIMSERVER_MOF_LEXER_H
#define VELK_CIMSERVER_MOF_LEXER_H

#include <string>
#include <vector>

namespace velk::cimserver {

struct MofToken {
    enum class Kind { Name, Number, String, Char, Punct, End };
    Kind kind = Kind::End;
    std::string text;  // name, number text, string contents or the punctuation character
    int line = 0;
};

// Throws MofError(file, line, ...) for an unterminated comment or string, a
// bad escape or a character MOF does not use.
std::vector<MofToken> tokenizeMof(const std::string& text, const std::string& file);

}  // namespace velk::cimserver

#endif
