// CIMObject: a handle that holds either kind of CIM object. This layer has no class objects,
// so a CIMObject is always an instance (or uninitialized); it shares its data with the
// CIMInstance it was made from.
#ifndef Pegasus_CIMObject_h
#define Pegasus_CIMObject_h

#include <memory>

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Linkage.h>
#include <Pegasus/Common/String.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMPropertyList.h>

PEGASUS_NAMESPACE_BEGIN

struct CIMInstanceRep;
class CIMInstance;

class PEGASUS_COMMON_LINKAGE CIMObject {
  public:
    CIMObject();
    CIMObject(const CIMObject& x);
    CIMObject(const CIMInstance& x);
    ~CIMObject();

    CIMObject& operator=(const CIMObject& x);

    const CIMName& getClassName() const;
    const CIMObjectPath& getPath() const;
    void setPath(const CIMObjectPath& path);

    CIMObject& addProperty(const CIMProperty& x);
    Uint32 findProperty(const CIMName& name) const;
    CIMProperty getProperty(Uint32 index);
    CIMConstProperty getProperty(Uint32 index) const;
    void removeProperty(Uint32 index);
    Uint32 getPropertyCount() const;

    CIMObject clone() const;
    Boolean identical(const CIMObject& x) const;
    Boolean isUninitialized() const;
    Boolean isClass() const;
    Boolean isInstance() const;
    // MOF-like text: instance of Class { Name = "value"; ... };
    String toString() const;

  private:
    std::shared_ptr<CIMInstanceRep> _rep;

    friend class CIMInstance;
    friend class CIMConstInstance;
};

PEGASUS_NAMESPACE_END

#endif
