#include <Pegasus/Common/CIMPropertyList.h>

PEGASUS_NAMESPACE_BEGIN

CIMPropertyList::CIMPropertyList() : _isNull(true) {}

CIMPropertyList::CIMPropertyList(const CIMPropertyList& x) = default;

CIMPropertyList::CIMPropertyList(const Array<CIMName>& propertyNames)
    : _isNull(false), _names(propertyNames) {}

CIMPropertyList::~CIMPropertyList() = default;

CIMPropertyList& CIMPropertyList::operator=(const CIMPropertyList& x) = default;

void CIMPropertyList::set(const Array<CIMName>& propertyNames) {
    _isNull = false;
    _names = propertyNames;
}

void CIMPropertyList::clear() {
    _isNull = true;
    _names.clear();
}

Boolean CIMPropertyList::isNull() const {
    return _isNull;
}

Uint32 CIMPropertyList::size() const {
    return _names.size();
}

const CIMName& CIMPropertyList::operator[](Uint32 index) const {
    return _names[index];
}

Array<CIMName> CIMPropertyList::getPropertyNameArray() const {
    return _names;
}

Boolean CIMPropertyList::contains(const CIMName& name) const {
    for (Uint32 i = 0; i < _names.size(); i++) {
        if (_names[i].equal(name))
            return true;
    }
    return false;
}

Boolean CIMPropertyList::useThisProperty(const CIMName& name) const {
    return _isNull || contains(name);
}

String CIMPropertyList::toString() const {
    if (_isNull)
        return String("NULL");
    String text;
    for (Uint32 i = 0; i < _names.size(); i++) {
        if (i > 0)
            text.append(String(", "));
        text.append(_names[i].getString());
    }
    return text;
}

PEGASUS_NAMESPACE_END
