#include <Pegasus/Common/CIMName.h>

PEGASUS_NAMESPACE_BEGIN

namespace {

Boolean isNameStart(Uint16 c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
           (c >= 0x0080 && c <= 0xFFEF);
}

Boolean isNameChar(Uint16 c) {
    return isNameStart(c) || (c >= '0' && c <= '9');
}

// Checks the name in [begin, end) of str.
Boolean legalRange(const String& str, Uint32 begin, Uint32 end) {
    if (begin >= end || !isNameStart(str[begin]))
        return false;
    for (Uint32 i = begin + 1; i < end; i++) {
        if (!isNameChar(str[i]))
            return false;
    }
    return true;
}

}  // namespace

// ---- CIMName ---------------------------------------------------------------------------------

CIMName::CIMName() = default;

CIMName::CIMName(const CIMName& name) = default;

CIMName::CIMName(const String& name) : _name(name) {
    if (!legal(name))
        throw InvalidNameException(name);
}

CIMName::CIMName(const char* name) : CIMName(String(name)) {}

CIMName& CIMName::operator=(const CIMName& name) = default;

CIMName& CIMName::operator=(const String& name) {
    if (!legal(name))
        throw InvalidNameException(name);
    _name = name;
    return *this;
}

const String& CIMName::getString() const {
    return _name;
}

Boolean CIMName::isNull() const {
    return _name.size() == 0;
}

void CIMName::clear() {
    _name.clear();
}

Boolean CIMName::equal(const CIMName& name) const {
    return String::equalNoCase(_name, name._name);
}

Boolean CIMName::legal(const String& name) {
    return legalRange(name, 0, name.size());
}

Boolean operator==(const CIMName& name1, const CIMName& name2) {
    return name1.equal(name2);
}

Boolean operator!=(const CIMName& name1, const CIMName& name2) {
    return !name1.equal(name2);
}

// ---- CIMNamespaceName ------------------------------------------------------------------------

CIMNamespaceName::CIMNamespaceName() = default;

CIMNamespaceName::CIMNamespaceName(const CIMNamespaceName& name) = default;

CIMNamespaceName::CIMNamespaceName(const String& name) {
    *this = name;
}

CIMNamespaceName::CIMNamespaceName(const char* name) : CIMNamespaceName(String(name)) {}

CIMNamespaceName& CIMNamespaceName::operator=(const CIMNamespaceName& name) = default;

CIMNamespaceName& CIMNamespaceName::operator=(const String& name) {
    if (!legal(name))
        throw InvalidNamespaceNameException(name);
    if (name.size() > 0 && name[0] == '/')
        _name = name.subString(1);
    else
        _name = name;
    return *this;
}

const String& CIMNamespaceName::getString() const {
    return _name;
}

Boolean CIMNamespaceName::isNull() const {
    return _name.size() == 0;
}

void CIMNamespaceName::clear() {
    _name.clear();
}

Boolean CIMNamespaceName::equal(const CIMNamespaceName& name) const {
    return String::equalNoCase(_name, name._name);
}

Boolean CIMNamespaceName::legal(const String& name) {
    Uint32 begin = (name.size() > 0 && name[0] == '/') ? 1 : 0;
    if (begin >= name.size())
        return false;
    for (;;) {
        Uint32 slash = name.find(begin, Char16('/'));
        Uint32 end = slash == PEG_NOT_FOUND ? name.size() : slash;
        if (!legalRange(name, begin, end))
            return false;
        if (slash == PEG_NOT_FOUND)
            return true;
        begin = slash + 1;
    }
}

Boolean operator==(const CIMNamespaceName& name1, const CIMNamespaceName& name2) {
    return name1.equal(name2);
}

Boolean operator!=(const CIMNamespaceName& name1, const CIMNamespaceName& name2) {
    return !name1.equal(name2);
}

PEGASUS_NAMESPACE_END
