#include "StringConversion.h"

#include <cerrno>
#include <cstdlib>

PEGASUS_NAMESPACE_BEGIN

namespace StringConversion {

namespace {

int hexDigit(Uint16 c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads the unsigned form starting at `begin`.
bool readUnsigned(const String& text, Uint32 begin, Uint64& x) {
    Uint32 n = text.size();
    if (begin >= n)
        return false;
    Uint64 value = 0;
    if (n - begin > 2 && text[begin] == '0' && (text[begin + 1] == 'x' || text[begin + 1] == 'X')) {
        for (Uint32 i = begin + 2; i < n; i++) {
            int d = hexDigit(text[i]);
            if (d < 0 || value > (~Uint64(0) >> 4))
                return false;
            value = (value << 4) | Uint64(d);
        }
    } else {
        if (text[begin] == '0' && n - begin > 1)
            return false;  // leading zero
        for (Uint32 i = begin; i < n; i++) {
            Uint16 c = text[i];
            if (c < '0' || c > '9')
                return false;
            Uint64 d = c - '0';
            if (value > (~Uint64(0) - d) / 10)
                return false;
            value = value * 10 + d;
        }
    }
    x = value;
    return true;
}

}  // namespace

bool toUint64(const String& text, Uint64& x) {
    return readUnsigned(text, 0, x);
}

bool toSint64(const String& text, Sint64& x) {
    if (text.size() == 0)
        return false;
    bool negative = text[0] == '-';
    Uint32 begin = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    Uint64 magnitude;
    if (!readUnsigned(text, begin, magnitude))
        return false;
    const Uint64 limit = Uint64(1) << 63;
    if (negative) {
        if (magnitude > limit)
            return false;
        x = magnitude == limit ? Sint64(-0x7FFFFFFFFFFFFFFFLL - 1) : -Sint64(magnitude);
    } else {
        if (magnitude >= limit)
            return false;
        x = Sint64(magnitude);
    }
    return true;
}

bool toReal64(const String& text, Real64& x) {
    std::string s = toUtf8(text);
    if (s.empty() || s.find_first_of(" \t\n\r\f\v") != std::string::npos)
        return false;
    errno = 0;
    char* end = nullptr;
    double value = std::strtod(s.c_str(), &end);
    if (end != s.c_str() + s.size() || errno == ERANGE)
        return false;
    x = value;
    return true;
}

bool isIntegerLiteral(const String& text) {
    Uint32 n = text.size();
    Uint32 i = (n > 0 && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    if (i >= n)
        return false;
    if (n - i > 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        for (i += 2; i < n; i++) {
            if (hexDigit(text[i]) < 0)
                return false;
        }
        return true;
    }
    for (; i < n; i++) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    return true;
}

std::string toUtf8(const String& text) {
    return std::string(static_cast<const char*>(text.getCString()));
}

}  // namespace StringConversion

PEGASUS_NAMESPACE_END
