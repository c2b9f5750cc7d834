// String keeps UTF-16 code units in a vector that always ends with one zero unit, so that
// getChar16Data() can hand out a terminated buffer without copying.
#include <Pegasus/Common/String.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>

#include <Pegasus/Common/Exception.h>

PEGASUS_NAMESPACE_BEGIN

namespace {

Uint16 lowerAscii(Uint16 c) {
    return (c >= 'A' && c <= 'Z') ? Uint16(c + ('a' - 'A')) : c;
}

Uint32 lengthOf(const Char16* str) {
    Uint32 n = 0;
    while (Uint16(str[n]) != 0)
        n++;
    return n;
}

// Appends the UTF-8 encoding of the UTF-16 units in [p, p + n). A lone surrogate is written as
// U+FFFD so that the result is always valid UTF-8.
void encodeUtf8(const Char16* p, Uint32 n, std::string& out) {
    for (Uint32 i = 0; i < n; i++) {
        Uint32 c = Uint16(p[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && Uint16(p[i + 1]) >= 0xDC00 &&
            Uint16(p[i + 1]) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (Uint16(p[i + 1]) - 0xDC00);
            i++;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
}

}  // namespace

// ---- CString ---------------------------------------------------------------------------------

CString::CString() : _rep(nullptr) {}

CString::CString(char* cstr) : _rep(cstr) {}

CString::CString(const CString& cstr) : _rep(nullptr) {
    if (cstr._rep) {
        size_t n = std::strlen(cstr._rep) + 1;
        _rep = new char[n];
        std::memcpy(_rep, cstr._rep, n);
    }
}

CString::~CString() {
    delete[] _rep;
}

CString& CString::operator=(const CString& cstr) {
    if (this != &cstr) {
        CString copy(cstr);
        std::swap(_rep, copy._rep);
    }
    return *this;
}

CString::operator const char*() const {
    return _rep ? _rep : "";
}

// ---- String ----------------------------------------------------------------------------------

const String String::EMPTY;

String::String() : _rep(1) {}

String::String(const String& str) = default;

String::String(const String& str, Uint32 n) : _rep(1) {
    append(str.getChar16Data(), n < str.size() ? n : str.size());
}

String::String(const Char16* str) : _rep(1) {
    assign(str);
}

String::String(const Char16* str, Uint32 n) : _rep(1) {
    assign(str, n);
}

String::String(const char* str) : _rep(1) {
    assign(str);
}

String::String(const char* str, Uint32 n) : _rep(1) {
    assign(str, n);
}

String::~String() = default;

String& String::operator=(const String& str) = default;

String& String::assign(const String& str) {
    return *this = str;
}

String& String::assign(const Char16* str) {
    if (!str)
        throw NullPointerException();
    return assign(str, lengthOf(str));
}

String& String::assign(const Char16* str, Uint32 n) {
    if (!str && n)
        throw NullPointerException();
    std::vector<Char16> rep(n + 1);
    if (n)
        std::copy(str, str + n, rep.begin());
    _rep.swap(rep);
    return *this;
}

String& String::assign(const char* str) {
    if (!str)
        throw NullPointerException();
    return assign(str, Uint32(std::strlen(str)));
}

String& String::assign(const char* str, Uint32 n) {
    if (!str && n)
        throw NullPointerException();
    clear();
    _appendUtf8(str, n);
    return *this;
}

// Decodes UTF-8; each byte that does not start a valid sequence becomes U+FFFD.
void String::_appendUtf8(const char* str, size_t n) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(str);
    _rep.pop_back();
    _rep.reserve(_rep.size() + n + 1);
    size_t i = 0;
    while (i < n) {
        Uint32 c = p[i];
        size_t len = 1;
        Uint32 min = 0;
        if (c >= 0xC0 && c < 0xE0) {
            len = 2, c &= 0x1F, min = 0x80;
        } else if (c >= 0xE0 && c < 0xF0) {
            len = 3, c &= 0x0F, min = 0x800;
        } else if (c >= 0xF0 && c < 0xF8) {
            len = 4, c &= 0x07, min = 0x10000;
        } else if (c >= 0x80) {
            len = 0;  // stray continuation byte or invalid lead byte
        }
        Boolean ok = len != 0 && i + len <= n;
        for (size_t k = 1; ok && k < len; k++) {
            if ((p[i + k] & 0xC0) != 0x80)
                ok = false;
            else
                c = (c << 6) | (p[i + k] & 0x3F);
        }
        if (ok && (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)))
            ok = false;
        if (!ok) {
            _rep.push_back(Char16(0xFFFD));
            i++;
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            _rep.push_back(Char16(Uint16(0xD800 + (c >> 10))));
            _rep.push_back(Char16(Uint16(0xDC00 + (c & 0x3FF))));
        } else {
            _rep.push_back(Char16(Uint16(c)));
        }
        i += len;
    }
    _rep.push_back(Char16(0));
}

void String::clear() {
    _rep.assign(1, Char16(0));
}

void String::reserveCapacity(Uint32 capacity) {
    _rep.reserve(size_t(capacity) + 1);
}

Uint32 String::size() const {
    return Uint32(_rep.size() - 1);
}

const Char16* String::getChar16Data() const {
    return _rep.data();
}

CString String::getCString() const {
    std::string utf8;
    encodeUtf8(_rep.data(), size(), utf8);
    char* buffer = new char[utf8.size() + 1];
    std::memcpy(buffer, utf8.c_str(), utf8.size() + 1);
    return CString(buffer);
}

Char16& String::operator[](Uint32 index) {
    if (index >= size())
        throw IndexOutOfBoundsException();
    return _rep[index];
}

const Char16 String::operator[](Uint32 index) const {
    if (index >= size())
        throw IndexOutOfBoundsException();
    return _rep[index];
}

String& String::append(const Char16& c) {
    _rep.back() = c;
    _rep.push_back(Char16(0));
    return *this;
}

String& String::append(const Char16* str, Uint32 n) {
    if (n == 0)
        return *this;
    if (!str)
        throw NullPointerException();
    // str may point into this string: copy before the vector can reallocate.
    std::vector<Char16> tail(str, str + n);
    _rep.pop_back();
    _rep.insert(_rep.end(), tail.begin(), tail.end());
    _rep.push_back(Char16(0));
    return *this;
}

String& String::append(const String& str) {
    return append(str.getChar16Data(), str.size());
}

void String::remove(Uint32 index, Uint32 n) {
    if (n == PEG_NOT_FOUND) {
        if (index > size())
            throw IndexOutOfBoundsException();
        n = size() - index;
    }
    if (index > size() || n > size() - index)
        throw IndexOutOfBoundsException();
    _rep.erase(_rep.begin() + index, _rep.begin() + index + n);
}

String String::subString(Uint32 index, Uint32 n) const {
    if (index >= size())
        return String();
    Uint32 available = size() - index;
    return String(_rep.data() + index, n < available ? n : available);
}

Uint32 String::find(Char16 c) const {
    return find(0, c);
}

Uint32 String::find(Uint32 index, Char16 c) const {
    for (Uint32 i = index; i < size(); i++) {
        if (_rep[i] == c)
            return i;
    }
    return PEG_NOT_FOUND;
}

Uint32 String::find(const String& s) const {
    Uint32 n = s.size();
    if (n == 0 || n > size())
        return PEG_NOT_FOUND;
    for (Uint32 i = 0; i + n <= size(); i++) {
        if (std::equal(s._rep.begin(), s._rep.begin() + n, _rep.begin() + i))
            return i;
    }
    return PEG_NOT_FOUND;
}

Uint32 String::reverseFind(Char16 c) const {
    for (Uint32 i = size(); i > 0; i--) {
        if (_rep[i - 1] == c)
            return i - 1;
    }
    return PEG_NOT_FOUND;
}

void String::toLower() {
    for (Uint32 i = 0; i < size(); i++)
        _rep[i] = lowerAscii(_rep[i]);
}

void String::appendPrintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (n > 0) {
        std::vector<char> buffer(size_t(n) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, again);
        _appendUtf8(buffer.data(), size_t(n));
    }
    va_end(again);
}

int String::compare(const String& s1, const String& s2, Uint32 n) {
    for (Uint32 i = 0; i < n; i++) {
        // The terminating zero unit ends the shorter string.
        Uint16 a = i < s1.size() ? Uint16(s1._rep[i]) : 0;
        Uint16 b = i < s2.size() ? Uint16(s2._rep[i]) : 0;
        if (a != b)
            return a < b ? -1 : 1;
        if (a == 0)
            return 0;
    }
    return 0;
}

int String::compare(const String& s1, const String& s2) {
    Uint32 n = (s1.size() > s2.size() ? s1.size() : s2.size()) + 1;
    return compare(s1, s2, n);
}

int String::compareNoCase(const String& s1, const String& s2) {
    Uint32 n = s1.size() < s2.size() ? s1.size() : s2.size();
    for (Uint32 i = 0; i < n; i++) {
        Uint16 a = lowerAscii(s1._rep[i]);
        Uint16 b = lowerAscii(s2._rep[i]);
        if (a != b)
            return a < b ? -1 : 1;
    }
    if (s1.size() == s2.size())
        return 0;
    return s1.size() < s2.size() ? -1 : 1;
}

Boolean String::equal(const String& s1, const String& s2) {
    return s1._rep == s2._rep;
}

Boolean String::equalNoCase(const String& s1, const String& s2) {
    return s1.size() == s2.size() && compareNoCase(s1, s2) == 0;
}

Boolean operator==(const String& s1, const String& s2) {
    return String::equal(s1, s2);
}

Boolean operator==(const String& s1, const char* s2) {
    return String::equal(s1, String(s2));
}

Boolean operator==(const char* s1, const String& s2) {
    return String::equal(String(s1), s2);
}

Boolean operator!=(const String& s1, const String& s2) {
    return !String::equal(s1, s2);
}

Boolean operator<(const String& s1, const String& s2) {
    return String::compare(s1, s2) < 0;
}

Boolean operator<=(const String& s1, const String& s2) {
    return String::compare(s1, s2) <= 0;
}

Boolean operator>(const String& s1, const String& s2) {
    return String::compare(s1, s2) > 0;
}

Boolean operator>=(const String& s1, const String& s2) {
    return String::compare(s1, s2) >= 0;
}

String operator+(const String& s1, const String& s2) {
    String result(s1);
    result.append(s2);
    return result;
}

std::ostream& operator<<(std::ostream& os, const String& str) {
    return os << static_cast<const char*>(str.getCString());
}

PEGASUS_NAMESPACE_END
