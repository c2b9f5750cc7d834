// CIMOMHandleBackend: the host side of CIMOMHandle.
//
// This header belongs to our CIM layer only; it is not part of the OpenPegasus provider API and
// provider code must not include it. A host (the embedded CIM server, or a test) implements this
// class and passes it to CIMOMHandle(std::shared_ptr<CIMOMHandleBackend>) before it initialises
// a provider. Providers may call the handle from several threads at once, so implementations
// must be thread-safe.
#ifndef Pegasus_CIMOMHandleBackend_h
#define Pegasus_CIMOMHandleBackend_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Provider/CIMOMHandle.h>
#include <Pegasus/Provider/Linkage.h>

PEGASUS_NAMESPACE_BEGIN

class PEGASUS_PROVIDER_LINKAGE CIMOMHandleBackend {
  public:
    virtual ~CIMOMHandleBackend();

    virtual CIMInstance getInstance(const OperationContext& context,
                                    const CIMNamespaceName& nameSpace,
                                    const CIMObjectPath& instanceName, Boolean localOnly,
                                    Boolean includeQualifiers, Boolean includeClassOrigin,
                                    const CIMPropertyList& propertyList) = 0;

    virtual Array<CIMInstance> enumerateInstances(const OperationContext& context,
                                                  const CIMNamespaceName& nameSpace,
                                                  const CIMName& className, Boolean deepInheritance,
                                                  Boolean localOnly, Boolean includeQualifiers,
                                                  Boolean includeClassOrigin,
                                                  const CIMPropertyList& propertyList) = 0;

    virtual Array<CIMObjectPath> enumerateInstanceNames(const OperationContext& context,
                                                        const CIMNamespaceName& nameSpace,
                                                        const CIMName& className) = 0;

    virtual CIMValue invokeMethod(const OperationContext& context,
                                  const CIMNamespaceName& nameSpace,
                                  const CIMObjectPath& instanceName, const CIMName& methodName,
                                  const Array<CIMParamValue>& inParameters,
                                  Array<CIMParamValue>& outParameters) = 0;

    // Called when the handle's count of unload hints goes from 0 to 1 and from 1 back to 0, so
    // the back end sees a balanced sequence however the provider calls the handle.
    virtual void disallowProviderUnload() = 0;
    virtual void allowProviderUnload() = 0;

    // Outstanding disallowProviderUnload() hints of a handle (shared by its copies), for hosts
    // and tests; works on handles with or without a back end.
    static Uint32 getUnloadHintCount(const CIMOMHandle& handle);
};

PEGASUS_NAMESPACE_END

#endif
