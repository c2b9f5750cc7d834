#include <Pegasus/Common/CIMObjectPath.h>

#include <algorithm>
#include <vector>

#include <arpa/inet.h>

#include <Pegasus/Common/CIMValue.h>

#include "StringConversion.h"

PEGASUS_NAMESPACE_BEGIN

namespace {

Boolean isAsciiDigit(Uint16 c) {
    return c >= '0' && c <= '9';
}

Boolean isAsciiAlnum(Uint16 c) {
    return isAsciiDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// 1 to 5 decimal digits.
Boolean validPort(const std::string& port) {
    if (port.empty() || port.size() > 5)
        return false;
    return std::all_of(port.begin(), port.end(), [](char c) { return isAsciiDigit(c); });
}

Boolean validIPv4(const std::string& host) {
    struct in_addr addr;
    // inet_pton accepts exactly the dotted-quad form a.b.c.d with each part 0..255.
    return inet_pton(AF_INET, host.c_str(), &addr) == 1;
}

// Labels of letters, digits, '-' and '_' separated by single dots; a label starts with a letter,
// a digit or '_'.
Boolean validHostName(const std::string& host) {
    if (host.empty())
        return false;
    size_t begin = 0;
    for (;;) {
        size_t dot = host.find('.', begin);
        size_t end = dot == std::string::npos ? host.size() : dot;
        if (end == begin || host[begin] == '-')
            return false;
        for (size_t i = begin; i < end; i++) {
            char c = host[i];
            if (!isAsciiAlnum(Uint8(c)) && c != '-' && c != '_')
                return false;
        }
        if (dot == std::string::npos)
            return true;
        begin = dot + 1;
    }
}

Boolean validHost(const String& hostText) {
    if (hostText.size() == 0)
        return true;
    std::string host = StringConversion::toUtf8(hostText);
    std::string port;
    Boolean hasPort = false;
    if (host[0] == '[') {
        size_t close = host.find(']');
        if (close == std::string::npos)
            return false;
        std::string address = host.substr(1, close - 1);
        struct in6_addr addr;
        if (inet_pton(AF_INET6, address.c_str(), &addr) != 1)
            return false;
        std::string rest = host.substr(close + 1);
        if (rest.empty())
            return true;
        return rest[0] == ':' && validPort(rest.substr(1));
    }
    size_t colon = host.find(':');
    if (colon != std::string::npos) {
        hasPort = true;
        port = host.substr(colon + 1);
        host.resize(colon);
    }
    if (hasPort && !validPort(port))
        return false;
    Boolean numeric = std::all_of(host.begin(), host.end(),
                                  [](char c) { return isAsciiDigit(Uint8(c)) || c == '.'; });
    return numeric ? validIPv4(host) : validHostName(host);
}

String lowered(const String& s) {
    String copy(s);
    copy.toLower();
    return copy;
}

// Sorts by name, case-insensitively, keeping the given order among equal names; REFERENCE
// values are rewritten with their own keys sorted.
Array<CIMKeyBinding> normalizedKeys(const Array<CIMKeyBinding>& keys) {
    std::vector<CIMKeyBinding> sorted;
    sorted.reserve(keys.size());
    for (Uint32 i = 0; i < keys.size(); i++) {
        CIMKeyBinding key = keys[i];
        if (key.getType() == CIMKeyBinding::REFERENCE) {
            try {
                key.setValue(CIMObjectPath(key.getValue()).toString());
            } catch (const Exception&) {
                // Not a path: the text stays as given and compares as text.
            }
        }
        sorted.push_back(key);
    }
    std::stable_sort(
        sorted.begin(), sorted.end(), [](const CIMKeyBinding& a, const CIMKeyBinding& b) {
            return String::compareNoCase(a.getName().getString(), b.getName().getString()) < 0;
        });
    Array<CIMKeyBinding> result;
    result.reserveCapacity(Uint32(sorted.size()));
    for (const CIMKeyBinding& key : sorted)
        result.append(key);
    return result;
}

void appendEscaped(String& out, const String& value) {
    for (Uint32 i = 0; i < value.size(); i++) {
        Char16 c = value[i];
        if (c == '\\' || c == '"')
            out.append(Char16('\\'));
        out.append(c);
    }
}

void hashMix(Uint32& hash, const String& text) {
    for (Uint32 i = 0; i < text.size(); i++) {
        hash ^= Uint16(text[i]);
        hash *= 16777619u;  // FNV-1a prime
    }
    hash ^= 0xFFFFu;  // separates consecutive fields
    hash *= 16777619u;
}

void hashMix(Uint32& hash, Uint64 value) {
    for (int i = 0; i < 8; i++) {
        hash ^= Uint32((value >> (8 * i)) & 0xFF);
        hash *= 16777619u;
    }
}

// Parses the text form; throws MalformedObjectNameException(text) on any error.
void parsePath(const String& s, String& host, CIMNamespaceName& nameSpace, CIMName& className,
               Array<CIMKeyBinding>& keys) {
    const Uint32 n = s.size();
    auto fail = [&s]() { throw MalformedObjectNameException(s); };
    Uint32 p = 0;

    if (n >= 2 && s[0] == '/' && s[1] == '/') {
        Uint32 slash = s.find(2, Char16('/'));
        if (slash == PEG_NOT_FOUND)
            fail();
        host = s.subString(2, slash - 2);
        if (host.size() == 0 || !validHost(host))
            fail();
        p = slash + 1;
    }

    Uint32 colon = s.find(p, Char16(':'));
    Uint32 dot = s.find(p, Char16('.'));
    if (colon != PEG_NOT_FOUND && (dot == PEG_NOT_FOUND || colon < dot)) {
        String ns = s.subString(p, colon - p);
        if (!CIMNamespaceName::legal(ns))
            fail();
        nameSpace = CIMNamespaceName(ns);
        p = colon + 1;
        dot = s.find(p, Char16('.'));
    } else if (host.size() > 0) {
        fail();  // a host needs a namespace
    }

    String cls = s.subString(p, (dot == PEG_NOT_FOUND ? n : dot) - p);
    if (!CIMName::legal(cls))
        fail();
    className = CIMName(cls);
    if (dot == PEG_NOT_FOUND)
        return;

    p = dot + 1;
    for (;;) {
        Uint32 eq = s.find(p, Char16('='));
        if (eq == PEG_NOT_FOUND)
            fail();
        String name = s.subString(p, eq - p);
        if (!CIMName::legal(name))
            fail();
        p = eq + 1;
        if (p >= n)
            fail();

        String value;
        CIMKeyBinding::Type type = CIMKeyBinding::STRING;
        if (s[p] == '"') {
            Boolean closed = false;
            for (p++; p < n; p++) {
                Char16 c = s[p];
                if (c == '\\') {
                    if (p + 1 >= n || (s[p + 1] != '\\' && s[p + 1] != '"'))
                        fail();
                    value.append(s[++p]);
                } else if (c == '"') {
                    closed = true;
                    p++;
                    break;
                } else {
                    value.append(c);
                }
            }
            if (!closed)
                fail();
            type = CIMKeyBinding::STRING;
            if (value.find(Char16('=')) != PEG_NOT_FOUND) {
                try {
                    CIMObjectPath reference(value);
                    if (reference.getKeyBindings().size() > 0) {
                        type = CIMKeyBinding::REFERENCE;
                        value = reference.toString();
                    }
                } catch (const Exception&) {
                    // A string that merely contains '='.
                }
            }
        } else {
            Uint32 comma = s.find(p, Char16(','));
            Uint32 end = comma == PEG_NOT_FOUND ? n : comma;
            value = s.subString(p, end - p);
            p = end;
            if (value.size() == 0)
                fail();
            Char16 first = value[0];
            if (first == 'T' || first == 't' || first == 'F' || first == 'f') {
                if (!String::equalNoCase(value, "TRUE") && !String::equalNoCase(value, "FALSE"))
                    fail();
                type = CIMKeyBinding::BOOLEAN;
            } else if (StringConversion::isIntegerLiteral(value)) {
                type = CIMKeyBinding::NUMERIC;
            } else {
                fail();
            }
        }
        keys.append(CIMKeyBinding(CIMName(name), value, type));

        if (p == n)
            break;
        if (s[p] != ',' || p + 1 == n)
            fail();
        p++;
    }
    keys = normalizedKeys(keys);
}

// NUMERIC texts compare as unsigned, then signed 64-bit integers, else as text.
Boolean numericEqual(const String& a, const String& b) {
    Uint64 ua, ub;
    if (StringConversion::toUint64(a, ua) && StringConversion::toUint64(b, ub))
        return ua == ub;
    Sint64 sa, sb;
    if (StringConversion::toSint64(a, sa) && StringConversion::toSint64(b, sb))
        return sa == sb;
    return String::equal(a, b);
}

Boolean referenceEqual(const String& a, const String& b) {
    try {
        return CIMObjectPath(a).identical(CIMObjectPath(b));
    } catch (const Exception&) {
        return String::equal(a, b);
    }
}

template <class T>
Boolean unsignedKeyEqual(const String& text, const CIMValue& value) {
    Uint64 parsed;
    T expected;
    if (!StringConversion::toUint64(text, parsed) || parsed > Uint64(T(~T(0))))
        return false;
    value.get(expected);
    return T(parsed) == expected;
}

template <class T>
Boolean signedKeyEqual(const String& text, const CIMValue& value, Sint64 min, Sint64 max) {
    Sint64 parsed;
    T expected;
    if (!StringConversion::toSint64(text, parsed) || parsed < min || parsed > max)
        return false;
    value.get(expected);
    return T(parsed) == expected;
}

}  // namespace

// ---- CIMKeyBinding ---------------------------------------------------------------------------

CIMKeyBinding::CIMKeyBinding() : _type(STRING) {}

CIMKeyBinding::CIMKeyBinding(const CIMKeyBinding& x) = default;

CIMKeyBinding::CIMKeyBinding(const CIMName& name, const String& value, Type type)
    : _name(name), _value(value), _type(type) {}

CIMKeyBinding::CIMKeyBinding(const CIMName& name, const CIMValue& value) : _name(name) {
    if (value.isArray())
        throw TypeMismatchException();
    switch (value.getType()) {
        case CIMTYPE_BOOLEAN:
            _type = BOOLEAN;
            break;
        case CIMTYPE_UINT8:
        case CIMTYPE_SINT8:
        case CIMTYPE_UINT16:
        case CIMTYPE_SINT16:
        case CIMTYPE_UINT32:
        case CIMTYPE_SINT32:
        case CIMTYPE_UINT64:
        case CIMTYPE_SINT64:
        case CIMTYPE_REAL32:
        case CIMTYPE_REAL64:
            _type = NUMERIC;
            break;
        case CIMTYPE_CHAR16:
        case CIMTYPE_STRING:
        case CIMTYPE_DATETIME:
            _type = STRING;
            break;
        case CIMTYPE_REFERENCE:
            _type = REFERENCE;
            break;
        default:
            throw TypeMismatchException();
    }
    _value = value.toString();
}

CIMKeyBinding::~CIMKeyBinding() = default;

CIMKeyBinding& CIMKeyBinding::operator=(const CIMKeyBinding& x) = default;

const CIMName& CIMKeyBinding::getName() const {
    return _name;
}

void CIMKeyBinding::setName(const CIMName& name) {
    _name = name;
}

const String& CIMKeyBinding::getValue() const {
    return _value;
}

void CIMKeyBinding::setValue(const String& value) {
    _value = value;
}

CIMKeyBinding::Type CIMKeyBinding::getType() const {
    return _type;
}

void CIMKeyBinding::setType(Type type) {
    _type = type;
}

Boolean CIMKeyBinding::equal(CIMValue value) {
    if (value.isArray() || value.isNull())
        return false;
    switch (value.getType()) {
        case CIMTYPE_BOOLEAN: {
            if (_type != BOOLEAN)
                return false;
            Boolean expected = false;
            value.get(expected);
            return String::equalNoCase(_value, expected ? "TRUE" : "FALSE");
        }
        case CIMTYPE_UINT8:
            return _type == NUMERIC && unsignedKeyEqual<Uint8>(_value, value);
        case CIMTYPE_UINT16:
            return _type == NUMERIC && unsignedKeyEqual<Uint16>(_value, value);
        case CIMTYPE_UINT32:
            return _type == NUMERIC && unsignedKeyEqual<Uint32>(_value, value);
        case CIMTYPE_UINT64:
            return _type == NUMERIC && unsignedKeyEqual<Uint64>(_value, value);
        case CIMTYPE_SINT8:
            return _type == NUMERIC && signedKeyEqual<Sint8>(_value, value, -128, 127);
        case CIMTYPE_SINT16:
            return _type == NUMERIC && signedKeyEqual<Sint16>(_value, value, -32768, 32767);
        case CIMTYPE_SINT32:
            return _type == NUMERIC &&
                   signedKeyEqual<Sint32>(_value, value, -2147483647LL - 1, 2147483647LL);
        case CIMTYPE_SINT64:
            return _type == NUMERIC &&
                   signedKeyEqual<Sint64>(_value, value, -0x7FFFFFFFFFFFFFFFLL - 1,
                                          0x7FFFFFFFFFFFFFFFLL);
        case CIMTYPE_REAL32:
        case CIMTYPE_REAL64: {
            Real64 parsed;
            if (_type != NUMERIC || !StringConversion::toReal64(_value, parsed))
                return false;
            if (value.getType() == CIMTYPE_REAL32) {
                Real32 expected = 0;
                value.get(expected);
                return Real32(parsed) == expected;
            }
            Real64 expected = 0;
            value.get(expected);
            return parsed == expected;
        }
        case CIMTYPE_CHAR16: {
            Char16 expected;
            value.get(expected);
            return _type == STRING && _value.size() == 1 && _value[0] == expected;
        }
        case CIMTYPE_STRING: {
            String expected;
            value.get(expected);
            return _type == STRING && String::equal(_value, expected);
        }
        case CIMTYPE_DATETIME: {
            if (_type != STRING)
                return false;
            CIMDateTime expected;
            value.get(expected);
            try {
                return CIMDateTime(_value).equal(expected);
            } catch (const Exception&) {
                return false;
            }
        }
        case CIMTYPE_REFERENCE: {
            if (_type != REFERENCE)
                return false;
            CIMObjectPath expected;
            value.get(expected);
            try {
                return CIMObjectPath(_value).identical(expected);
            } catch (const Exception&) {
                return false;
            }
        }
        default:
            return false;
    }
}

Boolean operator==(const CIMKeyBinding& x, const CIMKeyBinding& y) {
    if (!x.getName().equal(y.getName()) || x.getType() != y.getType())
        return false;
    switch (x.getType()) {
        case CIMKeyBinding::BOOLEAN:
            return String::equalNoCase(x.getValue(), y.getValue());
        case CIMKeyBinding::NUMERIC:
            return numericEqual(x.getValue(), y.getValue());
        case CIMKeyBinding::REFERENCE:
            return referenceEqual(x.getValue(), y.getValue());
        case CIMKeyBinding::STRING:
        default:
            return String::equal(x.getValue(), y.getValue());
    }
}

// ---- CIMObjectPath ---------------------------------------------------------------------------

CIMObjectPath::CIMObjectPath() = default;

CIMObjectPath::CIMObjectPath(const CIMObjectPath& x) = default;

CIMObjectPath::CIMObjectPath(const String& objectName) {
    set(objectName);
}

CIMObjectPath::CIMObjectPath(const String& host, const CIMNamespaceName& nameSpace,
                             const CIMName& className, const Array<CIMKeyBinding>& keyBindings) {
    set(host, nameSpace, className, keyBindings);
}

CIMObjectPath::~CIMObjectPath() = default;

CIMObjectPath& CIMObjectPath::operator=(const CIMObjectPath& x) = default;

CIMObjectPath& CIMObjectPath::operator=(const String& objectName) {
    set(objectName);
    return *this;
}

void CIMObjectPath::clear() {
    _host.clear();
    _nameSpace.clear();
    _className.clear();
    _keyBindings.clear();
}

void CIMObjectPath::set(const String& host, const CIMNamespaceName& nameSpace,
                        const CIMName& className, const Array<CIMKeyBinding>& keyBindings) {
    if (!validHost(host))
        throw MalformedObjectNameException(host);
    _host = host;
    _nameSpace = nameSpace;
    _className = className;
    _keyBindings = normalizedKeys(keyBindings);
}

void CIMObjectPath::set(const String& objectName) {
    String host;
    CIMNamespaceName nameSpace;
    CIMName className;
    Array<CIMKeyBinding> keys;
    if (objectName.size() > 0)
        parsePath(objectName, host, nameSpace, className, keys);
    // Only a complete parse replaces the old value.
    _host = host;
    _nameSpace = nameSpace;
    _className = className;
    _keyBindings = keys;
}

const String& CIMObjectPath::getHost() const {
    return _host;
}

void CIMObjectPath::setHost(const String& host) {
    if (!validHost(host))
        throw MalformedObjectNameException(host);
    _host = host;
}

const CIMNamespaceName& CIMObjectPath::getNameSpace() const {
    return _nameSpace;
}

void CIMObjectPath::setNameSpace(const CIMNamespaceName& nameSpace) {
    _nameSpace = nameSpace;
}

const CIMName& CIMObjectPath::getClassName() const {
    return _className;
}

void CIMObjectPath::setClassName(const CIMName& className) {
    _className = className;
}

const Array<CIMKeyBinding>& CIMObjectPath::getKeyBindings() const {
    return _keyBindings;
}

void CIMObjectPath::setKeyBindings(const Array<CIMKeyBinding>& keyBindings) {
    _keyBindings = normalizedKeys(keyBindings);
}

String CIMObjectPath::toString() const {
    String text;
    if (_host.size() > 0) {
        text.append(String("//"));
        text.append(_host);
        text.append(Char16('/'));
    }
    if (!_nameSpace.isNull() || _host.size() > 0) {
        text.append(_nameSpace.getString());
        text.append(Char16(':'));
    }
    text.append(_className.getString());
    for (Uint32 i = 0; i < _keyBindings.size(); i++) {
        const CIMKeyBinding& key = _keyBindings[i];
        text.append(Char16(i == 0 ? '.' : ','));
        text.append(key.getName().getString());
        text.append(Char16('='));
        if (key.getType() == CIMKeyBinding::STRING || key.getType() == CIMKeyBinding::REFERENCE) {
            text.append(Char16('"'));
            appendEscaped(text, key.getValue());
            text.append(Char16('"'));
        } else {
            text.append(key.getValue());
        }
    }
    return text;
}

Boolean CIMObjectPath::identical(const CIMObjectPath& x) const {
    if (!String::equalNoCase(_host, x._host) || !_nameSpace.equal(x._nameSpace) ||
        !_className.equal(x._className) || _keyBindings.size() != x._keyBindings.size())
        return false;
    for (Uint32 i = 0; i < _keyBindings.size(); i++) {
        if (!(_keyBindings[i] == x._keyBindings[i]))
            return false;
    }
    return true;
}

Uint32 CIMObjectPath::makeHashCode() const {
    Uint32 hash = 2166136261u;  // FNV-1a offset basis
    hashMix(hash, lowered(_host));
    hashMix(hash, lowered(_nameSpace.getString()));
    hashMix(hash, lowered(_className.getString()));
    for (Uint32 i = 0; i < _keyBindings.size(); i++) {
        const CIMKeyBinding& key = _keyBindings[i];
        const String& value = key.getValue();
        hashMix(hash, lowered(key.getName().getString()));
        hashMix(hash, Uint64(key.getType()));
        switch (key.getType()) {
            case CIMKeyBinding::NUMERIC: {
                // Hash the number so that "16" and "0x10" agree.
                Uint64 u;
                Sint64 s;
                if (StringConversion::toUint64(value, u))
                    hashMix(hash, u);
                else if (StringConversion::toSint64(value, s))
                    hashMix(hash, Uint64(s));
                else
                    hashMix(hash, value);
                break;
            }
            case CIMKeyBinding::BOOLEAN:
                hashMix(hash, lowered(value));
                break;
            case CIMKeyBinding::REFERENCE:
                try {
                    hashMix(hash, Uint64(CIMObjectPath(value).makeHashCode()));
                } catch (const Exception&) {
                    hashMix(hash, value);
                }
                break;
            case CIMKeyBinding::STRING:
            default:
                hashMix(hash, value);
                break;
        }
    }
    return hash;
}

Boolean operator==(const CIMObjectPath& x, const CIMObjectPath& y) {
    return x.identical(y);
}

Boolean operator!=(const CIMObjectPath& x, const CIMObjectPath& y) {
    return !x.identical(y);
}

PEGASUS_NAMESPACE_END
