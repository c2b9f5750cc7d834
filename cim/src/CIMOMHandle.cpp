#include <Pegasus/Provider/CIMOMHandle.h>

#include <mutex>

#include <Pegasus/Provider/CIMOMHandleBackend.h>

PEGASUS_NAMESPACE_BEGIN

struct CIMOMHandleRep {
    std::shared_ptr<CIMOMHandleBackend> backend;
    std::mutex mutex;
    Uint32 unloadHints = 0;
};

namespace {

CIMOMHandleBackend& backendOf(const std::shared_ptr<CIMOMHandleRep>& rep) {
    if (!rep->backend)
        // What OpenPegasus throws when a handle reaches no CIM server.
        throw Exception("Cannot connect to local CIM server. Connection failed.");
    return *rep->backend;
}

}  // namespace

CIMOMHandleBackend::~CIMOMHandleBackend() = default;

Uint32 CIMOMHandleBackend::getUnloadHintCount(const CIMOMHandle& handle) {
    std::lock_guard<std::mutex> lock(handle._rep->mutex);
    return handle._rep->unloadHints;
}

CIMOMHandle::CIMOMHandle() : _rep(std::make_shared<CIMOMHandleRep>()) {}

CIMOMHandle::CIMOMHandle(std::shared_ptr<CIMOMHandleBackend> backend)
    : _rep(std::make_shared<CIMOMHandleRep>()) {
    _rep->backend = std::move(backend);
}

CIMOMHandle::CIMOMHandle(const CIMOMHandle& handle) = default;

CIMOMHandle::~CIMOMHandle() = default;

CIMOMHandle& CIMOMHandle::operator=(const CIMOMHandle& handle) = default;

CIMInstance CIMOMHandle::getInstance(const OperationContext& context,
                                     const CIMNamespaceName& nameSpace,
                                     const CIMObjectPath& instanceName, Boolean localOnly,
                                     Boolean includeQualifiers, Boolean includeClassOrigin,
                                     const CIMPropertyList& propertyList) {
    return backendOf(_rep).getInstance(context, nameSpace, instanceName, localOnly,
                                       includeQualifiers, includeClassOrigin, propertyList);
}

Array<CIMInstance> CIMOMHandle::enumerateInstances(
    const OperationContext& context, const CIMNamespaceName& nameSpace, const CIMName& className,
    Boolean deepInheritance, Boolean localOnly, Boolean includeQualifiers,
    Boolean includeClassOrigin, const CIMPropertyList& propertyList) {
    return backendOf(_rep).enumerateInstances(context, nameSpace, className, deepInheritance,
                                              localOnly, includeQualifiers, includeClassOrigin,
                                              propertyList);
}

Array<CIMObjectPath> CIMOMHandle::enumerateInstanceNames(const OperationContext& context,
                                                         const CIMNamespaceName& nameSpace,
                                                         const CIMName& className) {
    return backendOf(_rep).enumerateInstanceNames(context, nameSpace, className);
}

CIMValue CIMOMHandle::invokeMethod(const OperationContext& context,
                                   const CIMNamespaceName& nameSpace,
                                   const CIMObjectPath& instanceName, const CIMName& methodName,
                                   const Array<CIMParamValue>& inParameters,
                                   Array<CIMParamValue>& outParameters) {
    return backendOf(_rep).invokeMethod(context, nameSpace, instanceName, methodName, inParameters,
                                        outParameters);
}

void CIMOMHandle::disallowProviderUnload() {
    std::lock_guard<std::mutex> lock(_rep->mutex);
    if (++_rep->unloadHints == 1 && _rep->backend)
        _rep->backend->disallowProviderUnload();
}

void CIMOMHandle::allowProviderUnload() {
    std::lock_guard<std::mutex> lock(_rep->mutex);
    if (_rep->unloadHints == 0)
        return;
    if (--_rep->unloadHints == 0 && _rep->backend)
        _rep->backend->allowProviderUnload();
}

PEGASUS_NAMESPACE_END
