#include "VLK_CIM_InParameterHandler.h"

#include <string>

#include <Pegasus/Common/Exception.h>

#include "VLK_Log.h"

PEGASUS_NAMESPACE_BEGIN

log4cpp::Category& VLK_CIM_InParameterHandler::log =
    log4cpp::Category::getInstance("VLK_CIM_InParameterHandler");

VLK_CIM_InParameterHandler::VLK_CIM_InParameterHandler(const Array<CIMParamValue>& inParameters)
    : _inParameters(inParameters) {}

VLK_CIM_InParameterHandler::~VLK_CIM_InParameterHandler() {}

CIMValue VLK_CIM_InParameterHandler::getInParameterValue(const String& name) const {
    for (Uint32 i = 0; i < _inParameters.size(); i++) {
        if (String::equalNoCase(_inParameters[i].getParameterName(), name)) {
            CIMValue value = _inParameters[i].getValue();
            VLK_LOG_DEBUG(log, "         mmm is: " << value.toString());
            return value;
        }
    }
    return CIMValue(Uint32(NOT_FOUND_MARKER));
}

bool VLK_CIM_InParameterHandler::isParamTypeReference(const CIMValue& value) const {
    return value.getType() == CIMTYPE_REFERENCE && !value.isArray() && !value.isNull();
}

String VLK_CIM_InParameterHandler::getKeyValue(const CIMObjectPath& path, const String& keyName) {
    const Array<CIMKeyBinding>& keys = path.getKeyBindings();
    for (Uint32 i = 0; i < keys.size(); i++) {
        if (String::equalNoCase(keys[i].getName().getString(), keyName)) {
            return keys[i].getValue();
        }
    }
    return String();
}

String VLK_CIM_InParameterHandler::getKeyValueFromParam(const Array<CIMParamValue>& inParameters,
                                                        const String& paramName,
                                                        const String& keyName) {
    VLK_CIM_InParameterHandler handler(inParameters);
    CIMValue value = handler.getInParameterValue(paramName);
    if (!handler.isParamTypeReference(value)) {
        return String();
    }
    CIMObjectPath path;
    value.get(path);
    return getKeyValue(path, keyName);
}

namespace {

[[noreturn]] void refuse(const std::string& why) {
    throw CIMException(CIM_ERR_INVALID_PARAMETER, String(("RunTest: " + why).c_str()));
}

}  // namespace

void VLK_CIM_InParameterHandler::readLoopControls(Array<Uint16>& controls,
                                                  Array<String>& parameters) const {
    // Present (and not null), as opposed to the marker of an absent one.
    auto given = [this](const char* name) {
        for (Uint32 i = 0; i < _inParameters.size(); i++) {
            if (String::equalNoCase(_inParameters[i].getParameterName(), name)) {
                return !_inParameters[i].getValue().isNull();
            }
        }
        return false;
    };
    CIMValue controlValue = getInParameterValue("LoopControl");
    CIMValue parameterValue = getInParameterValue("LoopControlParameter");
    if (given("LoopControl")) {
        if (controlValue.getType() != CIMTYPE_UINT16 || !controlValue.isArray()) {
            refuse("LoopControl must be an array of uint16");
        }
        controlValue.get(controls);
    }
    if (given("LoopControlParameter")) {
        if (parameterValue.getType() != CIMTYPE_STRING || !parameterValue.isArray()) {
            refuse("LoopControlParameter must be an array of string");
        }
        parameterValue.get(parameters);
    }
    for (Uint32 i = 0; i < controls.size(); i++) {
        bool needsValue = controls[i] == 3 || controls[i] == 4 || controls[i] == 5;
        if (needsValue && i >= parameters.size()) {
            refuse("LoopControlParameter has no value for LoopControl " +
                   std::to_string(controls[i]) + " at index " + std::to_string(i));
        }
    }
}

PEGASUS_NAMESPACE_END
