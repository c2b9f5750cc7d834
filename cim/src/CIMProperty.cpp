#include <Pegasus/Common/CIMProperty.h>

#include "CIMPropertyRep.h"

PEGASUS_NAMESPACE_BEGIN

namespace {

std::shared_ptr<CIMPropertyRep> makeRep(const CIMName& name, const CIMValue& value,
                                        Uint32 arraySize, const CIMName& referenceClassName,
                                        const CIMName& classOrigin, Boolean propagated) {
    if (name.isNull())
        throw UninitializedObjectException();
    // A fixed array size must match the array it describes.
    if (arraySize != 0 &&
        (!value.isArray() || (!value.isNull() && value.getArraySize() != arraySize)))
        throw TypeMismatchException();
    if (value.getType() == CIMTYPE_REFERENCE && value.isArray())
        throw TypeMismatchException();
    if (!referenceClassName.isNull() && value.getType() != CIMTYPE_REFERENCE)
        throw TypeMismatchException();
    auto rep = std::make_shared<CIMPropertyRep>();
    rep->name = name;
    rep->value = value;
    rep->arraySize = arraySize;
    rep->referenceClassName = referenceClassName;
    rep->classOrigin = classOrigin;
    rep->propagated = propagated;
    return rep;
}

const CIMPropertyRep& checked(const std::shared_ptr<CIMPropertyRep>& rep) {
    if (!rep)
        throw UninitializedObjectException();
    return *rep;
}

CIMPropertyRep& checkedMutable(const std::shared_ptr<CIMPropertyRep>& rep) {
    if (!rep)
        throw UninitializedObjectException();
    return *rep;
}

std::shared_ptr<CIMPropertyRep> cloneRep(const std::shared_ptr<CIMPropertyRep>& rep) {
    const CIMPropertyRep& r = checked(rep);
    return makeRep(r.name, r.value, r.arraySize, r.referenceClassName, r.classOrigin, r.propagated);
}

Boolean identicalReps(const std::shared_ptr<CIMPropertyRep>& a,
                      const std::shared_ptr<CIMPropertyRep>& b) {
    const CIMPropertyRep& x = checked(a);
    const CIMPropertyRep& y = checked(b);
    return &x == &y ||
           (x.name.equal(y.name) && x.value.equal(y.value) && x.arraySize == y.arraySize &&
            x.referenceClassName.equal(y.referenceClassName));
}

}  // namespace

// ---- CIMProperty -----------------------------------------------------------------------------

CIMProperty::CIMProperty() = default;

CIMProperty::CIMProperty(const CIMProperty& x) = default;

CIMProperty::CIMProperty(std::shared_ptr<CIMPropertyRep> rep) : _rep(std::move(rep)) {}

CIMProperty::CIMProperty(const CIMName& name, const CIMValue& value, Uint32 arraySize,
                         const CIMName& referenceClassName, const CIMName& classOrigin,
                         Boolean propagated)
    : _rep(makeRep(name, value, arraySize, referenceClassName, classOrigin, propagated)) {}

CIMProperty::~CIMProperty() = default;

CIMProperty& CIMProperty::operator=(const CIMProperty& x) = default;

const CIMName& CIMProperty::getName() const {
    return checked(_rep).name;
}

void CIMProperty::setName(const CIMName& name) {
    CIMPropertyRep& rep = checkedMutable(_rep);
    if (name.isNull())
        throw UninitializedObjectException();
    // Renaming a property inside an instance could create a duplicate name there.
    if (rep.owners.load() > 0 && !rep.name.equal(name))
        throw Exception("cannot rename a property that belongs to an instance");
    rep.name = name;
}

const CIMValue& CIMProperty::getValue() const {
    return checked(_rep).value;
}

CIMType CIMProperty::getType() const {
    return checked(_rep).value.getType();
}

Boolean CIMProperty::isArray() const {
    return checked(_rep).value.isArray();
}

void CIMProperty::setValue(const CIMValue& value) {
    CIMPropertyRep& rep = checkedMutable(_rep);
    if (!rep.value.typeCompatible(value))
        throw TypeMismatchException();
    rep.value = value;
}

Uint32 CIMProperty::getArraySize() const {
    return checked(_rep).arraySize;
}

const CIMName& CIMProperty::getReferenceClassName() const {
    return checked(_rep).referenceClassName;
}

const CIMName& CIMProperty::getClassOrigin() const {
    return checked(_rep).classOrigin;
}

void CIMProperty::setClassOrigin(const CIMName& classOrigin) {
    checkedMutable(_rep).classOrigin = classOrigin;
}

Boolean CIMProperty::getPropagated() const {
    return checked(_rep).propagated;
}

void CIMProperty::setPropagated(Boolean propagated) {
    checkedMutable(_rep).propagated = propagated;
}

Boolean CIMProperty::identical(const CIMConstProperty& x) const {
    return identicalReps(_rep, x._rep);
}

CIMProperty CIMProperty::clone() const {
    return CIMProperty(cloneRep(_rep));
}

Boolean CIMProperty::isUninitialized() const {
    return !_rep;
}

// ---- CIMConstProperty ------------------------------------------------------------------------

CIMConstProperty::CIMConstProperty() = default;

CIMConstProperty::CIMConstProperty(const CIMConstProperty& x) = default;

CIMConstProperty::CIMConstProperty(const CIMProperty& x) : _rep(x._rep) {}

CIMConstProperty::CIMConstProperty(const CIMName& name, const CIMValue& value, Uint32 arraySize,
                                   const CIMName& referenceClassName, const CIMName& classOrigin,
                                   Boolean propagated)
    : _rep(makeRep(name, value, arraySize, referenceClassName, classOrigin, propagated)) {}

CIMConstProperty::~CIMConstProperty() = default;

CIMConstProperty& CIMConstProperty::operator=(const CIMConstProperty& x) = default;

CIMConstProperty& CIMConstProperty::operator=(const CIMProperty& x) {
    _rep = x._rep;
    return *this;
}

const CIMName& CIMConstProperty::getName() const {
    return checked(_rep).name;
}

const CIMValue& CIMConstProperty::getValue() const {
    return checked(_rep).value;
}

CIMType CIMConstProperty::getType() const {
    return checked(_rep).value.getType();
}

Boolean CIMConstProperty::isArray() const {
    return checked(_rep).value.isArray();
}

Uint32 CIMConstProperty::getArraySize() const {
    return checked(_rep).arraySize;
}

const CIMName& CIMConstProperty::getReferenceClassName() const {
    return checked(_rep).referenceClassName;
}

const CIMName& CIMConstProperty::getClassOrigin() const {
    return checked(_rep).classOrigin;
}

Boolean CIMConstProperty::getPropagated() const {
    return checked(_rep).propagated;
}

Boolean CIMConstProperty::identical(const CIMConstProperty& x) const {
    return identicalReps(_rep, x._rep);
}

CIMProperty CIMConstProperty::clone() const {
    return CIMProperty(cloneRep(_rep));
}

Boolean CIMConstProperty::isUninitialized() const {
    return !_rep;
}

PEGASUS_NAMESPACE_END
