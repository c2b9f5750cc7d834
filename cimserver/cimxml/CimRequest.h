// One CIM operation request as read from a CIM-XML SIMPLEREQ message.
#ifndef VELK_CIMSERVER_CIM_REQUEST_H
#define VELK_CIMSERVER_CIM_REQUEST_H

#include <optional>
#include <string>
#include <vector>

#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMParamValue.h>

namespace velk::cimserver {

enum class CimOperation {
    GetClass,
    EnumerateClasses,
    EnumerateClassNames,
    GetInstance,
    EnumerateInstances,
    EnumerateInstanceNames,
    Associators,
    AssociatorNames,
    References,
    ReferenceNames,
    CreateInstance,
    ModifyInstance,
    DeleteInstance,
    InvokeMethod,
};

struct CimRequest {
    // Known as soon as the envelope is read, so that even a request whose
    // parameters are refused gets its answer in the matching response element.
    std::string messageId;
    bool intrinsic = true;
    std::string methodName;  // IMETHODCALL or METHODCALL NAME as sent

    CimOperation operation = CimOperation::GetClass;
    std::string nameSpace;  // NAMESPACE names joined by '/'

    // ClassName, or the class of the instance or method target.
    std::string className;
    // InstanceName or ObjectName, or the method target (keys empty for a class).
    Pegasus::CIMObjectPath objectName;
    bool objectIsClass = false;  // ObjectName or method target names a class

    bool localOnly = true;
    bool deepInheritance = false;
    bool includeQualifiers = false;
    bool includeClassOrigin = false;
    std::optional<std::vector<std::string>> propertyList;  // none: every property

    std::string assocClass;
    std::string resultClass;
    std::string role;
    std::string resultRole;

    Pegasus::CIMInstance instance;  // NewInstance / ModifiedInstance

    Pegasus::Array<Pegasus::CIMParamValue> inParameters;  // typed from the method signature
};

}  // namespace velk::cimserver

#endif
