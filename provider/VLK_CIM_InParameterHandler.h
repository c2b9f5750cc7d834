// Reads the in-parameters of a method call: values by name (ignoring case),
// whether a value is a reference, and key values of referenced paths.
#ifndef VLK_CIM_IN_PARAMETER_HANDLER_H
#define VLK_CIM_IN_PARAMETER_HANDLER_H

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMParamValue.h>
#include <Pegasus/Common/CIMValue.h>
#include <log4cpp/Category.hh>

PEGASUS_NAMESPACE_BEGIN

class VLK_CIM_InParameterHandler {
  public:
    // The value getInParameterValue gives for an absent parameter: a uint32,
    // never a reference.
    static const Uint32 NOT_FOUND_MARKER = 1050;

    explicit VLK_CIM_InParameterHandler(const Array<CIMParamValue>& inParameters);
    virtual ~VLK_CIM_InParameterHandler();

    // The value of the first parameter of this name (ignoring case), else
    // the uint32 NOT_FOUND_MARKER.
    CIMValue getInParameterValue(const String& name) const;
    bool isParamTypeReference(const CIMValue& value) const;

    // The value of the first key of this name (ignoring case), else "".
    static String getKeyValue(const CIMObjectPath& path, const String& keyName);
    // The key of the path passed by reference in parameter paramName; ""
    // when the parameter is absent or not a reference.
    static String getKeyValueFromParam(const Array<CIMParamValue>& inParameters,
                                       const String& paramName, const String& keyName);

    // The optional loop controls of RunTest: "LoopControl" (uint16[]) and
    // "LoopControlParameter" (string[], one value at the index of each count,
    // timer or error-count control).  Throws CIMException
    // CIM_ERR_INVALID_PARAMETER for a wrong type or a missing value.
    void readLoopControls(Array<Uint16>& controls, Array<String>& parameters) const;

    static log4cpp::Category& log;

  private:
    Array<CIMParamValue> _inParameters;
};

PEGASUS_NAMESPACE_END

#endif
