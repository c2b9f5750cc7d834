// CIMParamValue: a named method parameter value. Copies share one representation; clone()
// makes an independent copy.
#ifndef Pegasus_CIMParamValue_h
#define Pegasus_CIMParamValue_h

#include <memory>

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Linkage.h>
#include <Pegasus/Common/String.h>
#include <Pegasus/Common/CIMValue.h>

PEGASUS_NAMESPACE_BEGIN

struct CIMParamValueRep;

class PEGASUS_COMMON_LINKAGE CIMParamValue {
  public:
    // Uninitialized: every call but isUninitialized() throws UninitializedObjectException.
    CIMParamValue();
    CIMParamValue(const CIMParamValue& x);
    CIMParamValue(String parameterName, CIMValue value, Boolean isTyped = true);
    ~CIMParamValue();

    CIMParamValue& operator=(const CIMParamValue& x);

    String getParameterName() const;
    CIMValue getValue() const;
    Boolean isTyped() const;
    // These two take non-const references, as the OpenPegasus declarations do.
    void setParameterName(String& parameterName);
    void setValue(CIMValue& value);
    void setIsTyped(Boolean isTyped = true);

    CIMParamValue clone() const;
    Boolean isUninitialized() const;

  private:
    std::shared_ptr<CIMParamValueRep> _rep;
};

PEGASUS_NAMESPACE_END

#endif
