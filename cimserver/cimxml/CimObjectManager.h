// The object manager of the embedded CIM server: the class schema, the
// provider library and the instances the server keeps itself, and the
// routing of every instance operation by class through the class hierarchy.
#ifndef VELK_CIMSERVER_CIM_OBJECT_MANAGER_H
#define VELK_CIMSERVER_CIM_OBJECT_MANAGER_H

#include <memory>
#include <string>
#include <vector>

#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMParamValue.h>
#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Provider/CIMInstanceProvider.h>
#include <Pegasus/Provider/CIMMethodProvider.h>

#include "ClassSchema.h"
#include "InstanceRepository.h"
#include "ProviderLibrary.h"

namespace velk::cimserver {

// An instance with the path that names it.
struct NamedInstance {
    Pegasus::CIMObjectPath path;
    Pegasus::CIMInstance instance;
};

// The result of an extrinsic method call.
struct MethodResult {
    Pegasus::CIMValue returnValue;
    Pegasus::Array<Pegasus::CIMParamValue> outParameters;
};

class CimObjectManager {
  public:
    struct Options {
        std::string schemaFile;       // VLK_Schema.mof
        std::string providerLibrary;  // libVLK_DiagProvider.so
        std::string hostName;         // Name of the CIM_UnitaryComputerSystem instance
        std::string nameSpace = "root/korva";
    };
    // Loads the schema, the provider (PegasusCreateProvider "VLK_DiagProvider"),
    // keeps the host instances (computer system; instances declared in the
    // schema such as VLK_TestSoftware), gives the provider a CIMOMHandle whose
    // back end answers from those and routes other classes to the provider,
    // initializes it. Throws std::runtime_error with a clear message.
    explicit CimObjectManager(const Options& options);
    ~CimObjectManager();  // terminates the provider
    CimObjectManager(const CimObjectManager&) = delete;
    CimObjectManager& operator=(const CimObjectManager&) = delete;

    const ClassSchema& schema() const;
    const std::string& hostName() const { return _options.hostName; }
    const std::string& nameSpace() const { return _options.nameSpace; }

    // Whether the provider serves the class (else the server keeps its instances).
    bool providerServes(const std::string& className) const;
    // The class and (deep) its subclasses that can have instances.
    std::vector<std::string> concreteClasses(const std::string& className) const;
    // The path with this server's host and namespace, also in its reference keys.
    Pegasus::CIMObjectPath localized(const Pegasus::CIMObjectPath& path) const;

    // Instance operations; failures throw Pegasus::CIMException with the
    // status code of the fault (CIM_ERR_NOT_FOUND for an unknown instance).
    Pegasus::CIMInstance getInstance(const Pegasus::CIMObjectPath& path);
    std::vector<NamedInstance> enumerateInstances(const std::string& className);
    std::vector<Pegasus::CIMObjectPath> enumerateInstanceNames(const std::string& className);
    MethodResult invokeMethod(const Pegasus::CIMObjectPath& target, const std::string& method,
                              const Pegasus::Array<Pegasus::CIMParamValue>& inParameters);
    void createInstance(const Pegasus::CIMInstance& instance);
    void modifyInstance(const Pegasus::CIMObjectPath& path, const Pegasus::CIMInstance& instance);
    void deleteInstance(const Pegasus::CIMObjectPath& path);

    // The path of an instance, from the key properties of its class.
    Pegasus::CIMObjectPath pathOf(const Pegasus::CIMInstance& instance) const;

  private:
    class Backend;

    Pegasus::CIMObjectPath classPath(const std::string& className) const;
    void keepSchemaInstances();
    Pegasus::CIMInstance providerGet(const Pegasus::CIMObjectPath& path);

    Options _options;
    ClassSchema _schema;
    std::unique_ptr<ProviderLibrary> _library;
    std::shared_ptr<InstanceRepository> _hostInstances;
    std::shared_ptr<Backend> _backend;
    Pegasus::CIMProvider* _provider = nullptr;
    Pegasus::CIMInstanceProvider* _instanceProvider = nullptr;
    Pegasus::CIMMethodProvider* _methodProvider = nullptr;
    std::vector<std::string> _hostClasses;  // classes of the instances the server keeps
};

}  // namespace velk::cimserver

#endif
