// CIMName (class, property, method and key names) and CIMNamespaceName.
// Both compare case-insensitively, as names do in CIM.
#ifndef Pegasus_CIMName_h
#define Pegasus_CIMName_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Linkage.h>
#include <Pegasus/Common/String.h>
#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/Exception.h>

PEGASUS_NAMESPACE_BEGIN

class PEGASUS_COMMON_LINKAGE CIMName {
  public:
    CIMName();  // the null name
    CIMName(const CIMName& name);
    CIMName(const String& name);
    CIMName(const char* name);

    CIMName& operator=(const CIMName& name);
    CIMName& operator=(const String& name);

    const String& getString() const;
    Boolean isNull() const;
    void clear();
    Boolean equal(const CIMName& name) const;

    // Letters, digits, '_' and UCS-2 0x0080..0xFFEF, not empty and not starting with a digit.
    static Boolean legal(const String& name);

  private:
    String _name;
};

PEGASUS_COMMON_LINKAGE Boolean operator==(const CIMName& name1, const CIMName& name2);
PEGASUS_COMMON_LINKAGE Boolean operator!=(const CIMName& name1, const CIMName& name2);

class PEGASUS_COMMON_LINKAGE CIMNamespaceName {
  public:
    CIMNamespaceName();  // the null namespace
    CIMNamespaceName(const CIMNamespaceName& name);
    CIMNamespaceName(const String& name);
    CIMNamespaceName(const char* name);

    CIMNamespaceName& operator=(const CIMNamespaceName& name);
    CIMNamespaceName& operator=(const String& name);

    const String& getString() const;
    Boolean isNull() const;
    void clear();
    Boolean equal(const CIMNamespaceName& name) const;

    // Legal CIM names joined by '/'; one leading '/' is accepted (and dropped by the constructors).
    static Boolean legal(const String& name);

  private:
    String _name;
};

PEGASUS_COMMON_LINKAGE Boolean operator==(const CIMNamespaceName& name1,
                                          const CIMNamespaceName& name2);
PEGASUS_COMMON_LINKAGE Boolean operator!=(const CIMNamespaceName& name1,
                                          const CIMNamespaceName& name2);

PEGASUS_NAMESPACE_END

#endif
