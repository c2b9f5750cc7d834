#include <Pegasus/Common/CIMObject.h>

#include <Pegasus/Common/CIMInstance.h>

PEGASUS_NAMESPACE_BEGIN

namespace {

void appendQuoted(String& out, const String& text) {
    out.append(Char16('"'));
    for (Uint32 i = 0; i < text.size(); i++) {
        Char16 c = text[i];
        if (c == '\\' || c == '"')
            out.append(Char16('\\'));
        out.append(c);
    }
    out.append(Char16('"'));
}

// One element in MOF notation: text-like values quoted, the rest as CIMValue writes them.
template <class T>
void appendElement(String& out, const T& x) {
    out.append(CIMValue(x).toString());
}
void appendElement(String& out, const Char16& x) {
    appendQuoted(out, String(&x, 1));
}
void appendElement(String& out, const String& x) {
    appendQuoted(out, x);
}
void appendElement(String& out, const CIMDateTime& x) {
    appendQuoted(out, x.toString());
}
void appendElement(String& out, const CIMObjectPath& x) {
    appendQuoted(out, x.toString());
}
void appendElement(String& out, const CIMObject& x) {
    out.append(x.toString());
}
void appendElement(String& out, const CIMInstance& x) {
    out.append(CIMObject(x).toString());
}

template <class T>
void appendValue(String& out, const CIMValue& value) {
    if (!value.isArray()) {
        T x;
        value.get(x);
        appendElement(out, x);
        return;
    }
    Array<T> items;
    value.get(items);
    out.append(Char16('{'));
    for (Uint32 i = 0; i < items.size(); i++) {
        if (i > 0)
            out.append(String(", "));
        appendElement(out, items[i]);
    }
    out.append(Char16('}'));
}

void appendMofValue(String& out, const CIMValue& value) {
    if (value.isNull()) {
        out.append(String("NULL"));
        return;
    }
    switch (value.getType()) {
        case CIMTYPE_BOOLEAN:
            return appendValue<Boolean>(out, value);
        case CIMTYPE_UINT8:
            return appendValue<Uint8>(out, value);
        case CIMTYPE_SINT8:
            return appendValue<Sint8>(out, value);
        case CIMTYPE_UINT16:
            return appendValue<Uint16>(out, value);
        case CIMTYPE_SINT16:
            return appendValue<Sint16>(out, value);
        case CIMTYPE_UINT32:
            return appendValue<Uint32>(out, value);
        case CIMTYPE_SINT32:
            return appendValue<Sint32>(out, value);
        case CIMTYPE_UINT64:
            return appendValue<Uint64>(out, value);
        case CIMTYPE_SINT64:
            return appendValue<Sint64>(out, value);
        case CIMTYPE_REAL32:
            return appendValue<Real32>(out, value);
        case CIMTYPE_REAL64:
            return appendValue<Real64>(out, value);
        case CIMTYPE_CHAR16:
            return appendValue<Char16>(out, value);
        case CIMTYPE_STRING:
            return appendValue<String>(out, value);
        case CIMTYPE_DATETIME:
            return appendValue<CIMDateTime>(out, value);
        case CIMTYPE_REFERENCE:
            return appendValue<CIMObjectPath>(out, value);
        case CIMTYPE_OBJECT:
            return appendValue<CIMObject>(out, value);
        case CIMTYPE_INSTANCE:
            return appendValue<CIMInstance>(out, value);
    }
}

}  // namespace

CIMObject::CIMObject() = default;

CIMObject::CIMObject(const CIMObject& x) = default;

CIMObject::CIMObject(const CIMInstance& x) : _rep(x._rep) {}

CIMObject::~CIMObject() = default;

CIMObject& CIMObject::operator=(const CIMObject& x) = default;

const CIMName& CIMObject::getClassName() const {
    return CIMConstInstance(*this).getClassName();
}

const CIMObjectPath& CIMObject::getPath() const {
    return CIMConstInstance(*this).getPath();
}

void CIMObject::setPath(const CIMObjectPath& path) {
    CIMInstance(*this).setPath(path);
}

CIMObject& CIMObject::addProperty(const CIMProperty& x) {
    CIMInstance(*this).addProperty(x);
    return *this;
}

Uint32 CIMObject::findProperty(const CIMName& name) const {
    return CIMConstInstance(*this).findProperty(name);
}

CIMProperty CIMObject::getProperty(Uint32 index) {
    return CIMInstance(*this).getProperty(index);
}

CIMConstProperty CIMObject::getProperty(Uint32 index) const {
    return CIMConstInstance(*this).getProperty(index);
}

void CIMObject::removeProperty(Uint32 index) {
    CIMInstance(*this).removeProperty(index);
}

Uint32 CIMObject::getPropertyCount() const {
    return CIMConstInstance(*this).getPropertyCount();
}

CIMObject CIMObject::clone() const {
    return CIMObject(CIMConstInstance(*this).clone());
}

Boolean CIMObject::identical(const CIMObject& x) const {
    return CIMConstInstance(*this).identical(CIMConstInstance(x));
}

Boolean CIMObject::isUninitialized() const {
    return !_rep;
}

Boolean CIMObject::isClass() const {
    return false;
}

Boolean CIMObject::isInstance() const {
    return _rep != nullptr;
}

String CIMObject::toString() const {
    const CIMConstInstance instance(*this);
    String text("instance of ");
    text.append(instance.getClassName().getString());
    text.append(String(" {"));
    for (Uint32 i = 0; i < instance.getPropertyCount(); i++) {
        CIMConstProperty property = instance.getProperty(i);
        text.append(Char16(' '));
        text.append(property.getName().getString());
        text.append(String(" = "));
        appendMofValue(text, property.getValue());
        text.append(Char16(';'));
    }
    text.append(String(" };"));
    return text;
}

PEGASUS_NAMESPACE_END
