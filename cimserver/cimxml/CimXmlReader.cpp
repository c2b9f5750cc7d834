#include "CimXmlReader.h"

#include <strings.h>

#include <cstring>
#include <utility>

#include <pugixml.hpp>
#include <Pegasus/Common/Exception.h>

#include "CimValueText.h"
#include "CimXmlElements.h"

namespace velk::cimserver {

using namespace Pegasus;

namespace {

struct IntrinsicOperation {
    const char* name;
    CimOperation operation;
    const char* parameters;  // the IPARAMVALUE names it accepts, space separated
};

const IntrinsicOperation INTRINSIC_OPERATIONS[] = {
    {"GetClass", CimOperation::GetClass,
     "ClassName LocalOnly IncludeQualifiers IncludeClassOrigin PropertyList"},
    {"EnumerateClasses", CimOperation::EnumerateClasses,
     "ClassName DeepInheritance LocalOnly IncludeQualifiers IncludeClassOrigin"},
    {"EnumerateClassNames", CimOperation::EnumerateClassNames, "ClassName DeepInheritance"},
    {"GetInstance", CimOperation::GetInstance,
     "InstanceName LocalOnly IncludeQualifiers IncludeClassOrigin PropertyList"},
    {"EnumerateInstances", CimOperation::EnumerateInstances,
     "ClassName LocalOnly DeepInheritance IncludeQualifiers IncludeClassOrigin PropertyList"},
    {"EnumerateInstanceNames", CimOperation::EnumerateInstanceNames, "ClassName"},
    {"Associators", CimOperation::Associators,
     "ObjectName AssocClass ResultClass Role ResultRole IncludeQualifiers IncludeClassOrigin "
     "PropertyList"},
    {"AssociatorNames", CimOperation::AssociatorNames,
     "ObjectName AssocClass ResultClass Role ResultRole"},
    {"References", CimOperation::References,
     "ObjectName ResultClass Role IncludeQualifiers IncludeClassOrigin PropertyList"},
    {"ReferenceNames", CimOperation::ReferenceNames, "ObjectName ResultClass Role"},
    {"CreateInstance", CimOperation::CreateInstance, "NewInstance"},
    {"ModifyInstance", CimOperation::ModifyInstance,
     "ModifiedInstance IncludeQualifiers PropertyList"},
    {"DeleteInstance", CimOperation::DeleteInstance, "InstanceName"},
};

// The parameter every operation needs, by operation.
const char* requiredParameter(CimOperation operation) {
    switch (operation) {
        case CimOperation::GetClass:
        case CimOperation::EnumerateInstances:
        case CimOperation::EnumerateInstanceNames:
            return "ClassName";
        case CimOperation::GetInstance:
        case CimOperation::DeleteInstance:
            return "InstanceName";
        case CimOperation::Associators:
        case CimOperation::AssociatorNames:
        case CimOperation::References:
        case CimOperation::ReferenceNames:
            return "ObjectName";
        case CimOperation::CreateInstance:
            return "NewInstance";
        case CimOperation::ModifyInstance:
            return "ModifiedInstance";
        default:
            return nullptr;
    }
}

bool equalNoCase(const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

bool acceptsParameter(const IntrinsicOperation& operation, const std::string& name) {
    std::string names = std::string(" ") + operation.parameters + " ";
    std::string lowered = names;
    for (char& c : lowered) {
        c = char(tolower(static_cast<unsigned char>(c)));
    }
    std::string wanted = " " + name + " ";
    for (char& c : wanted) {
        c = char(tolower(static_cast<unsigned char>(c)));
    }
    return lowered.find(wanted) != std::string::npos;
}

bool named(const pugi::xml_node& node, const char* name) {
    return node.type() == pugi::node_element && std::strcmp(node.name(), name) == 0;
}

pugi::xml_node firstElement(const pugi::xml_node& parent) {
    for (pugi::xml_node child : parent.children()) {
        if (child.type() == pugi::node_element) {
            return child;
        }
    }
    return pugi::xml_node();
}

[[noreturn]] void notValid(const std::string& what) {
    throw CimProtocolError(400, "request-not-valid", what);
}

[[noreturn]] void headerMismatch(const std::string& what) {
    throw CimProtocolError(400, "header-mismatch", what);
}

pugi::xml_node requireChild(const pugi::xml_node& parent, const char* name) {
    pugi::xml_node child = parent.child(name);
    if (!child) {
        notValid(std::string(parent.name()) + " without " + name);
    }
    return child;
}

std::string attributeOrEmpty(const pugi::xml_node& element, const char* name) {
    return element.attribute(name).value();
}

void checkVersion(const std::string& version, const char* major, const char* cimError,
                  const char* what) {
    if (version.empty()) {
        notValid(std::string(what) + " missing");
    }
    if (version.rfind(major, 0) != 0) {
        throw CimProtocolError(501, cimError, std::string(what) + " " + version);
    }
}

std::string trimSlashes(const std::string& path) {
    size_t first = path.find_first_not_of('/');
    if (first == std::string::npos) {
        return "";
    }
    size_t last = path.find_last_not_of('/');
    return path.substr(first, last - first + 1);
}

bool readBoolean(const pugi::xml_node& parameter, const std::string& name) {
    pugi::xml_node value = firstElement(parameter);
    if (!named(value, "VALUE")) {
        throwInvalidParameter(name + " needs a VALUE");
    }
    std::string text = elementText(value);
    if (equalNoCase(text, "true")) {
        return true;
    }
    if (equalNoCase(text, "false")) {
        return false;
    }
    throwInvalidParameter(name + " is no boolean: " + text);
}

// A class-valued parameter: CLASSNAME NAME="x"; empty for a NULL parameter.
std::string readClassNameParameter(const pugi::xml_node& parameter, const std::string& name) {
    pugi::xml_node value = firstElement(parameter);
    if (!value) {
        return "";
    }
    if (!named(value, "CLASSNAME")) {
        throwInvalidParameter(name + " needs a CLASSNAME");
    }
    return requiredAttribute(value, "NAME");
}

std::string readStringParameter(const pugi::xml_node& parameter, const std::string& name) {
    pugi::xml_node value = firstElement(parameter);
    if (!value) {
        return "";
    }
    if (!named(value, "VALUE")) {
        throwInvalidParameter(name + " needs a VALUE");
    }
    return elementText(value);
}

std::optional<std::vector<std::string>> readPropertyList(const pugi::xml_node& parameter) {
    pugi::xml_node value = firstElement(parameter);
    if (!value) {
        return std::nullopt;
    }
    if (!named(value, "VALUE.ARRAY")) {
        throwInvalidParameter("PropertyList needs a VALUE.ARRAY");
    }
    std::vector<std::string> names;
    for (pugi::xml_node item : value.children()) {
        if (item.type() != pugi::node_element) {
            continue;
        }
        if (!named(item, "VALUE")) {
            throwInvalidParameter("PropertyList may hold only VALUE");
        }
        names.push_back(elementText(item));
    }
    return names;
}

}  // namespace

CimProtocolError::CimProtocolError(int status, std::string cimError, const std::string& what)
    : std::runtime_error(what), status(status), cimError(std::move(cimError)) {}

std::string percentDecode(const std::string& text, bool& ok) {
    std::string out;
    ok = true;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size() || !isxdigit(static_cast<unsigned char>(text[i + 1])) ||
            !isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            ok = false;
            return "";
        }
        out += char(std::stoi(text.substr(i + 1, 2), nullptr, 16));
        i += 2;
    }
    return out;
}

CimXmlReader::CimXmlReader(const ClassSchema& schema, std::string nameSpace)
    : _schema(schema), _nameSpace(std::move(nameSpace)) {}

namespace {

class RequestReading {
  public:
    RequestReading(const ClassSchema& schema, const std::string& nameSpace,
                   const CimHttpRequest& http, CimRequest& request)
        : _schema(schema), _nameSpace(nameSpace), _http(http), _request(request) {}

    void read() {
        if (!equalNoCase(_http.cimOperation, "MethodCall")) {
            throw CimProtocolError(
                400, "unsupported-operation",
                "CIMOperation header is \"" + _http.cimOperation + "\", not MethodCall");
        }
        pugi::xml_document document;
        pugi::xml_parse_result parsed = document.load_buffer(
            _http.body.data(), _http.body.size(),
            pugi::parse_default | pugi::parse_ws_pcdata_single, pugi::encoding_utf8);
        if (!parsed) {
            throw CimProtocolError(400, "request-not-well-formed",
                                   std::string("malformed XML: ") + parsed.description() +
                                       " at offset " + std::to_string(parsed.offset));
        }
        pugi::xml_node call = readEnvelope(document);
        checkHeaders(call);
        _request.intrinsic = named(call, "IMETHODCALL");
        _request.methodName = call.attribute("NAME").value();
        try {
            if (_request.intrinsic) {
                readIntrinsic(call);
            } else {
                readExtrinsic(call);
            }
        } catch (const CIMException&) {
            throw;
        } catch (const Exception& e) {
            throw CIMException(CIM_ERR_INVALID_PARAMETER, e.getMessage());
        }
    }

  private:
    pugi::xml_node readEnvelope(const pugi::xml_document& document) {
        pugi::xml_node cim = firstElement(document);
        if (!named(cim, "CIM")) {
            notValid("the root element is not CIM");
        }
        checkVersion(attributeOrEmpty(cim, "CIMVERSION"), "2.", "unsupported-cim-version",
                     "CIMVERSION");
        checkVersion(attributeOrEmpty(cim, "DTDVERSION"), "2.", "unsupported-dtd-version",
                     "DTDVERSION");
        pugi::xml_node message = requireChild(cim, "MESSAGE");
        _request.messageId = attributeOrEmpty(message, "ID");
        if (_request.messageId.empty()) {
            notValid("MESSAGE without ID");
        }
        checkVersion(attributeOrEmpty(message, "PROTOCOLVERSION"), "1.",
                     "unsupported-protocol-version", "PROTOCOLVERSION");
        if (message.child("MULTIREQ")) {
            throw CimProtocolError(501, "multiple-requests-unsupported",
                                   "multiple requests in one message");
        }
        pugi::xml_node simple = requireChild(message, "SIMPLEREQ");
        pugi::xml_node call = firstElement(simple);
        if (!named(call, "IMETHODCALL") && !named(call, "METHODCALL")) {
            notValid("SIMPLEREQ holds neither IMETHODCALL nor METHODCALL");
        }
        if (!call.attribute("NAME") || std::strlen(call.attribute("NAME").value()) == 0) {
            notValid(std::string(call.name()) + " without NAME");
        }
        return call;
    }

    // The namespace path of the call, for the header check: IMETHODCALL holds
    // it directly, METHODCALL inside its LOCALINSTANCEPATH or LOCALCLASSPATH.
    pugi::xml_node targetPath(const pugi::xml_node& call) {
        if (named(call, "IMETHODCALL")) {
            return call;
        }
        pugi::xml_node path = call.child("LOCALINSTANCEPATH");
        return path ? path : call.child("LOCALCLASSPATH");
    }

    void checkHeaders(const pugi::xml_node& call) {
        std::string name = call.attribute("NAME").value();
        if (_http.cimMethod.empty() || !equalNoCase(_http.cimMethod, name)) {
            headerMismatch("CIMMethod header \"" + _http.cimMethod + "\" differs from " + name);
        }
        bool decoded = false;
        std::string object = percentDecode(_http.cimObject, decoded);
        if (!decoded || object.empty()) {
            headerMismatch("CIMObject header missing or badly encoded");
        }
        pugi::xml_node path = targetPath(call);
        if (!path) {
            notValid(std::string(call.name()) + " without a target path");
        }
        pugi::xml_node localNamespace = path.child("LOCALNAMESPACEPATH");
        std::string bodyNamespace;
        for (pugi::xml_node part : localNamespace.children("NAMESPACE")) {
            bodyNamespace += (bodyNamespace.empty() ? "" : "/");
            bodyNamespace += part.attribute("NAME").value();
        }
        std::string headerNamespace = object;
        std::string headerClass;
        if (named(call, "METHODCALL")) {
            size_t colon = object.find(':');
            headerNamespace = object.substr(0, colon);
            if (colon != std::string::npos) {
                headerClass = object.substr(colon + 1, object.find('.', colon) - colon - 1);
            }
        }
        if (!equalNoCase(trimSlashes(headerNamespace), trimSlashes(bodyNamespace))) {
            headerMismatch("CIMObject namespace \"" + headerNamespace + "\" differs from \"" +
                           bodyNamespace + "\"");
        }
        if (named(call, "METHODCALL")) {
            std::string bodyClass = path.child("INSTANCENAME")
                                        ? path.child("INSTANCENAME").attribute("CLASSNAME").value()
                                        : path.child("CLASSNAME").attribute("NAME").value();
            if (!equalNoCase(headerClass, bodyClass)) {
                headerMismatch("CIMObject class \"" + headerClass + "\" differs from \"" +
                               bodyClass + "\"");
            }
        }
    }

    void checkNamespace(const pugi::xml_node& localNamespace) {
        _request.nameSpace = readLocalNamespacePath(localNamespace);
        if (!equalNoCase(trimSlashes(_request.nameSpace), trimSlashes(_nameSpace))) {
            throw CIMException(CIM_ERR_INVALID_NAMESPACE,
                               toPegasusString("unknown namespace " + _request.nameSpace));
        }
    }

    const ClassDecl& knownClass(const std::string& className) {
        const ClassDecl* declaration = _schema.find(className);
        if (declaration == nullptr) {
            throw CIMException(CIM_ERR_INVALID_CLASS,
                               toPegasusString("unknown class " + className));
        }
        return *declaration;
    }

    void readIntrinsic(const pugi::xml_node& call) {
        const IntrinsicOperation* operation = nullptr;
        for (const IntrinsicOperation& candidate : INTRINSIC_OPERATIONS) {
            if (_request.methodName == candidate.name) {
                operation = &candidate;
            }
        }
        checkNamespace(call.child("LOCALNAMESPACEPATH"));
        if (operation == nullptr) {
            throw CIMException(CIM_ERR_NOT_SUPPORTED,
                               toPegasusString(_request.methodName + " is not supported"));
        }
        _request.operation = operation->operation;
        applyDefaults();
        std::vector<std::string> seen;
        for (pugi::xml_node parameter : call.children()) {
            if (parameter.type() != pugi::node_element || named(parameter, "LOCALNAMESPACEPATH")) {
                continue;
            }
            if (!named(parameter, "IPARAMVALUE")) {
                notValid(std::string("IMETHODCALL may not hold ") + parameter.name());
            }
            std::string name = requiredAttribute(parameter, "NAME");
            if (!acceptsParameter(*operation, name)) {
                throwInvalidParameter(_request.methodName + " takes no parameter " + name);
            }
            for (const std::string& earlier : seen) {
                if (equalNoCase(earlier, name)) {
                    throwInvalidParameter("parameter " + name + " given twice");
                }
            }
            seen.push_back(name);
            readIntrinsicParameter(parameter, name);
        }
        const char* required = requiredParameter(_request.operation);
        bool present = required == nullptr;
        for (const std::string& name : seen) {
            present = present || equalNoCase(name, required);
        }
        if (!present) {
            throwInvalidParameter(_request.methodName + " needs the parameter " + required);
        }
        if (!_request.className.empty()) {
            _request.className = knownClass(_request.className).name;
        }
    }

    void applyDefaults() {
        switch (_request.operation) {
            case CimOperation::GetClass:
            case CimOperation::EnumerateClasses:
            case CimOperation::ModifyInstance:
                _request.includeQualifiers = true;
                break;
            case CimOperation::EnumerateInstances:
                _request.deepInheritance = true;
                break;
            default:
                break;
        }
    }

    void readIntrinsicParameter(const pugi::xml_node& parameter, const std::string& name) {
        auto is = [&name](const char* wanted) { return equalNoCase(name, wanted); };
        if (is("ClassName")) {
            _request.className = readClassNameParameter(parameter, name);
            if (_request.className.empty() && requiredParameter(_request.operation) != nullptr) {
                throwInvalidParameter("ClassName may not be NULL");
            }
        } else if (is("LocalOnly")) {
            _request.localOnly = readBoolean(parameter, name);
        } else if (is("DeepInheritance")) {
            _request.deepInheritance = readBoolean(parameter, name);
        } else if (is("IncludeQualifiers")) {
            _request.includeQualifiers = readBoolean(parameter, name);
        } else if (is("IncludeClassOrigin")) {
            _request.includeClassOrigin = readBoolean(parameter, name);
        } else if (is("PropertyList")) {
            _request.propertyList = readPropertyList(parameter);
        } else if (is("InstanceName")) {
            _request.objectName = readInstanceName(firstElement(parameter));
            _request.className = toStdString(_request.objectName.getClassName().getString());
        } else if (is("ObjectName")) {
            readObjectName(firstElement(parameter));
        } else if (is("AssocClass")) {
            _request.assocClass = readClassNameParameter(parameter, name);
        } else if (is("ResultClass")) {
            _request.resultClass = readClassNameParameter(parameter, name);
        } else if (is("Role")) {
            _request.role = readStringParameter(parameter, name);
        } else if (is("ResultRole")) {
            _request.resultRole = readStringParameter(parameter, name);
        } else if (is("NewInstance")) {
            _request.instance = readInstance(firstElement(parameter), _schema);
            _request.className = toStdString(_request.instance.getClassName().getString());
            _request.objectName =
                CIMObjectPath(String(), CIMNamespaceName(), _request.instance.getClassName());
        } else if (is("ModifiedInstance")) {
            pugi::xml_node named_instance = firstElement(parameter);
            if (!named(named_instance, "VALUE.NAMEDINSTANCE")) {
                throwInvalidParameter("ModifiedInstance needs a VALUE.NAMEDINSTANCE");
            }
            _request.objectName = readInstanceName(named_instance.child("INSTANCENAME"));
            _request.instance = readInstance(named_instance.child("INSTANCE"), _schema);
            _request.className = toStdString(_request.objectName.getClassName().getString());
        }
    }

    void readObjectName(const pugi::xml_node& value) {
        if (named(value, "CLASSNAME")) {
            _request.objectIsClass = true;
            _request.className = requiredAttribute(value, "NAME");
            _request.objectName = CIMObjectPath(String(), CIMNamespaceName(),
                                                CIMName(toPegasusString(_request.className)));
            return;
        }
        _request.objectName = readInstanceName(value);
        _request.className = toStdString(_request.objectName.getClassName().getString());
    }

    void readExtrinsic(const pugi::xml_node& call) {
        _request.operation = CimOperation::InvokeMethod;
        pugi::xml_node instancePath = call.child("LOCALINSTANCEPATH");
        pugi::xml_node classPath = call.child("LOCALCLASSPATH");
        if (instancePath) {
            checkNamespace(instancePath.child("LOCALNAMESPACEPATH"));
            _request.objectName = readInstanceName(instancePath.child("INSTANCENAME"));
        } else {
            checkNamespace(classPath.child("LOCALNAMESPACEPATH"));
            _request.objectIsClass = true;
            _request.objectName = CIMObjectPath(
                String(), CIMNamespaceName(),
                CIMName(toPegasusString(requiredAttribute(classPath.child("CLASSNAME"), "NAME"))));
        }
        const ClassDecl& target =
            knownClass(toStdString(_request.objectName.getClassName().getString()));
        _request.className = target.name;
        const MethodDecl* method = target.findMethod(_request.methodName);
        if (method == nullptr) {
            throw CIMException(
                CIM_ERR_METHOD_NOT_FOUND,
                toPegasusString(target.name + " has no method " + _request.methodName));
        }
        for (pugi::xml_node parameter : call.children()) {
            if (parameter.type() != pugi::node_element || named(parameter, "LOCALINSTANCEPATH") ||
                named(parameter, "LOCALCLASSPATH")) {
                continue;
            }
            if (!named(parameter, "PARAMVALUE")) {
                notValid(std::string("METHODCALL may not hold ") + parameter.name());
            }
            readMethodParameter(parameter, *method);
        }
    }

    void readMethodParameter(const pugi::xml_node& parameter, const MethodDecl& method) {
        std::string name = requiredAttribute(parameter, "NAME");
        const ParameterDecl* declared = nullptr;
        for (const ParameterDecl& candidate : method.parameters) {
            if (equalNoCase(candidate.name, name)) {
                declared = &candidate;
            }
        }
        if (declared == nullptr || !declared->in) {
            throwInvalidParameter(method.name + " has no input parameter " + name);
        }
        for (Uint32 i = 0; i < _request.inParameters.size(); i++) {
            if (equalNoCase(toStdString(_request.inParameters[i].getParameterName()), name)) {
                throwInvalidParameter("parameter " + name + " given twice");
            }
        }
        CIMType type;
        try {
            type = cimTypeFromName(declared->type);
        } catch (const std::invalid_argument& e) {
            throw CIMException(CIM_ERR_FAILED, toPegasusString(e.what()));
        }
        CIMValue value = readTypedValue(firstElement(parameter), type, declared->isArray);
        _request.inParameters.append(CIMParamValue(toPegasusString(declared->name), value));
    }

    const ClassSchema& _schema;
    const std::string& _nameSpace;
    const CimHttpRequest& _http;
    CimRequest& _request;
};

}  // namespace

void CimXmlReader::read(const CimHttpRequest& http, CimRequest& request) const {
    RequestReading(_schema, _nameSpace, http, request).read();
}

}  // namespace velk::cimserver
