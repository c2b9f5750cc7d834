#include <Pegasus/Common/CIMInstance.h>

#include "CIMInstanceRep.h"
#include "CIMPropertyRep.h"

PEGASUS_NAMESPACE_BEGIN

// ---- CIMInstanceRep --------------------------------------------------------------------------

CIMInstanceRep::~CIMInstanceRep() {
    for (Uint32 i = 0; i < properties.size(); i++)
        properties.getData()[i]._rep->owners--;
}

Uint32 CIMInstanceRep::find(const CIMName& name) const {
    for (Uint32 i = 0; i < properties.size(); i++) {
        if (properties[i].getName().equal(name))
            return i;
    }
    return PEG_NOT_FOUND;
}

void CIMInstanceRep::add(const CIMProperty& property) {
    if (property.isUninitialized())
        throw UninitializedObjectException();
    if (find(property.getName()) != PEG_NOT_FOUND)
        throw AlreadyExistsException(property.getName().getString());
    properties.append(property);
    property._rep->owners++;
}

void CIMInstanceRep::remove(Uint32 index) {
    CIMProperty property = properties[index];  // throws IndexOutOfBoundsException
    properties.remove(index);
    property._rep->owners--;
}

// ---- CIMInstance -----------------------------------------------------------------------------

namespace {

std::shared_ptr<CIMInstanceRep> newRep(const CIMName& className) {
    if (className.isNull())
        throw UninitializedObjectException();
    auto rep = std::make_shared<CIMInstanceRep>();
    rep->className = className;
    rep->path = CIMObjectPath(String(), CIMNamespaceName(), className);
    return rep;
}

std::shared_ptr<CIMInstanceRep> cloneRep(const CIMInstanceRep& from) {
    auto rep = std::make_shared<CIMInstanceRep>();
    rep->className = from.className;
    rep->path = from.path;
    for (Uint32 i = 0; i < from.properties.size(); i++)
        rep->add(from.properties[i].clone());
    return rep;
}

Boolean identicalReps(const CIMInstanceRep& x, const CIMInstanceRep& y) {
    if (&x == &y)
        return true;
    if (!x.className.equal(y.className) || x.properties.size() != y.properties.size())
        return false;
    for (Uint32 i = 0; i < x.properties.size(); i++) {
        Uint32 j = y.find(x.properties[i].getName());
        if (j == PEG_NOT_FOUND || !x.properties[i].identical(y.properties[j]))
            return false;
    }
    return true;
}

}  // namespace

CIMInstance::CIMInstance() = default;

CIMInstance::CIMInstance(const CIMInstance& x) = default;

CIMInstance::CIMInstance(const CIMObject& x) : _rep(x._rep) {
    // Every initialized CIMObject of this layer holds an instance; an uninitialized one gives
    // an uninitialized instance.
    if (!x.isUninitialized() && !x.isInstance())
        throw DynamicCastFailedException();
}

CIMInstance::CIMInstance(const CIMName& className) : _rep(newRep(className)) {}

CIMInstance::CIMInstance(std::shared_ptr<CIMInstanceRep> rep) : _rep(std::move(rep)) {}

CIMInstance::~CIMInstance() = default;

CIMInstance& CIMInstance::operator=(const CIMInstance& x) = default;

void CIMInstance::_check() const {
    if (!_rep)
        throw UninitializedObjectException();
}

const CIMName& CIMInstance::getClassName() const {
    _check();
    return _rep->className;
}

const CIMObjectPath& CIMInstance::getPath() const {
    _check();
    return _rep->path;
}

void CIMInstance::setPath(const CIMObjectPath& path) {
    _check();
    if (path.getClassName().isNull())
        throw UninitializedObjectException();
    if (!path.getClassName().equal(_rep->className))
        throw TypeMismatchException();
    _rep->path = path;
}

CIMInstance& CIMInstance::addProperty(const CIMProperty& x) {
    _check();
    _rep->add(x);
    return *this;
}

Uint32 CIMInstance::findProperty(const CIMName& name) const {
    _check();
    return _rep->find(name);
}

CIMProperty CIMInstance::getProperty(Uint32 index) {
    _check();
    return _rep->properties[index];
}

CIMConstProperty CIMInstance::getProperty(Uint32 index) const {
    _check();
    const Array<CIMProperty>& properties = _rep->properties;
    return CIMConstProperty(properties[index]);
}

void CIMInstance::removeProperty(Uint32 index) {
    _check();
    _rep->remove(index);
}

Uint32 CIMInstance::getPropertyCount() const {
    _check();
    return _rep->properties.size();
}

CIMInstance CIMInstance::clone() const {
    if (!_rep)
        return CIMInstance();
    return CIMInstance(cloneRep(*_rep));
}

Boolean CIMInstance::identical(const CIMConstInstance& x) const {
    _check();
    if (!x._rep)
        throw UninitializedObjectException();
    return identicalReps(*_rep, *x._rep);
}

Boolean CIMInstance::isUninitialized() const {
    return !_rep;
}

void CIMInstance::instanceFilter(Boolean includeQualifiers, Boolean includeClassOrigin,
                                 const CIMPropertyList& propertyList) {
    _check();
    for (Uint32 i = _rep->properties.size(); i > 0; i--) {
        if (!propertyList.useThisProperty(_rep->properties[i - 1].getName()))
            _rep->remove(i - 1);
    }
    if (!includeClassOrigin) {
        for (Uint32 i = 0; i < _rep->properties.size(); i++)
            _rep->properties[i].setClassOrigin(CIMName());
    }
}

// ---- CIMConstInstance ------------------------------------------------------------------------

CIMConstInstance::CIMConstInstance() = default;

CIMConstInstance::CIMConstInstance(const CIMConstInstance& x) = default;

CIMConstInstance::CIMConstInstance(const CIMInstance& x) : _rep(x._rep) {}

CIMConstInstance::CIMConstInstance(const CIMObject& x) : _rep(CIMInstance(x)._rep) {}

CIMConstInstance::CIMConstInstance(const CIMName& className) : _rep(newRep(className)) {}

CIMConstInstance::~CIMConstInstance() = default;

CIMConstInstance& CIMConstInstance::operator=(const CIMConstInstance& x) = default;

CIMConstInstance& CIMConstInstance::operator=(const CIMInstance& x) {
    _rep = x._rep;
    return *this;
}

CIMInstance CIMConstInstance::_instance() const {
    if (!_rep)
        throw UninitializedObjectException();
    return CIMInstance(_rep);
}

const CIMName& CIMConstInstance::getClassName() const {
    _instance();
    return _rep->className;
}

const CIMObjectPath& CIMConstInstance::getPath() const {
    _instance();
    return _rep->path;
}

Uint32 CIMConstInstance::findProperty(const CIMName& name) const {
    return _instance().findProperty(name);
}

CIMConstProperty CIMConstInstance::getProperty(Uint32 index) const {
    const CIMInstance instance = _instance();
    return instance.getProperty(index);
}

Uint32 CIMConstInstance::getPropertyCount() const {
    return _instance().getPropertyCount();
}

CIMInstance CIMConstInstance::clone() const {
    if (!_rep)
        return CIMInstance();
    return _instance().clone();
}

Boolean CIMConstInstance::identical(const CIMConstInstance& x) const {
    return _instance().identical(x);
}

Boolean CIMConstInstance::isUninitialized() const {
    return !_rep;
}

PEGASUS_NAMESPACE_END
