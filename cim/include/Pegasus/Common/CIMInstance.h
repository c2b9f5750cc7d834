// CIMInstance: an instance of a CIM class with its properties and object path;
// CIMConstInstance: its read-only view.
//
// Instances are handles: copies and assignments share one representation, so a change made
// through one copy shows in all of them. clone() makes an independent deep copy; do that before
// editing an instance that has been handed to someone else. Qualifiers are not supported by this
// layer.
#ifndef Pegasus_CIMInstance_h
#define Pegasus_CIMInstance_h

#include <memory>

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Linkage.h>
#include <Pegasus/Common/String.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/CIMObject.h>

PEGASUS_NAMESPACE_BEGIN

struct CIMInstanceRep;
class CIMConstInstance;

class PEGASUS_COMMON_LINKAGE CIMInstance {
  public:
    // Uninitialized: every call but isUninitialized() throws UninitializedObjectException.
    CIMInstance();
    CIMInstance(const CIMInstance& x);
    // Shares the object's data; DynamicCastFailedException when it is not an instance.
    explicit CIMInstance(const CIMObject& x);
    // The initial path has no host, no namespace, this class name and no keys.
    CIMInstance(const CIMName& className);
    ~CIMInstance();

    CIMInstance& operator=(const CIMInstance& x);

    const CIMName& getClassName() const;
    // Exactly what setPath() stored; keys are never derived from key properties.
    const CIMObjectPath& getPath() const;
    // The path's class name must be this instance's (UninitializedObjectException when null,
    // TypeMismatchException when different).
    void setPath(const CIMObjectPath& path);

    // AlreadyExistsException when a property of that name (any case) is already there.
    CIMInstance& addProperty(const CIMProperty& x);
    // Index in insertion order, or PEG_NOT_FOUND; case-insensitive.
    Uint32 findProperty(const CIMName& name) const;
    // A handle onto the instance's own property: changing it changes the instance.
    CIMProperty getProperty(Uint32 index);
    CIMConstProperty getProperty(Uint32 index) const;
    void removeProperty(Uint32 index);
    Uint32 getPropertyCount() const;

    CIMInstance clone() const;
    // Same class name and the same properties (by name, in any order).
    Boolean identical(const CIMConstInstance& x) const;
    Boolean isUninitialized() const;

    // Keeps only the properties the list selects and, unless includeClassOrigin, drops their
    // class origin. Qualifiers are not held, so includeQualifiers has no effect.
    void instanceFilter(Boolean includeQualifiers, Boolean includeClassOrigin,
                        const CIMPropertyList& propertyList);

  private:
    explicit CIMInstance(std::shared_ptr<CIMInstanceRep> rep);
    void _check() const;

    std::shared_ptr<CIMInstanceRep> _rep;

    friend class CIMConstInstance;
    friend class CIMObject;
};

class PEGASUS_COMMON_LINKAGE CIMConstInstance {
  public:
    CIMConstInstance();
    CIMConstInstance(const CIMConstInstance& x);
    CIMConstInstance(const CIMInstance& x);
    explicit CIMConstInstance(const CIMObject& x);
    CIMConstInstance(const CIMName& className);
    ~CIMConstInstance();

    CIMConstInstance& operator=(const CIMConstInstance& x);
    CIMConstInstance& operator=(const CIMInstance& x);

    const CIMName& getClassName() const;
    const CIMObjectPath& getPath() const;
    Uint32 findProperty(const CIMName& name) const;
    CIMConstProperty getProperty(Uint32 index) const;
    Uint32 getPropertyCount() const;

    CIMInstance clone() const;
    Boolean identical(const CIMConstInstance& x) const;
    Boolean isUninitialized() const;

  private:
    CIMInstance _instance() const;

    std::shared_ptr<CIMInstanceRep> _rep;

    friend class CIMInstance;
};

PEGASUS_NAMESPACE_END

#endif
