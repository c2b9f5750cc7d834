#include "CimXmlElements.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

#include <Pegasus/Common/CIMProperty.h>

#include "CimValueText.h"

namespace velk::cimserver {

using namespace Pegasus;

namespace {

// References may name associations whose keys are references again; a
// client gets no deeper nesting than this read (nor our stack exhausted).
const int MAX_REFERENCE_DEPTH = 8;

CIMObjectPath readNestedInstanceName(const pugi::xml_node& element, int depth);
CIMObjectPath readNestedValueReference(const pugi::xml_node& element, int depth);

bool named(const pugi::xml_node& node, const char* name) {
    return node.type() == pugi::node_element && std::strcmp(node.name(), name) == 0;
}

std::vector<pugi::xml_node> childElements(const pugi::xml_node& element) {
    std::vector<pugi::xml_node> children;
    for (pugi::xml_node child : element.children()) {
        if (child.type() == pugi::node_element) {
            children.push_back(child);
        }
    }
    return children;
}

namespace {

// An integer (decimal, or hexadecimal with 0x) or a real number, whole text.
bool isNumber(const std::string& text) {
    size_t first = text.find_first_not_of("+-");
    if (first > 1 || first == std::string::npos ||
        !(std::isdigit(static_cast<unsigned char>(text[first])) || text[first] == '.')) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    std::strtoll(text.c_str(), &end, 0);
    if (*end == '\0' && errno == 0) {
        return true;
    }
    end = nullptr;
    std::strtod(text.c_str(), &end);
    return *end == '\0';
}

}  // namespace

CIMKeyBinding readKeyBinding(const pugi::xml_node& element, int depth) {
    CIMName name(toPegasusString(requiredAttribute(element, "NAME")));
    pugi::xml_node value = element.first_child();
    while (value && value.type() != pugi::node_element) {
        value = value.next_sibling();
    }
    if (named(value, "KEYVALUE")) {
        std::string type =
            value.attribute("VALUETYPE") ? value.attribute("VALUETYPE").value() : "string";
        String text = toPegasusString(elementText(value));
        if (type == "string") {
            return CIMKeyBinding(name, text, CIMKeyBinding::STRING);
        }
        // A key's text must be of its type: paths are written out and read
        // back as text, and "numeric" text that is no number reads back as
        // no path at all.
        if (type == "boolean") {
            if (!String::equalNoCase(text, "true") && !String::equalNoCase(text, "false")) {
                throwInvalidParameter("KEYVALUE \"" + elementText(value) + "\" is no boolean");
            }
            return CIMKeyBinding(name, text, CIMKeyBinding::BOOLEAN);
        }
        if (type == "numeric") {
            if (!isNumber(elementText(value))) {
                throwInvalidParameter("KEYVALUE \"" + elementText(value) + "\" is no number");
            }
            return CIMKeyBinding(name, text, CIMKeyBinding::NUMERIC);
        }
        throwInvalidParameter("KEYVALUE VALUETYPE \"" + type + "\" is unknown");
    }
    if (named(value, "VALUE.REFERENCE")) {
        return CIMKeyBinding(name, readNestedValueReference(value, depth + 1).toString(),
                             CIMKeyBinding::REFERENCE);
    }
    throwInvalidParameter("KEYBINDING " + toStdString(name.getString()) +
                          " holds neither KEYVALUE nor VALUE.REFERENCE");
}

std::string readHost(const pugi::xml_node& namespacePath) {
    pugi::xml_node host = namespacePath.child("HOST");
    if (!host) {
        throwInvalidParameter("NAMESPACEPATH without HOST");
    }
    return elementText(host);
}

CIMValue readScalar(const pugi::xml_node& element, CIMType type) {
    if (type == CIMTYPE_REFERENCE) {
        if (!named(element, "VALUE.REFERENCE")) {
            throwInvalidParameter("a reference needs VALUE.REFERENCE, not " +
                                  std::string(element.name()));
        }
        return CIMValue(readValueReference(element));
    }
    if (!named(element, "VALUE")) {
        throwInvalidParameter("a " + cimTypeName(type) + " value needs VALUE, not " +
                              std::string(element.name()));
    }
    try {
        return parseCimValue(type, elementText(element));
    } catch (const std::invalid_argument& e) {
        throwInvalidParameter(e.what());
    }
}

CIMValue readArray(const pugi::xml_node& element, CIMType type) {
    const char* arrayName = type == CIMTYPE_REFERENCE ? "VALUE.REFARRAY" : "VALUE.ARRAY";
    if (!named(element, arrayName)) {
        throwInvalidParameter(std::string("an array needs ") + arrayName + ", not " +
                              element.name());
    }
    if (type == CIMTYPE_REFERENCE) {
        Array<CIMObjectPath> paths;
        for (pugi::xml_node item : childElements(element)) {
            paths.append(readValueReference(item));
        }
        return CIMValue(paths);
    }
    std::vector<std::string> texts;
    for (pugi::xml_node item : childElements(element)) {
        if (!named(item, "VALUE")) {
            throwInvalidParameter(std::string("VALUE.ARRAY may hold only VALUE, not ") +
                                  item.name());
        }
        texts.push_back(elementText(item));
    }
    try {
        return parseCimArray(type, texts);
    } catch (const std::invalid_argument& e) {
        throwInvalidParameter(e.what());
    }
}

CIMType propertyType(const pugi::xml_node& property, const ClassDecl* declaration,
                     const std::string& name) {
    if (property.attribute("TYPE")) {
        try {
            return cimTypeFromName(property.attribute("TYPE").value());
        } catch (const std::invalid_argument& e) {
            throwInvalidParameter(e.what());
        }
    }
    const PropertyDecl* declared = declaration ? declaration->findProperty(name) : nullptr;
    if (declared == nullptr) {
        throwInvalidParameter("property " + name + " has no TYPE and is not declared");
    }
    try {
        return cimTypeFromName(declared->type);
    } catch (const std::invalid_argument& e) {
        throwInvalidParameter(e.what());
    }
}

}  // namespace

void throwInvalidParameter(const std::string& message) {
    throw CIMException(CIM_ERR_INVALID_PARAMETER, toPegasusString(message));
}

std::string elementText(const pugi::xml_node& element) {
    std::string text;
    for (pugi::xml_node child : element.children()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
            text += child.value();
        }
    }
    return text;
}

std::string requiredAttribute(const pugi::xml_node& element, const char* name) {
    pugi::xml_attribute attribute = element.attribute(name);
    if (!attribute) {
        throwInvalidParameter(std::string(element.name()) + " without " + name);
    }
    return attribute.value();
}

std::string readLocalNamespacePath(const pugi::xml_node& element) {
    if (!named(element, "LOCALNAMESPACEPATH")) {
        throwInvalidParameter("LOCALNAMESPACEPATH expected");
    }
    std::string path;
    for (pugi::xml_node part : childElements(element)) {
        if (!named(part, "NAMESPACE")) {
            throwInvalidParameter("LOCALNAMESPACEPATH may hold only NAMESPACE");
        }
        if (!path.empty()) {
            path += '/';
        }
        path += requiredAttribute(part, "NAME");
    }
    if (path.empty()) {
        throwInvalidParameter("LOCALNAMESPACEPATH names no namespace");
    }
    return path;
}

namespace {

CIMObjectPath readNestedInstanceName(const pugi::xml_node& element, int depth) {
    if (depth > MAX_REFERENCE_DEPTH) {
        throwInvalidParameter("references nested too deep");
    }
    if (!named(element, "INSTANCENAME")) {
        throwInvalidParameter(std::string("INSTANCENAME expected, not ") + element.name());
    }
    std::string className = requiredAttribute(element, "CLASSNAME");
    Array<CIMKeyBinding> keys;
    for (pugi::xml_node binding : childElements(element)) {
        if (!named(binding, "KEYBINDING")) {
            throwInvalidParameter(std::string("INSTANCENAME may hold only KEYBINDING, not ") +
                                  binding.name());
        }
        keys.append(readKeyBinding(binding, depth));
    }
    try {
        return CIMObjectPath(String(), CIMNamespaceName(), CIMName(toPegasusString(className)),
                             keys);
    } catch (const Exception& e) {
        throwInvalidParameter(toStdString(e.getMessage()));
    }
}

CIMObjectPath readNestedInstanceReference(const pugi::xml_node& element, int depth) {
    if (named(element, "INSTANCENAME")) {
        return readNestedInstanceName(element, depth);
    }
    CIMObjectPath path;
    if (named(element, "LOCALINSTANCEPATH")) {
        path = readNestedInstanceName(element.child("INSTANCENAME"), depth);
        path.setNameSpace(CIMNamespaceName(
            toPegasusString(readLocalNamespacePath(element.child("LOCALNAMESPACEPATH")))));
        return path;
    }
    if (named(element, "INSTANCEPATH")) {
        pugi::xml_node namespacePath = element.child("NAMESPACEPATH");
        if (!namespacePath) {
            throwInvalidParameter("INSTANCEPATH without NAMESPACEPATH");
        }
        path = readNestedInstanceName(element.child("INSTANCENAME"), depth);
        path.setHost(toPegasusString(readHost(namespacePath)));
        path.setNameSpace(CIMNamespaceName(
            toPegasusString(readLocalNamespacePath(namespacePath.child("LOCALNAMESPACEPATH")))));
        return path;
    }
    throwInvalidParameter(std::string("an instance reference is expected, not ") + element.name());
}

CIMObjectPath readNestedValueReference(const pugi::xml_node& element, int depth) {
    if (!named(element, "VALUE.REFERENCE")) {
        throwInvalidParameter(std::string("VALUE.REFERENCE expected, not ") + element.name());
    }
    std::vector<pugi::xml_node> children = childElements(element);
    if (children.size() != 1) {
        throwInvalidParameter("VALUE.REFERENCE must hold one path");
    }
    return readNestedInstanceReference(children[0], depth);
}

}  // namespace

CIMObjectPath readInstanceName(const pugi::xml_node& element) {
    return readNestedInstanceName(element, 0);
}

CIMObjectPath readInstanceReference(const pugi::xml_node& element) {
    return readNestedInstanceReference(element, 0);
}

CIMObjectPath readValueReference(const pugi::xml_node& element) {
    return readNestedValueReference(element, 0);
}

CIMValue readTypedValue(const pugi::xml_node& element, CIMType type, bool isArray) {
    if (!element) {
        return CIMValue(type, isArray);
    }
    return isArray ? readArray(element, type) : readScalar(element, type);
}

CIMInstance readInstance(const pugi::xml_node& element, const ClassSchema& schema) {
    if (!named(element, "INSTANCE")) {
        throwInvalidParameter(std::string("INSTANCE expected, not ") + element.name());
    }
    std::string className = requiredAttribute(element, "CLASSNAME");
    const ClassDecl* declaration = schema.find(className);
    CIMInstance instance{CIMName(toPegasusString(className))};
    for (pugi::xml_node property : childElements(element)) {
        bool scalar = named(property, "PROPERTY");
        bool array = named(property, "PROPERTY.ARRAY");
        bool reference = named(property, "PROPERTY.REFERENCE");
        if (named(property, "QUALIFIER")) {
            continue;
        }
        if (!scalar && !array && !reference) {
            throwInvalidParameter(std::string("INSTANCE may not hold ") + property.name());
        }
        std::string name = requiredAttribute(property, "NAME");
        CIMType type = reference ? CIMTYPE_REFERENCE : propertyType(property, declaration, name);
        pugi::xml_node value;
        for (pugi::xml_node child : childElements(property)) {
            if (!named(child, "QUALIFIER")) {
                value = child;
            }
        }
        try {
            instance.addProperty(
                CIMProperty(CIMName(toPegasusString(name)), readTypedValue(value, type, array)));
        } catch (const AlreadyExistsException&) {
            throwInvalidParameter("property " + name + " given twice");
        }
    }
    return instance;
}

}  // namespace velk::cimserver
