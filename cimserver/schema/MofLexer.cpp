#include "MofLexer.h"

#include <algorithm>
#include <cctype>

#include "ClassSchema.h"

namespace velk::cimserver {

namespace {

bool isNameStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool isNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}
bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

void appendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Decimal or 0x-hexadecimal integers with an optional sign, and decimal reals.
bool isWellFormedNumber(const std::string& text) {
    std::size_t at = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (text.compare(at, 2, "0x") == 0 || text.compare(at, 2, "0X") == 0) {
        return text.size() > at + 2 &&
               std::all_of(text.begin() + static_cast<std::ptrdiff_t>(at + 2), text.end(),
                           [](unsigned char c) { return std::isxdigit(c) != 0; });
    }
    bool digits = false;
    while (at < text.size() && isDigit(text[at])) {
        ++at;
        digits = true;
    }
    if (at < text.size() && text[at] == '.') {
        ++at;
        while (at < text.size() && isDigit(text[at])) {
            ++at;
            digits = true;
        }
    }
    if (digits && at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
            ++at;
        }
        std::size_t exponent = at;
        while (at < text.size() && isDigit(text[at])) {
            ++at;
        }
        digits = at > exponent;
    }
    return digits && at == text.size();
}

class Lexer {
  public:
    Lexer(const std::string& text, const std::string& file) : _text(text), _file(file) {}

    std::vector<MofToken> run() {
        std::vector<MofToken> tokens;
        for (;;) {
            skipSpaceAndComments();
            MofToken token;
            token.line = _line;
            if (_pos >= _text.size()) {
                tokens.push_back(token);
                return tokens;
            }
            char c = _text[_pos];
            if (isNameStart(c)) {
                token.kind = MofToken::Kind::Name;
                while (_pos < _text.size() && isNameChar(_text[_pos])) {
                    token.text += _text[_pos++];
                }
            } else if (isDigit(c) ||
                       ((c == '-' || c == '+' || c == '.') && _pos + 1 < _text.size() &&
                        (isDigit(_text[_pos + 1]) || _text[_pos + 1] == '.'))) {
                token.kind = MofToken::Kind::Number;
                token.text = readNumber();
                if (!isWellFormedNumber(token.text)) {
                    fail("malformed number '" + token.text + "'");
                }
            } else if (c == '"') {
                token.kind = MofToken::Kind::String;
                token.text = readQuoted('"');
            } else if (c == '\'') {
                token.kind = MofToken::Kind::Char;
                token.text = readQuoted('\'');
            } else if (std::string("[](){},;:=#").find(c) != std::string::npos) {
                token.kind = MofToken::Kind::Punct;
                token.text = std::string(1, c);
                ++_pos;
            } else {
                fail(std::string("unexpected character '") +
                     (std::isprint(static_cast<unsigned char>(c)) ? std::string(1, c)
                                                                  : std::string("?")) +
                     "'");
            }
            tokens.push_back(std::move(token));
        }
    }

  private:
    [[noreturn]] void fail(const std::string& what) const { throw MofError(_file, _line, what); }

    void skipSpaceAndComments() {
        while (_pos < _text.size()) {
            char c = _text[_pos];
            if (c == '\n') {
                ++_line;
                ++_pos;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                ++_pos;
            } else if (_text.compare(_pos, 2, "//") == 0) {
                while (_pos < _text.size() && _text[_pos] != '\n') {
                    ++_pos;
                }
            } else if (_text.compare(_pos, 2, "/*") == 0) {
                int startLine = _line;
                _pos += 2;
                while (_pos < _text.size() && _text.compare(_pos, 2, "*/") != 0) {
                    if (_text[_pos++] == '\n') {
                        ++_line;
                    }
                }
                if (_pos >= _text.size()) {
                    throw MofError(_file, startLine, "unterminated comment");
                }
                _pos += 2;
            } else {
                return;
            }
        }
    }

    std::string readNumber() {
        std::string number;
        if (_text[_pos] == '-' || _text[_pos] == '+') {
            number += _text[_pos++];
        }
        while (_pos < _text.size() && (isNameChar(_text[_pos]) || _text[_pos] == '.' ||
                                       ((_text[_pos] == '-' || _text[_pos] == '+') &&
                                        (number.back() == 'e' || number.back() == 'E')))) {
            number += _text[_pos++];
        }
        return number;
    }

    std::string readQuoted(char quote) {
        int startLine = _line;
        std::string value;
        ++_pos;
        for (;;) {
            if (_pos >= _text.size() || _text[_pos] == '\n') {
                throw MofError(_file, startLine, "unterminated string");
            }
            char c = _text[_pos++];
            if (c == quote) {
                return value;
            }
            if (c != '\\') {
                value += c;
                continue;
            }
            if (_pos >= _text.size()) {
                fail("unterminated string");
            }
            char e = _text[_pos++];
            switch (e) {
                case 'b':
                    value += '\b';
                    break;
                case 't':
                    value += '\t';
                    break;
                case 'n':
                    value += '\n';
                    break;
                case 'f':
                    value += '\f';
                    break;
                case 'r':
                    value += '\r';
                    break;
                case '"':
                    value += '"';
                    break;
                case '\'':
                    value += '\'';
                    break;
                case '\\':
                    value += '\\';
                    break;
                case 'x':
                case 'X':
                    value += readHexEscape();
                    break;
                default:
                    fail(std::string("unknown escape \\") + e + " in string");
            }
        }
    }

    std::string readHexEscape() {
        unsigned code = 0;
        int digits = 0;
        while (digits < 4 && _pos < _text.size() &&
               std::isxdigit(static_cast<unsigned char>(_text[_pos]))) {
            char d = static_cast<char>(std::tolower(static_cast<unsigned char>(_text[_pos++])));
            code = code * 16 + static_cast<unsigned>(isDigit(d) ? d - '0' : d - 'a' + 10);
            ++digits;
        }
        if (digits == 0) {
            fail("\\x escape without hex digits");
        }
        if (code == 0) {
            fail("\\x0 escape: MOF strings cannot hold a NUL character");
        }
        std::string utf8;
        appendUtf8(utf8, code);
        return utf8;
    }

    const std::string& _text;
    const std::string& _file;
    std::size_t _pos = 0;
    int _line = 1;
};

}  // namespace

std::vector<MofToken> tokenizeMof(const std::string& text, const std::string& file) {
    return Lexer(text, file).run();
}

}  // namespace velk::cimserver
