// Writes CIM objects as CIM-XML elements (DSP0201): object names and paths,
// values, instances and class declarations, in the forms wbemcli and other
// WBEM clients read.
#ifndef VELK_CIMSERVER_CIM_OBJECT_WRITER_H
#define VELK_CIMSERVER_CIM_OBJECT_WRITER_H

#include <optional>
#include <string>
#include <vector>

#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMValue.h>

#include "ClassSchema.h"
#include "XmlBuilder.h"

namespace velk::cimserver {

// What of an object a request asked for.
struct ObjectFilter {
    bool localOnly = false;  // classes: only what the class itself declares
    bool includeQualifiers = false;
    bool includeClassOrigin = false;
    std::optional<std::vector<std::string>> propertyList;  // none: every property

    bool wantsProperty(const std::string& name) const;
};

class CimObjectWriter {
  public:
    // host and nameSpace complete the paths that carry none.
    CimObjectWriter(const ClassSchema& schema, std::string host, std::string nameSpace);

    void localNamespacePath(XmlBuilder& xml, const std::string& nameSpace) const;
    void instanceName(XmlBuilder& xml, const Pegasus::CIMObjectPath& path) const;
    void instancePath(XmlBuilder& xml, const Pegasus::CIMObjectPath& path) const;
    void valueReference(XmlBuilder& xml, const Pegasus::CIMObjectPath& path) const;
    // VALUE, VALUE.ARRAY or VALUE.REFERENCE; nothing for NULL.
    void value(XmlBuilder& xml, const Pegasus::CIMValue& value) const;
    void instance(XmlBuilder& xml, const Pegasus::CIMInstance& instance,
                  const ObjectFilter& filter) const;
    void classDeclaration(XmlBuilder& xml, const ClassDecl& declaration,
                          const ObjectFilter& filter) const;

  private:
    void qualifiers(XmlBuilder& xml, const std::vector<QualifierDecl>& qualifiers, bool isKey,
                    bool includeQualifiers) const;
    void property(XmlBuilder& xml, const PropertyDecl& declaration,
                  const ObjectFilter& filter) const;
    void method(XmlBuilder& xml, const MethodDecl& declaration, const ObjectFilter& filter) const;

    const ClassSchema& _schema;
    std::string _host;
    std::string _nameSpace;
};

}  // namespace velk::cimserver

#endif
