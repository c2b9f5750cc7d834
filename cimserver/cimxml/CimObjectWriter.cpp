#include "CimObjectWriter.h"

#include <strings.h>

#include <Pegasus/Common/CIMProperty.h>

#include "CimValueText.h"

namespace velk::cimserver {

using namespace Pegasus;

namespace {

bool equalNoCase(const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

const char* keyValueType(CIMKeyBinding::Type type) {
    switch (type) {
        case CIMKeyBinding::BOOLEAN:
            return "boolean";
        case CIMKeyBinding::NUMERIC:
            return "numeric";
        default:
            return "string";
    }
}

// An array value as the schema writes it: the elements joined by ','.
std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> items;
    size_t start = 0;
    while (!text.empty()) {
        size_t comma = text.find(',', start);
        items.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return items;
}

std::string qualifierText(const std::string& type, const std::string& value) {
    if (equalNoCase(type, "boolean")) {
        return equalNoCase(value, "false") ? "FALSE" : "TRUE";
    }
    return value;
}

}  // namespace

bool ObjectFilter::wantsProperty(const std::string& name) const {
    if (!propertyList) {
        return true;
    }
    for (const std::string& wanted : *propertyList) {
        if (equalNoCase(wanted, name)) {
            return true;
        }
    }
    return false;
}

CimObjectWriter::CimObjectWriter(const ClassSchema& schema, std::string host, std::string nameSpace)
    : _schema(schema), _host(std::move(host)), _nameSpace(std::move(nameSpace)) {}

void CimObjectWriter::localNamespacePath(XmlBuilder& xml, const std::string& nameSpace) const {
    xml.open("LOCALNAMESPACEPATH");
    size_t start = 0;
    while (start <= nameSpace.size()) {
        size_t slash = nameSpace.find('/', start);
        std::string part = nameSpace.substr(start, slash - start);
        if (!part.empty()) {
            xml.open("NAMESPACE").attribute("NAME", part).closeEmpty();
        }
        if (slash == std::string::npos) {
            break;
        }
        start = slash + 1;
    }
    xml.close("LOCALNAMESPACEPATH");
}

void CimObjectWriter::instanceName(XmlBuilder& xml, const CIMObjectPath& path) const {
    xml.open("INSTANCENAME").attribute("CLASSNAME", toStdString(path.getClassName().getString()));
    const Array<CIMKeyBinding>& keys = path.getKeyBindings();
    for (Uint32 i = 0; i < keys.size(); i++) {
        xml.open("KEYBINDING").attribute("NAME", toStdString(keys[i].getName().getString()));
        if (keys[i].getType() == CIMKeyBinding::REFERENCE) {
            valueReference(xml, CIMObjectPath(keys[i].getValue()));
        } else {
            xml.open("KEYVALUE")
                .attribute("VALUETYPE", keyValueType(keys[i].getType()))
                .text(toStdString(keys[i].getValue()))
                .close("KEYVALUE");
        }
        xml.close("KEYBINDING");
    }
    xml.close("INSTANCENAME");
}

void CimObjectWriter::instancePath(XmlBuilder& xml, const CIMObjectPath& path) const {
    std::string host = toStdString(path.getHost());
    std::string nameSpace = toStdString(path.getNameSpace().getString());
    xml.open("INSTANCEPATH").open("NAMESPACEPATH");
    xml.element("HOST", host.empty() ? _host : host);
    localNamespacePath(xml, nameSpace.empty() ? _nameSpace : nameSpace);
    xml.close("NAMESPACEPATH");
    instanceName(xml, path);
    xml.close("INSTANCEPATH");
}

void CimObjectWriter::valueReference(XmlBuilder& xml, const CIMObjectPath& path) const {
    xml.open("VALUE.REFERENCE");
    instancePath(xml, path);
    xml.close("VALUE.REFERENCE");
}

void CimObjectWriter::value(XmlBuilder& xml, const CIMValue& value) const {
    if (value.isNull()) {
        return;
    }
    if (value.getType() == CIMTYPE_REFERENCE) {
        std::vector<CIMObjectPath> paths = cimValueReferences(value);
        if (!value.isArray()) {
            valueReference(xml, paths.front());
            return;
        }
        xml.open("VALUE.REFARRAY");
        for (const CIMObjectPath& path : paths) {
            valueReference(xml, path);
        }
        xml.close("VALUE.REFARRAY");
        return;
    }
    std::vector<std::string> texts = cimValueTexts(value);
    if (!value.isArray()) {
        xml.element("VALUE", texts.front());
        return;
    }
    xml.open("VALUE.ARRAY");
    for (const std::string& text : texts) {
        xml.element("VALUE", text);
    }
    xml.close("VALUE.ARRAY");
}

void CimObjectWriter::instance(XmlBuilder& xml, const CIMInstance& instance,
                               const ObjectFilter& filter) const {
    std::string className = toStdString(instance.getClassName().getString());
    const ClassDecl* declaration = _schema.find(className);
    xml.open("INSTANCE").attribute("CLASSNAME", declaration ? declaration->name : className);
    for (Uint32 i = 0; i < instance.getPropertyCount(); i++) {
        CIMConstProperty property = instance.getProperty(i);
        std::string name = toStdString(property.getName().getString());
        if (!filter.wantsProperty(name)) {
            continue;
        }
        const PropertyDecl* declared = declaration ? declaration->findProperty(name) : nullptr;
        const CIMValue& propertyValue = property.getValue();
        std::string type = cimTypeName(propertyValue.getType());
        bool isArray = propertyValue.isArray();
        if (declared != nullptr && propertyValue.isNull()) {
            type = declared->type;
            isArray = declared->isArray;
        }
        std::string classOrigin = declared ? declared->classOrigin : "";
        bool reference = equalNoCase(type, "reference");
        const char* element = reference ? (isArray ? "PROPERTY.REFARRAY" : "PROPERTY.REFERENCE")
                                        : (isArray ? "PROPERTY.ARRAY" : "PROPERTY");
        xml.newline().open(element).attribute("NAME", declared ? declared->name : name);
        if (reference) {
            std::string referenceClass =
                declared ? declared->referenceClass
                         : toStdString(property.getReferenceClassName().getString());
            if (!referenceClass.empty()) {
                xml.attribute("REFERENCECLASS", referenceClass);
            }
        } else {
            xml.attribute("TYPE", type);
        }
        if (filter.includeClassOrigin && !classOrigin.empty()) {
            xml.attribute("CLASSORIGIN", classOrigin);
        }
        value(xml, propertyValue);
        xml.close(element);
    }
    xml.newline().close("INSTANCE");
}

void CimObjectWriter::qualifiers(XmlBuilder& xml, const std::vector<QualifierDecl>& qualifiers,
                                 bool isKey, bool includeQualifiers) const {
    bool keyWritten = false;
    for (const QualifierDecl& qualifier : qualifiers) {
        bool key = equalNoCase(qualifier.name, "Key");
        if (!includeQualifiers && !key) {
            continue;
        }
        if (key && (keyWritten || !isKey)) {
            continue;
        }
        keyWritten = keyWritten || key;
        std::string type = qualifier.type.empty() ? "string" : qualifier.type;
        xml.open("QUALIFIER").attribute("NAME", qualifier.name).attribute("TYPE", type);
        if (qualifier.isArray) {
            xml.open("VALUE.ARRAY");
            for (const std::string& item : qualifier.values) {
                xml.element("VALUE", qualifierText(type, item));
            }
            xml.close("VALUE.ARRAY");
        } else {
            xml.element("VALUE", qualifierText(type, qualifier.value));
        }
        xml.close("QUALIFIER");
    }
    if (isKey && !keyWritten) {
        xml.open("QUALIFIER")
            .attribute("NAME", "Key")
            .attribute("TYPE", "boolean")
            .element("VALUE", "TRUE")
            .close("QUALIFIER");
    }
}

void CimObjectWriter::property(XmlBuilder& xml, const PropertyDecl& declaration,
                               const ObjectFilter& filter) const {
    bool reference = equalNoCase(declaration.type, "reference");
    const char* element = reference
                              ? (declaration.isArray ? "PROPERTY.REFARRAY" : "PROPERTY.REFERENCE")
                              : (declaration.isArray ? "PROPERTY.ARRAY" : "PROPERTY");
    xml.newline().open(element).attribute("NAME", declaration.name);
    if (reference) {
        xml.attribute("REFERENCECLASS", declaration.referenceClass);
    } else {
        xml.attribute("TYPE", declaration.type);
    }
    if (filter.includeClassOrigin && !declaration.classOrigin.empty()) {
        xml.attribute("CLASSORIGIN", declaration.classOrigin);
    }
    qualifiers(xml, declaration.qualifiers, declaration.isKey, filter.includeQualifiers);
    if (declaration.hasDefault && !reference) {
        if (declaration.isArray) {
            xml.open("VALUE.ARRAY");
            for (const std::string& item : splitList(declaration.defaultValue)) {
                xml.element("VALUE", qualifierText(declaration.type, item));
            }
            xml.close("VALUE.ARRAY");
        } else {
            xml.element("VALUE", qualifierText(declaration.type, declaration.defaultValue));
        }
    }
    xml.close(element);
}

void CimObjectWriter::method(XmlBuilder& xml, const MethodDecl& declaration,
                             const ObjectFilter& filter) const {
    xml.newline()
        .open("METHOD")
        .attribute("NAME", declaration.name)
        .attribute("TYPE", declaration.returnType);
    if (filter.includeClassOrigin && !declaration.classOrigin.empty()) {
        xml.attribute("CLASSORIGIN", declaration.classOrigin);
    }
    qualifiers(xml, declaration.qualifiers, false, filter.includeQualifiers);
    for (const ParameterDecl& parameter : declaration.parameters) {
        bool reference = equalNoCase(parameter.type, "reference");
        const char* element =
            reference ? (parameter.isArray ? "PARAMETER.REFARRAY" : "PARAMETER.REFERENCE")
                      : (parameter.isArray ? "PARAMETER.ARRAY" : "PARAMETER");
        xml.newline().open(element).attribute("NAME", parameter.name);
        if (reference) {
            xml.attribute("REFERENCECLASS", parameter.referenceClass);
        } else {
            xml.attribute("TYPE", parameter.type);
        }
        qualifiers(xml, parameter.qualifiers, false, filter.includeQualifiers);
        xml.close(element);
    }
    xml.newline().close("METHOD");
}

void CimObjectWriter::classDeclaration(XmlBuilder& xml, const ClassDecl& declaration,
                                       const ObjectFilter& filter) const {
    xml.open("CLASS").attribute("NAME", declaration.name);
    if (!declaration.superClass.empty()) {
        xml.attribute("SUPERCLASS", declaration.superClass);
    }
    if (filter.includeQualifiers) {
        qualifiers(xml, declaration.qualifiers, false, true);
    }
    auto own = [&](const std::string& classOrigin) {
        return !filter.localOnly || classOrigin.empty() ||
               equalNoCase(classOrigin, declaration.name);
    };
    for (const PropertyDecl& declared : declaration.properties) {
        if (own(declared.classOrigin) && filter.wantsProperty(declared.name)) {
            property(xml, declared, filter);
        }
    }
    for (const MethodDecl& declared : declaration.methods) {
        if (own(declared.classOrigin)) {
            method(xml, declared, filter);
        }
    }
    xml.newline().close("CLASS");
}

}  // namespace velk::cimserver
