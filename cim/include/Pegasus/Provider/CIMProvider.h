// CIMProvider: the base of every provider interface.
//
// The host calls initialize() once after loading the provider and before any request, and
// terminate() once at the end; nothing is called after terminate(). The host never deletes the
// provider: a provider created with new deletes itself in terminate().
#ifndef Pegasus_CIMProvider_h
#define Pegasus_CIMProvider_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/OperationContext.h>
#include <Pegasus/Common/ResponseHandler.h>
#include <Pegasus/Provider/CIMOMHandle.h>
#include <Pegasus/Provider/ProviderException.h>
#include <Pegasus/Provider/Linkage.h>

PEGASUS_NAMESPACE_BEGIN

class PEGASUS_PROVIDER_LINKAGE CIMProvider {
  public:
    CIMProvider();
    virtual ~CIMProvider();

    // An exception thrown here means the provider failed to initialise.
    virtual void initialize(CIMOMHandle& cimom) = 0;
    // Exceptions thrown here are ignored.
    virtual void terminate() = 0;
};

PEGASUS_NAMESPACE_END

#endif
