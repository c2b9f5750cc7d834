// CIMProperty: a named, typed value of an instance; CIMConstProperty: its read-only view.
//
// Both are handles: copies share one representation, so a change through one copy shows in all
// of them (and in the instance holding the property). clone() makes an independent copy.
// Qualifiers are not supported by this layer.
#ifndef Pegasus_CIMProperty_h
#define Pegasus_CIMProperty_h

#include <memory>

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Linkage.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMValue.h>

PEGASUS_NAMESPACE_BEGIN

struct CIMPropertyRep;
class CIMConstProperty;
class CIMInstance;
class CIMConstInstance;
class CIMObject;

class PEGASUS_COMMON_LINKAGE CIMProperty {
  public:
    // Uninitialized: every call but isUninitialized() throws UninitializedObjectException.
    CIMProperty();
    CIMProperty(const CIMProperty& x);
    // A null name throws UninitializedObjectException. A non-zero arraySize must be the size
    // of the array value; reference arrays, and a reference class name on a value that is not
    // a reference, throw TypeMismatchException.
    CIMProperty(const CIMName& name, const CIMValue& value, Uint32 arraySize = 0,
                const CIMName& referenceClassName = CIMName(),
                const CIMName& classOrigin = CIMName(), Boolean propagated = false);
    ~CIMProperty();

    CIMProperty& operator=(const CIMProperty& x);

    const CIMName& getName() const;
    // A property inside an instance cannot be renamed (Exception).
    void setName(const CIMName& name);
    const CIMValue& getValue() const;
    CIMType getType() const;
    Boolean isArray() const;
    // The value must be typeCompatible() with the current one (TypeMismatchException), so a
    // property never changes its type.
    void setValue(const CIMValue& value);
    Uint32 getArraySize() const;
    const CIMName& getReferenceClassName() const;
    const CIMName& getClassOrigin() const;
    void setClassOrigin(const CIMName& classOrigin);
    Boolean getPropagated() const;
    void setPropagated(Boolean propagated);

    Boolean identical(const CIMConstProperty& x) const;
    CIMProperty clone() const;
    Boolean isUninitialized() const;

  private:
    explicit CIMProperty(std::shared_ptr<CIMPropertyRep> rep);

    std::shared_ptr<CIMPropertyRep> _rep;

    friend class CIMConstProperty;
    friend struct CIMInstanceRep;
    friend class CIMInstance;
};

class PEGASUS_COMMON_LINKAGE CIMConstProperty {
  public:
    CIMConstProperty();
    CIMConstProperty(const CIMConstProperty& x);
    CIMConstProperty(const CIMProperty& x);
    CIMConstProperty(const CIMName& name, const CIMValue& value, Uint32 arraySize = 0,
                     const CIMName& referenceClassName = CIMName(),
                     const CIMName& classOrigin = CIMName(), Boolean propagated = false);
    ~CIMConstProperty();

    CIMConstProperty& operator=(const CIMConstProperty& x);
    CIMConstProperty& operator=(const CIMProperty& x);

    const CIMName& getName() const;
    const CIMValue& getValue() const;
    CIMType getType() const;
    Boolean isArray() const;
    Uint32 getArraySize() const;
    const CIMName& getReferenceClassName() const;
    const CIMName& getClassOrigin() const;
    Boolean getPropagated() const;

    Boolean identical(const CIMConstProperty& x) const;
    CIMProperty clone() const;
    Boolean isUninitialized() const;

  private:
    std::shared_ptr<CIMPropertyRep> _rep;

    friend class CIMProperty;
};

PEGASUS_NAMESPACE_END

#endif
