// CIMPropertyList: the property filter of a request. Null means "all properties"; a non-null
// empty list selects none.
#ifndef Pegasus_CIMPropertyList_h
#define Pegasus_CIMPropertyList_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Linkage.h>
#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMName.h>

PEGASUS_NAMESPACE_BEGIN

class PEGASUS_COMMON_LINKAGE CIMPropertyList {
  public:
    CIMPropertyList();
    CIMPropertyList(const CIMPropertyList& x);
    CIMPropertyList(const Array<CIMName>& propertyNames);
    ~CIMPropertyList();

    CIMPropertyList& operator=(const CIMPropertyList& x);
    void set(const Array<CIMName>& propertyNames);
    void clear();

    Boolean isNull() const;
    Uint32 size() const;
    const CIMName& operator[](Uint32 index) const;
    Array<CIMName> getPropertyNameArray() const;
    // Case-insensitive membership.
    Boolean contains(const CIMName& name) const;
    // True for every name when the list is null, else contains(name).
    Boolean useThisProperty(const CIMName& name) const;
    // "NULL" for a null list, else the names separated by ", ".
    String toString() const;

  private:
    Boolean _isNull;
    Array<CIMName> _names;
};

PEGASUS_NAMESPACE_END

#endif
