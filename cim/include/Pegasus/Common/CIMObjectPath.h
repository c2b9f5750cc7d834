// CIMKeyBinding and CIMObjectPath: the name of a CIM instance (or class) and its text form
//
//   [//host/][namespace:]ClassName[.key1=value1,key2=value2...]
//
// Key bindings are kept sorted by name (case-insensitively), so getKeyBindings() and toString()
// show them in that order whatever order they were given in.
#ifndef Pegasus_CIMObjectPath_h
#define Pegasus_CIMObjectPath_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Linkage.h>
#include <Pegasus/Common/String.h>
#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMName.h>

PEGASUS_NAMESPACE_BEGIN

class CIMValue;

class PEGASUS_COMMON_LINKAGE CIMKeyBinding {
  public:
    // STRING holds string, char16 and datetime values; NUMERIC integers and reals; REFERENCE
    // object paths.
    enum Type { BOOLEAN, STRING, NUMERIC, REFERENCE };

    CIMKeyBinding();
    CIMKeyBinding(const CIMKeyBinding& x);
    CIMKeyBinding(const CIMName& name, const String& value, Type type);
    // The value's text is CIMValue::toString(); arrays, objects and instances cannot be keys
    // (TypeMismatchException).
    CIMKeyBinding(const CIMName& name, const CIMValue& value);
    ~CIMKeyBinding();

    CIMKeyBinding& operator=(const CIMKeyBinding& x);

    const CIMName& getName() const;
    void setName(const CIMName& name);
    const String& getValue() const;
    void setValue(const String& value);
    Type getType() const;
    void setType(Type type);

    // Reads this binding's text as a value of value's type and compares the two; false when the
    // text does not read as that type or the kinds differ.
    Boolean equal(CIMValue value);

  private:
    CIMName _name;
    String _value;
    Type _type;
};

// Names compare case-insensitively and types must match. STRING values compare case-sensitively,
// BOOLEAN values case-insensitively, NUMERIC values as 64-bit integers (decimal or 0x hex; the
// text when they do not read as integers) and REFERENCE values as object paths.
PEGASUS_COMMON_LINKAGE Boolean operator==(const CIMKeyBinding& x, const CIMKeyBinding& y);

class PEGASUS_COMMON_LINKAGE CIMObjectPath {
  public:
    CIMObjectPath();
    CIMObjectPath(const CIMObjectPath& x);
    // Parses the text form (MalformedObjectNameException when it is not one).
    CIMObjectPath(const String& objectName);
    CIMObjectPath(const String& host, const CIMNamespaceName& nameSpace, const CIMName& className,
                  const Array<CIMKeyBinding>& keyBindings = Array<CIMKeyBinding>());
    ~CIMObjectPath();

    CIMObjectPath& operator=(const CIMObjectPath& x);
    CIMObjectPath& operator=(const String& objectName);

    void clear();
    void set(const String& host, const CIMNamespaceName& nameSpace, const CIMName& className,
             const Array<CIMKeyBinding>& keyBindings = Array<CIMKeyBinding>());
    // An empty text gives the empty path (the text form of an empty path is "").
    void set(const String& objectName);

    const String& getHost() const;
    // "", a host name, an IPv4 address or a bracketed IPv6 address, each with an optional
    // ":port"; anything else throws MalformedObjectNameException.
    void setHost(const String& host);
    const CIMNamespaceName& getNameSpace() const;
    void setNameSpace(const CIMNamespaceName& nameSpace);
    const CIMName& getClassName() const;
    void setClassName(const CIMName& className);
    const Array<CIMKeyBinding>& getKeyBindings() const;
    void setKeyBindings(const Array<CIMKeyBinding>& keyBindings);

    String toString() const;

    // Host, namespace and class name compare case-insensitively (a null namespace counts as
    // ""); key bindings compare pairwise with CIMKeyBinding's ==.
    Boolean identical(const CIMObjectPath& x) const;
    // Equal for paths that are identical().
    Uint32 makeHashCode() const;

  private:
    String _host;
    CIMNamespaceName _nameSpace;
    CIMName _className;
    Array<CIMKeyBinding> _keyBindings;
};

PEGASUS_COMMON_LINKAGE Boolean operator==(const CIMObjectPath& x, const CIMObjectPath& y);
PEGASUS_COMMON_LINKAGE Boolean operator!=(const CIMObjectPath& x, const CIMObjectPath& y);

PEGASUS_NAMESPACE_END

#endif
