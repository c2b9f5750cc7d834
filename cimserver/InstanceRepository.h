// The instances the host itself keeps (the computer system, the test
// software), served to providers through their CIMOMHandle.
#ifndef VELK_CIMSERVER_INSTANCE_REPOSITORY_H
#define VELK_CIMSERVER_INSTANCE_REPOSITORY_H

#include <mutex>
#include <string>
#include <vector>

#include <Pegasus/Provider/CIMOMHandleBackend.h>

namespace velk::cimserver {

class InstanceRepository : public Pegasus::CIMOMHandleBackend {
  public:
    // Stores an instance under its path (which names its class and keys).
    void add(const Pegasus::CIMObjectPath& path, const Pegasus::CIMInstance& instance);
    // Stores the host's one CIM_UnitaryComputerSystem, named hostName, to
    // which providers attach the devices they publish.
    void addComputerSystem(const std::string& hostName);
    Pegasus::Uint32 unloadHints() const;

    Pegasus::CIMInstance getInstance(const Pegasus::OperationContext& context,
                                     const Pegasus::CIMNamespaceName& nameSpace,
                                     const Pegasus::CIMObjectPath& instanceName,
                                     Pegasus::Boolean localOnly, Pegasus::Boolean includeQualifiers,
                                     Pegasus::Boolean includeClassOrigin,
                                     const Pegasus::CIMPropertyList& propertyList) override;
    Pegasus::Array<Pegasus::CIMInstance> enumerateInstances(
        const Pegasus::OperationContext& context, const Pegasus::CIMNamespaceName& nameSpace,
        const Pegasus::CIMName& className, Pegasus::Boolean deepInheritance,
        Pegasus::Boolean localOnly, Pegasus::Boolean includeQualifiers,
        Pegasus::Boolean includeClassOrigin, const Pegasus::CIMPropertyList& propertyList) override;
    Pegasus::Array<Pegasus::CIMObjectPath> enumerateInstanceNames(
        const Pegasus::OperationContext& context, const Pegasus::CIMNamespaceName& nameSpace,
        const Pegasus::CIMName& className) override;
    Pegasus::CIMValue invokeMethod(const Pegasus::OperationContext& context,
                                   const Pegasus::CIMNamespaceName& nameSpace,
                                   const Pegasus::CIMObjectPath& instanceName,
                                   const Pegasus::CIMName& methodName,
                                   const Pegasus::Array<Pegasus::CIMParamValue>& inParameters,
                                   Pegasus::Array<Pegasus::CIMParamValue>& outParameters) override;
    void disallowProviderUnload() override;
    void allowProviderUnload() override;

  private:
    struct Entry {
        Pegasus::CIMObjectPath path;
        Pegasus::CIMInstance instance;
    };

    mutable std::mutex _mutex;
    std::vector<Entry> _entries;
    Pegasus::Uint32 _unloadHints = 0;
};

}  // namespace velk::cimserver

#endif
