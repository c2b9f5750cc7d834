#include <Pegasus/Common/OperationContext.h>

PEGASUS_NAMESPACE_BEGIN

OperationContext::Container::~Container() = default;

// ---- OperationContext ------------------------------------------------------------------------

OperationContext::OperationContext() = default;

OperationContext::OperationContext(const OperationContext& context) {
    *this = context;
}

OperationContext::~OperationContext() {
    clear();
}

OperationContext& OperationContext::operator=(const OperationContext& context) {
    if (this == &context)
        return *this;
    // Clone everything first so that a failing clone() leaves this context as it was.
    std::vector<Container*> copies;
    try {
        for (Uint32 i = 0; i < context._containers.size(); i++)
            copies.push_back(context._containers[i]->clone());
    } catch (...) {
        for (Uint32 i = 0; i < copies.size(); i++)
            copies[i]->destroy();
        throw;
    }
    clear();
    _containers = copies;
    return *this;
}

void OperationContext::clear() {
    for (Uint32 i = 0; i < _containers.size(); i++)
        _containers[i]->destroy();
    _containers.clear();
}

Uint32 OperationContext::_find(const String& containerName) const {
    for (Uint32 i = 0; i < _containers.size(); i++) {
        if (String::equal(_containers[i]->getName(), containerName))
            return i;
    }
    return PEG_NOT_FOUND;
}

const OperationContext::Container& OperationContext::get(const String& containerName) const {
    Uint32 index = _find(containerName);
    if (index == PEG_NOT_FOUND)
        throw Exception("object not found");
    return *_containers[index];
}

Boolean OperationContext::contains(const String& containerName) const {
    return _find(containerName) != PEG_NOT_FOUND;
}

void OperationContext::set(const Container& container) {
    Container* copy = container.clone();
    Uint32 index = _find(container.getName());
    if (index == PEG_NOT_FOUND) {
        _containers.push_back(copy);
    } else {
        _containers[index]->destroy();
        _containers[index] = copy;
    }
}

void OperationContext::insert(const Container& container) {
    if (_find(container.getName()) != PEG_NOT_FOUND)
        throw AlreadyExistsException(container.getName());
    _containers.push_back(container.clone());
}

void OperationContext::remove(const String& containerName) {
    Uint32 index = _find(containerName);
    if (index == PEG_NOT_FOUND)
        throw Exception("object not found");
    _containers[index]->destroy();
    _containers.erase(_containers.begin() + index);
}

// ---- IdentityContainer -----------------------------------------------------------------------

const String IdentityContainer::NAME = "IdentityContainer";

IdentityContainer::IdentityContainer(const OperationContext::Container& container) {
    const IdentityContainer* identity = dynamic_cast<const IdentityContainer*>(&container);
    if (!identity)
        throw DynamicCastFailedException();
    _userName = identity->_userName;
}

IdentityContainer::IdentityContainer(const IdentityContainer& container)
    : OperationContext::Container(), _userName(container._userName) {}

IdentityContainer::IdentityContainer(const String& userName) : _userName(userName) {}

IdentityContainer::~IdentityContainer() = default;

IdentityContainer& IdentityContainer::operator=(const IdentityContainer& container) {
    _userName = container._userName;
    return *this;
}

String IdentityContainer::getName() const {
    return NAME;
}

OperationContext::Container* IdentityContainer::clone() const {
    return new IdentityContainer(*this);
}

void IdentityContainer::destroy() {
    delete this;
}

String IdentityContainer::getUserName() const {
    return _userName;
}

PEGASUS_NAMESPACE_END
