// CIMOMHandle: a provider's way back into the CIM server that hosts it.
//
// The handle forwards every operation to the host's back end (see CIMOMHandleBackend.h), which
// the host attaches when it creates the handle. Copies share one back end and one unload-hint
// counter. The host may serialise requests coming from different threads.
#ifndef Pegasus_CIMOMHandle_h
#define Pegasus_CIMOMHandle_h

#include <memory>

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMParamValue.h>
#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/OperationContext.h>
#include <Pegasus/Provider/Linkage.h>

PEGASUS_NAMESPACE_BEGIN

class CIMOMHandleBackend;
struct CIMOMHandleRep;

class PEGASUS_PROVIDER_LINKAGE CIMOMHandle {
  public:
    // A handle without a host: operations throw CIMException(CIM_ERR_FAILED), unload hints are
    // only counted.
    CIMOMHandle();
    // A handle whose operations go to the given back end (see CIMOMHandleBackend.h).
    explicit CIMOMHandle(std::shared_ptr<CIMOMHandleBackend> backend);
    CIMOMHandle(const CIMOMHandle& handle);
    virtual ~CIMOMHandle();
    CIMOMHandle& operator=(const CIMOMHandle& handle);

    CIMInstance getInstance(const OperationContext& context, const CIMNamespaceName& nameSpace,
                            const CIMObjectPath& instanceName, Boolean localOnly,
                            Boolean includeQualifiers, Boolean includeClassOrigin,
                            const CIMPropertyList& propertyList);

    Array<CIMInstance> enumerateInstances(const OperationContext& context,
                                          const CIMNamespaceName& nameSpace,
                                          const CIMName& className, Boolean deepInheritance,
                                          Boolean localOnly, Boolean includeQualifiers,
                                          Boolean includeClassOrigin,
                                          const CIMPropertyList& propertyList);

    Array<CIMObjectPath> enumerateInstanceNames(const OperationContext& context,
                                                const CIMNamespaceName& nameSpace,
                                                const CIMName& className);

    CIMValue invokeMethod(const OperationContext& context, const CIMNamespaceName& nameSpace,
                          const CIMObjectPath& instanceName, const CIMName& methodName,
                          const Array<CIMParamValue>& inParameters,
                          Array<CIMParamValue>& outParameters);

    // Hints that the provider must not be unloaded while idle; cumulative, each one to be
    // matched by one allowProviderUnload().
    void disallowProviderUnload();
    // Withdraws one disallowProviderUnload(); without an outstanding one it does nothing.
    void allowProviderUnload();

  private:
    std::shared_ptr<CIMOMHandleRep> _rep;

    friend class CIMOMHandleBackend;
};

PEGASUS_NAMESPACE_END

#endif
