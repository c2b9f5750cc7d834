#include <Pegasus/Common/CIMParamValue.h>

PEGASUS_NAMESPACE_BEGIN

struct CIMParamValueRep {
    String name;
    CIMValue value;
    Boolean isTyped = true;
};

namespace {

CIMParamValueRep& checked(const std::shared_ptr<CIMParamValueRep>& rep) {
    if (!rep)
        throw UninitializedObjectException();
    return *rep;
}

}  // namespace

CIMParamValue::CIMParamValue() = default;

CIMParamValue::CIMParamValue(const CIMParamValue& x) = default;

CIMParamValue::CIMParamValue(String parameterName, CIMValue value, Boolean isTyped)
    : _rep(std::make_shared<CIMParamValueRep>()) {
    _rep->name = parameterName;
    _rep->value = value;
    _rep->isTyped = isTyped;
}

CIMParamValue::~CIMParamValue() = default;

CIMParamValue& CIMParamValue::operator=(const CIMParamValue& x) = default;

String CIMParamValue::getParameterName() const {
    return checked(_rep).name;
}

CIMValue CIMParamValue::getValue() const {
    return checked(_rep).value;
}

Boolean CIMParamValue::isTyped() const {
    return checked(_rep).isTyped;
}

void CIMParamValue::setParameterName(String& parameterName) {
    checked(_rep).name = parameterName;
}

void CIMParamValue::setValue(CIMValue& value) {
    checked(_rep).value = value;
}

void CIMParamValue::setIsTyped(Boolean isTyped) {
    checked(_rep).isTyped = isTyped;
}

CIMParamValue CIMParamValue::clone() const {
    if (!_rep)
        return CIMParamValue();
    // CIMValue is immutable once built, so copying it is a deep copy.
    return CIMParamValue(_rep->name, _rep->value, _rep->isTyped);
}

Boolean CIMParamValue::isUninitialized() const {
    return !_rep;
}

PEGASUS_NAMESPACE_END
