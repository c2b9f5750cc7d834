// The class schema the CIM server serves: classes, their properties and
// methods with inheritance resolved, and the instances declared in MOF.
#ifndef VELK_CIMSERVER_CLASS_SCHEMA_H
#define VELK_CIMSERVER_CLASS_SCHEMA_H

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace velk::cimserver {

struct QualifierDecl {
    std::string name;   // "Key", "Association", "Abstract", "Description", "In", "Out", ...
    std::string type;   // "boolean", "string", "uint32", "sint64", "real64"
    std::string value;  // value text without quotes ("true", "the text"); arrays: elements
                        // joined with ","
    bool isArray = false;
    std::vector<std::string> values;  // the elements of an array value
};

struct PropertyDecl {
    std::string name;
    std::string type;  // CIM type name: "string", "uint16", "datetime", "reference", ...
    bool isArray = false;
    std::string referenceClass;  // for type "reference"
    bool isKey = false;
    std::string classOrigin;  // class that declared it
    std::vector<QualifierDecl> qualifiers;
    bool hasDefault = false;
    std::string defaultValue;  // value text as for QualifierDecl::value
};

struct ParameterDecl {
    std::string name;
    std::string type;  // as PropertyDecl::type
    bool isArray = false;
    std::string referenceClass;
    bool in = true;  // false only for a parameter qualified Out and not In
    bool out = false;
    std::vector<QualifierDecl> qualifiers;
};

struct MethodDecl {
    std::string name;
    std::string returnType;  // "uint32"
    std::vector<ParameterDecl> parameters;
    std::string classOrigin;
    std::vector<QualifierDecl> qualifiers;
};

struct ClassDecl {
    std::string name;
    std::string superClass;  // empty for a root class
    std::vector<QualifierDecl> qualifiers;
    std::vector<PropertyDecl> properties;  // inherited first (base order), then own; overrides
                                           // replace in place
    std::vector<MethodDecl> methods;       // inherited and own, same rule
    bool isAssociation() const;
    bool isAbstract() const;
    const QualifierDecl* findQualifier(const std::string& name) const;  // ignoring case
    const PropertyDecl* findProperty(const std::string& name) const;    // ignoring case
    const MethodDecl* findMethod(const std::string& name) const;        // ignoring case
    std::vector<std::string> keyNames() const;
};

struct InstanceDecl {  // "instance of X { P = value; };" in MOF
    std::string className;
    std::vector<std::pair<std::string, std::string>> values;  // property name, value text
    // Array properties once more with their elements (in values the elements
    // are joined with ","). Properties set to null appear in neither list.
    std::vector<std::pair<std::string, std::vector<std::string>>> arrayValues;
};

struct MofError : std::runtime_error {  // "<file>:<line>: <what>"
    MofError(const std::string& file, int line, const std::string& what);
    std::string file;
    int line;
};

class ClassSchema {
  public:
    // Reads a MOF file and every file it includes with #pragma include("...")
    // (relative to the including file). Throws MofError.
    static ClassSchema load(const std::string& mofFile);
    // Reads MOF text; includes are resolved relative to sourceName's folder.
    static ClassSchema parse(const std::string& text, const std::string& sourceName);
    const ClassDecl* find(const std::string& className) const;  // ignoring case; null if unknown
    std::vector<std::string> classNames() const;                // declaration order
    // Direct subclasses, or all descendants (depth-first, declaration order) when deep.
    std::vector<std::string> subclasses(const std::string& className, bool deep) const;
    bool isA(const std::string& className,
             const std::string& ancestor) const;  // ignoring case, reflexive
    const std::vector<InstanceDecl>& instances() const;

    // Used by the MOF reader: adds a class whose superclass (if any) is already
    // known, resolving inheritance; adds an instance of a known class. Both
    // throw MofError naming file and line.
    void addClass(ClassDecl declared, const std::string& file, int line);
    void addInstance(InstanceDecl instance, const std::string& file, int line);

  private:
    std::vector<ClassDecl> _classes;
    std::vector<InstanceDecl> _instances;
};

// Case-insensitive comparison of CIM names.
bool sameCimName(const std::string& a, const std::string& b);

}  // namespace velk::cimserver

#endif
