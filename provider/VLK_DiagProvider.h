// The provider object the CIM server creates through PegasusCreateProvider:
// it checks each request's object path, records the request context and
// routes the request by class name to the builder that serves that class.
#ifndef VLK_DIAG_PROVIDER_H
#define VLK_DIAG_PROVIDER_H

#include <string>

#include <Pegasus/Common/Config.h>
#include <Pegasus/Provider/CIMInstanceProvider.h>
#include <Pegasus/Provider/CIMMethodProvider.h>
#include <log4cpp/Category.hh>

#include "VLK_DiagResult.h"

PEGASUS_NAMESPACE_BEGIN

class VLK_DiagProvider : public CIMInstanceProvider, public CIMMethodProvider {
  public:
    VLK_DiagProvider();
    virtual ~VLK_DiagProvider();

    virtual void initialize(CIMOMHandle& cimom);
    virtual void terminate();

    virtual void getInstance(const OperationContext& context,
                             const CIMObjectPath& instanceReference,
                             const Boolean includeQualifiers, const Boolean includeClassOrigin,
                             const CIMPropertyList& propertyList, InstanceResponseHandler& handler);
    virtual void enumerateInstances(const OperationContext& context,
                                    const CIMObjectPath& classReference,
                                    const Boolean includeQualifiers,
                                    const Boolean includeClassOrigin,
                                    const CIMPropertyList& propertyList,
                                    InstanceResponseHandler& handler);
    virtual void enumerateInstanceNames(const OperationContext& context,
                                        const CIMObjectPath& classReference,
                                        ObjectPathResponseHandler& handler);
    virtual void modifyInstance(const OperationContext& context,
                                const CIMObjectPath& instanceReference,
                                const CIMInstance& instanceObject, const Boolean includeQualifiers,
                                const CIMPropertyList& propertyList, ResponseHandler& handler);
    virtual void createInstance(const OperationContext& context,
                                const CIMObjectPath& instanceReference,
                                const CIMInstance& instanceObject,
                                ObjectPathResponseHandler& handler);
    virtual void deleteInstance(const OperationContext& context,
                                const CIMObjectPath& instanceReference, ResponseHandler& handler);
    virtual void invokeMethod(const OperationContext& context, const CIMObjectPath& objectReference,
                              const CIMName& methodName, const Array<CIMParamValue>& inParameters,
                              MethodResultResponseHandler& handler);

    static Array<String> getSupportedMSEClasses();
    static Boolean isSupportedMSE(const String& className);

    static log4cpp::Category& log;
    static std::string VLKHomeDir;

    static const String DIAG_TEST;
    static const String DIAG_RESULT;
    static const String DIAG_RESULT_FOR_MSE;
    static const String DIAG_RESULT_FOR_TEST;
    static const String DIAG_TEST_FOR_MSE;
    static const String DIAG_TEST_SOFTWARE_ASSOC;
    static const String DIAG_TEST_SOFTWARE;
    static const String DIAG_MSE_DISK_DRIVE;
    static const String DIAG_MSE_OPTICAL_DRIVE;
    static const String DIAG_MSE_CPU;
    static const String DIAG_MSE_DISKETTE_DRIVE;
    static const String DIAG_MSE_SERIAL;
    static const String DIAG_MSE_LPT;

  private:
    // Checks host and namespace of the reference and records them as the
    // request context; `what` names the argument in the assertion text.
    static void acceptReference(const CIMObjectPath& reference, const char* what, int line);

    CIMOMHandle _cimom;
    VLK_DiagResult _results;
};

PEGASUS_NAMESPACE_END

#endif
