#include "VLK_ComputerSystem.h"

#include <memory>
#include <mutex>

#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/Exception.h>
#include <Pegasus/Common/OperationContext.h>

#include "VLK_Log.h"

PEGASUS_NAMESPACE_BEGIN

namespace {

const CIMNamespaceName NAMESPACE("root/korva");

// The cached computer system; the mutex makes concurrent first requests
// fetch it once.
struct Cache {
    std::mutex mutex;
    std::unique_ptr<VLK_ComputerSystem> system;
};

Cache& cache() {
    static Cache instance;
    return instance;
}

String stringProperty(const CIMInstance& instance, const char* name, const char* failure) {
    Uint32 index = instance.findProperty(CIMName(name));
    if (index == PEG_NOT_FOUND) {
        throw Exception(failure);
    }
    const CIMValue& value = instance.getProperty(index).getValue();
    if (value.isNull() || value.isArray() || value.getType() != CIMTYPE_STRING) {
        throw Exception(failure);
    }
    String text;
    value.get(text);
    return text;
}

}  // namespace

log4cpp::Category& VLK_ComputerSystem::log = log4cpp::Category::getInstance("VLK_ComputerSystem");

VLK_ComputerSystem::VLK_ComputerSystem(const String& creationClassName, const String& name)
    : mCreationClassName(creationClassName), mName(name) {}

CIMInstance VLK_ComputerSystem::mGetCIMInstance(CIMOMHandle& cimom) {
    Array<CIMObjectPath> names = cimom.enumerateInstanceNames(OperationContext(), NAMESPACE,
                                                              CIMName("CIM_UnitaryComputerSystem"));
    if (names.size() == 0) {
        throw Exception(
            "VLK_ComputerSystem::mGetCIMInstance(...): couldn't find an instance of "
            "CIM_UnitaryComputerSystem");
    }
    if (names.size() > 1) {
        throw Exception(
            "VLK_ComputerSystem::mGetCIMInstance(...): more than one instance of "
            "CIM_UnitaryComputerSystem");
    }
    return cimom.getInstance(OperationContext(), NAMESPACE, names[0], false, false, false,
                             CIMPropertyList());
}

String VLK_ComputerSystem::mGetName(const CIMInstance& instance) {
    return stringProperty(instance, "Name",
                          "VLK_ComputerSystem::mGetName(...): the instance of "
                          "CIM_UnitaryComputerSystem has no Name property");
}

String VLK_ComputerSystem::mGetCreationClassName(const CIMInstance& instance) {
    return stringProperty(instance, "CreationClassName",
                          "VLK_ComputerSystem::mGetCreationClassName(...): the instance of "
                          "CIM_UnitaryComputerSystem has no CreationClassName property");
}

VLK_ComputerSystem VLK_ComputerSystem::GetInstance(CIMOMHandle cimom) {
    Cache& cached = cache();
    std::lock_guard<std::mutex> lock(cached.mutex);
    if (!cached.system) {
        try {
            CIMInstance instance = mGetCIMInstance(cimom);
            String name = mGetName(instance);
            String creationClassName = mGetCreationClassName(instance);
            cached.system.reset(new VLK_ComputerSystem(creationClassName, name));
            VLK_LOG_INFO(log, "GetInstance(): " << name << " " << creationClassName);
        } catch (const Exception& e) {
            VLK_LOG_ERROR(log, "GetInstance(): " << e.getMessage());
            // Passed on as a plain Exception with the same message.
            throw Exception(e.getMessage());
        }
    }
    return *cached.system;
}

PEGASUS_NAMESPACE_END
