#include "CimOperationHandler.h"

#include <Pegasus/Common/CIMParamValue.h>
#include <Pegasus/Common/Exception.h>

#include "CimAssociations.h"
#include "CimValueText.h"
#include "XmlBuilder.h"

namespace velk::cimserver {

using namespace Pegasus;

namespace {

const char* const XML_DECLARATION = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n";

// What went wrong in a request the body answers.
struct CimFailure {
    CIMStatusCode code;
    std::string description;
};

std::string envelope(const CimRequest& request, const std::string& content) {
    XmlBuilder xml;
    xml.raw(XML_DECLARATION);
    xml.open("CIM").attribute("CIMVERSION", "2.0").attribute("DTDVERSION", "2.0").newline();
    xml.open("MESSAGE")
        .attribute("ID", request.messageId)
        .attribute("PROTOCOLVERSION", "1.0")
        .newline();
    xml.open("SIMPLERSP").newline();
    const char* response = request.intrinsic ? "IMETHODRESPONSE" : "METHODRESPONSE";
    xml.open(response).attribute("NAME", request.methodName).newline();
    xml.raw(content);
    xml.close(response).newline();
    xml.close("SIMPLERSP").newline().close("MESSAGE").newline().close("CIM").newline();
    return xml.str();
}

std::string errorElement(const CimFailure& failure) {
    XmlBuilder xml;
    xml.open("ERROR")
        .attribute("CODE", std::to_string(int(failure.code)))
        .attribute("DESCRIPTION", failure.description)
        .close("ERROR")
        .newline();
    return xml.str();
}

CimHttpResponse xmlResponse(std::string body) {
    CimHttpResponse response;
    response.headers = {{"Content-Type", "application/xml; charset=\"utf-8\""},
                        {"CIMOperation", "MethodResponse"}};
    response.body = std::move(body);
    return response;
}

CimHttpResponse protocolErrorResponse(const CimProtocolError& error) {
    CimHttpResponse response;
    response.status = error.status;
    response.headers = {{"CIMError", error.cimError}};
    response.body = std::string(error.what()) + "\n";
    return response;
}

ObjectFilter filterOf(const CimRequest& request) {
    ObjectFilter filter;
    filter.localOnly = request.localOnly;
    filter.includeQualifiers = request.includeQualifiers;
    filter.includeClassOrigin = request.includeClassOrigin;
    filter.propertyList = request.propertyList;
    return filter;
}

std::string returnValue(const std::string& items) {
    return "<IRETURNVALUE>\n" + items + "</IRETURNVALUE>\n";
}

}  // namespace

CimOperationHandler::CimOperationHandler(CimObjectManager& manager)
    : _manager(manager),
      _reader(manager.schema(), manager.nameSpace()),
      _writer(manager.schema(), manager.hostName(), manager.nameSpace()) {}

CimHttpResponse CimOperationHandler::handle(const CimHttpRequest& http) {
    CimRequest request;
    CimFailure failure{CIM_ERR_FAILED, ""};
    try {
        _reader.read(http, request);
        return xmlResponse(envelope(request, execute(request)));
    } catch (const CimProtocolError& e) {
        return protocolErrorResponse(e);
    } catch (const CIMException& e) {
        failure = {e.getCode(), toStdString(e.getMessage())};
    } catch (const Exception& e) {
        failure.description = toStdString(e.getMessage());
    } catch (const std::exception& e) {
        failure.description = e.what();
    } catch (...) {
        failure.description = "unknown failure";
    }
    if (request.messageId.empty()) {
        // The envelope itself could not be read.
        return protocolErrorResponse(
            CimProtocolError(400, "request-not-valid", failure.description));
    }
    try {
        return xmlResponse(envelope(request, errorElement(failure)));
    } catch (...) {
        CimHttpResponse response;
        response.status = 500;
        return response;
    }
}

std::string CimOperationHandler::execute(const CimRequest& request) {
    switch (request.operation) {
        case CimOperation::GetClass:
        case CimOperation::EnumerateClasses:
            return classes(request, false);
        case CimOperation::EnumerateClassNames:
            return classes(request, true);
        case CimOperation::GetInstance: {
            XmlBuilder xml;
            _writer.instance(xml, _manager.getInstance(request.objectName), filterOf(request));
            return returnValue(xml.newline().str());
        }
        case CimOperation::EnumerateInstances:
            return instances(request, false);
        case CimOperation::EnumerateInstanceNames:
            return instances(request, true);
        case CimOperation::Associators:
        case CimOperation::AssociatorNames:
        case CimOperation::References:
        case CimOperation::ReferenceNames:
            return associations(request);
        case CimOperation::CreateInstance: {
            _manager.createInstance(request.instance);
            XmlBuilder xml;
            _writer.instanceName(xml, _manager.pathOf(request.instance));
            return returnValue(xml.newline().str());
        }
        case CimOperation::ModifyInstance:
            _manager.modifyInstance(request.objectName, request.instance);
            return "";
        case CimOperation::DeleteInstance:
            _manager.deleteInstance(request.objectName);
            return "";
        case CimOperation::InvokeMethod:
            return method(request);
    }
    throw CIMException(CIM_ERR_NOT_SUPPORTED, "operation not supported");
}

std::string CimOperationHandler::classes(const CimRequest& request, bool namesOnly) {
    const ClassSchema& schema = _manager.schema();
    std::vector<std::string> names;
    if (request.operation == CimOperation::GetClass) {
        names.push_back(request.className);
    } else if (!request.className.empty()) {
        names = schema.subclasses(request.className, request.deepInheritance);
    } else {
        for (const std::string& name : schema.classNames()) {
            if (request.deepInheritance || schema.find(name)->superClass.empty()) {
                names.push_back(name);
            }
        }
    }
    XmlBuilder xml;
    for (const std::string& name : names) {
        if (namesOnly) {
            xml.open("CLASSNAME").attribute("NAME", name).closeEmpty().newline();
        } else {
            _writer.classDeclaration(xml, *schema.find(name), filterOf(request));
            xml.newline();
        }
    }
    return returnValue(xml.str());
}

std::string CimOperationHandler::instances(const CimRequest& request, bool namesOnly) {
    XmlBuilder xml;
    if (namesOnly) {
        for (const CIMObjectPath& path : _manager.enumerateInstanceNames(request.className)) {
            _writer.instanceName(xml, path);
            xml.newline();
        }
        return returnValue(xml.str());
    }
    ObjectFilter filter = filterOf(request);
    if (!request.deepInheritance) {
        // Only the properties the requested class knows (of those asked for).
        std::vector<std::string> known;
        for (const PropertyDecl& property : _manager.schema().find(request.className)->properties) {
            if (filter.wantsProperty(property.name)) {
                known.push_back(property.name);
            }
        }
        filter.propertyList = known;
    }
    for (const NamedInstance& named : _manager.enumerateInstances(request.className)) {
        xml.open("VALUE.NAMEDINSTANCE");
        _writer.instanceName(xml, named.path);
        xml.newline();
        _writer.instance(xml, named.instance, filter);
        xml.close("VALUE.NAMEDINSTANCE").newline();
    }
    return returnValue(xml.str());
}

std::string CimOperationHandler::associations(const CimRequest& request) {
    if (request.objectIsClass) {
        throw CIMException(CIM_ERR_NOT_SUPPORTED,
                           "associations of classes are not supported, only of instances");
    }
    AssociationQuery query;
    query.object = request.objectName;
    query.role = request.role;
    bool references = request.operation == CimOperation::References ||
                      request.operation == CimOperation::ReferenceNames;
    bool namesOnly = request.operation == CimOperation::ReferenceNames ||
                     request.operation == CimOperation::AssociatorNames;
    XmlBuilder xml;
    auto writePath = [&](const CIMObjectPath& path) {
        xml.open("OBJECTPATH");
        _writer.instancePath(xml, path);
        xml.close("OBJECTPATH").newline();
    };
    auto writeObject = [&](const CIMObjectPath& path, const CIMInstance& instance) {
        xml.open("VALUE.OBJECTWITHPATH");
        _writer.instancePath(xml, path);
        xml.newline();
        _writer.instance(xml, instance, filterOf(request));
        xml.close("VALUE.OBJECTWITHPATH").newline();
    };
    if (references) {
        query.assocClass = request.resultClass;
        for (const NamedInstance& association : findReferences(_manager, query)) {
            if (namesOnly) {
                writePath(association.path);
            } else {
                writeObject(association.path, association.instance);
            }
        }
        return returnValue(xml.str());
    }
    query.assocClass = request.assocClass;
    query.resultClass = request.resultClass;
    query.resultRole = request.resultRole;
    for (const CIMObjectPath& path : findAssociatorNames(_manager, query)) {
        if (namesOnly) {
            writePath(path);
            continue;
        }
        try {
            writeObject(path, _manager.getInstance(path));
        } catch (const CIMException& e) {
            if (e.getCode() != CIM_ERR_NOT_FOUND) {
                throw;
            }
            // An end that vanished since the association was listed.
        }
    }
    return returnValue(xml.str());
}

std::string CimOperationHandler::method(const CimRequest& request) {
    MethodResult result =
        _manager.invokeMethod(request.objectName, request.methodName, request.inParameters);
    if (result.returnValue.isNull()) {
        // A method that completes without delivering its return value (the
        // provider's DiscontinueTest) succeeded: CIM-XML needs a value, and a
        // client cannot read an empty one, so it is answered as 0 of the
        // declared integer type.
        const MethodDecl* declared =
            _manager.schema().find(request.className)->findMethod(request.methodName);
        std::string returnType = declared ? declared->returnType : "";
        if (returnType.empty() || returnType == "boolean" || returnType == "string" ||
            returnType == "datetime" || returnType == "char16" || returnType == "reference") {
            throw CIMException(CIM_ERR_FAILED,
                               toPegasusString(request.methodName + " returned no value"));
        }
        result.returnValue = parseCimValue(cimTypeFromName(returnType), "0");
    }
    XmlBuilder xml;
    xml.open("RETURNVALUE").attribute("PARAMTYPE", cimTypeName(result.returnValue.getType()));
    _writer.value(xml, result.returnValue);
    xml.close("RETURNVALUE").newline();
    for (Uint32 i = 0; i < result.outParameters.size(); i++) {
        CIMValue value = result.outParameters[i].getValue();
        if (value.isNull()) {
            continue;  // a NULL out parameter is left out
        }
        xml.open("PARAMVALUE")
            .attribute("NAME", toStdString(result.outParameters[i].getParameterName()))
            .attribute("PARAMTYPE", cimTypeName(value.getType()));
        _writer.value(xml, value);
        xml.close("PARAMVALUE").newline();
    }
    return xml.str();
}

}  // namespace velk::cimserver
