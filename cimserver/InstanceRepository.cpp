#include "InstanceRepository.h"

#include <Pegasus/Provider/ProviderException.h>

namespace velk::cimserver {

using namespace Pegasus;

namespace {

// Paths stored here carry no host or namespace; requests may carry both.
CIMObjectPath localPath(const CIMObjectPath& path) {
    return CIMObjectPath(String(), CIMNamespaceName(), path.getClassName(), path.getKeyBindings());
}

}  // namespace

void InstanceRepository::add(const CIMObjectPath& path, const CIMInstance& instance) {
    std::lock_guard<std::mutex> lock(_mutex);
    _entries.push_back({localPath(path), instance.clone()});
}

void InstanceRepository::addComputerSystem(const std::string& hostName) {
    const String className("CIM_UnitaryComputerSystem");
    const String name(hostName.c_str());
    Array<CIMKeyBinding> keys;
    keys.append(CIMKeyBinding(CIMName("CreationClassName"), className, CIMKeyBinding::STRING));
    keys.append(CIMKeyBinding(CIMName("Name"), name, CIMKeyBinding::STRING));
    CIMInstance system{CIMName(className)};
    system.addProperty(CIMProperty(CIMName("CreationClassName"), CIMValue(className)));
    system.addProperty(CIMProperty(CIMName("Name"), CIMValue(name)));
    add(CIMObjectPath(String(), CIMNamespaceName(), CIMName(className), keys), system);
}

Uint32 InstanceRepository::unloadHints() const {
    std::lock_guard<std::mutex> lock(_mutex);
    return _unloadHints;
}

CIMInstance InstanceRepository::getInstance(const OperationContext&, const CIMNamespaceName&,
                                            const CIMObjectPath& instanceName, Boolean, Boolean,
                                            Boolean, const CIMPropertyList&) {
    CIMObjectPath wanted = localPath(instanceName);
    std::lock_guard<std::mutex> lock(_mutex);
    for (const Entry& entry : _entries) {
        if (entry.path == wanted) {
            return entry.instance.clone();
        }
    }
    throw CIMObjectNotFoundException(instanceName.toString());
}

Array<CIMInstance> InstanceRepository::enumerateInstances(const OperationContext&,
                                                          const CIMNamespaceName&,
                                                          const CIMName& className, Boolean,
                                                          Boolean, Boolean, Boolean,
                                                          const CIMPropertyList&) {
    Array<CIMInstance> found;
    std::lock_guard<std::mutex> lock(_mutex);
    for (const Entry& entry : _entries) {
        if (entry.path.getClassName() == className) {
            found.append(entry.instance.clone());
        }
    }
    return found;
}

Array<CIMObjectPath> InstanceRepository::enumerateInstanceNames(const OperationContext&,
                                                                const CIMNamespaceName&,
                                                                const CIMName& className) {
    Array<CIMObjectPath> found;
    std::lock_guard<std::mutex> lock(_mutex);
    for (const Entry& entry : _entries) {
        if (entry.path.getClassName() == className) {
            found.append(entry.path);
        }
    }
    return found;
}

CIMValue InstanceRepository::invokeMethod(const OperationContext&, const CIMNamespaceName&,
                                          const CIMObjectPath&, const CIMName& methodName,
                                          const Array<CIMParamValue>&, Array<CIMParamValue>&) {
    throw CIMNotSupportedException(methodName.getString());
}

void InstanceRepository::disallowProviderUnload() {
    std::lock_guard<std::mutex> lock(_mutex);
    _unloadHints++;
}

void InstanceRepository::allowProviderUnload() {
    std::lock_guard<std::mutex> lock(_mutex);
    if (_unloadHints > 0) {
        _unloadHints--;
    }
}

}  // namespace velk::cimserver
