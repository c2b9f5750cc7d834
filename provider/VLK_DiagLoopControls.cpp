#include "VLK_DiagLoopControls.h"

#include <cstdlib>
#include <string>

#include <Pegasus/Common/Array.h>

#include "VLK_Log.h"

PEGASUS_NAMESPACE_BEGIN

log4cpp::Category& VLK_DiagLoopControls::log =
    log4cpp::Category::getInstance("VLK_DiagLoopControls");

namespace {

const Uint16 STATE_PASSED = 2;
const Uint16 STATE_FAILED = 3;
const Uint16 STATE_DISCONTINUE_REQUESTED = 7;

Uint32 secondsNow() {
    return static_cast<Uint32>(std::time(nullptr));
}

// The leading decimal number of text, 0 when there is none (as atoi).
Uint32 numberOf(const String& text) {
    return static_cast<Uint32>(std::atoi(static_cast<const char*>(text.getCString())));
}

}  // namespace

VLK_DiagLoopControls::VLK_DiagLoopControls(const String& testName, const String& deviceID,
                                           VLK_DiagResult& result)
    : _testName(testName), _deviceID(deviceID), _result(result) {
    VLK_LOG_INFO(log, "ctor for VLK_DiagLoopControls");
}

VLK_DiagLoopControls::~VLK_DiagLoopControls() {}

Uint16 VLK_DiagLoopControls::getThisTestLoopControl() {
    VLK_LOG_DEBUG(log, "getThisTestLoopControl()");
    CIMValue controlValue = retrieveResultProperty("LoopControl");
    VLK_LOG_DEBUG(log, "cv_loopControl type: " << cimTypeToString(controlValue.getType()));
    VLK_LOG_DEBUG(log, "getting array<Uint16> from cv_loopControl");
    Array<Uint16> controls;
    Array<String> parameters;
    // A result without loop controls (or without a result) starts once.
    if (controlValue.getType() == CIMTYPE_UINT16 && controlValue.isArray() &&
        !controlValue.isNull()) {
        controlValue.get(controls);
    }
    CIMValue parameterValue = retrieveResultProperty("LoopControlParameter");
    if (parameterValue.getType() == CIMTYPE_STRING && parameterValue.isArray() &&
        !parameterValue.isNull()) {
        parameterValue.get(parameters);
    }
    // A missing parameter counts as no number (0), like an unreadable one.
    auto parameter = [&parameters](Uint32 i) {
        return i < parameters.size() ? numberOf(parameters[i]) : 0;
    };
    bool continuous = false, count = false, timer = false, errors = false;
    for (Uint32 i = 0; i < controls.size(); i++) {
        switch (controls[i]) {
            case CONTINUOUS:
                continuous = true;
                break;
            case COUNT:
                count = true;
                loopCount = parameter(i);
                break;
            case TIMER:
                timer = true;
                endTime = parameter(i) + secondsNow();
                break;
            case ERROR_COUNT:
                errors = true;
                errorLimit = parameter(i);
                break;
            default:
                break;
        }
    }
    if (continuous) {
        return CONTINUOUS;
    }
    if (count && timer && errors) {
        return COUNT_TIMER_AND_ERRORS;
    }
    if (count && timer) {
        return COUNT_AND_TIMER;
    }
    if (count && errors) {
        return COUNT_AND_ERRORS;
    }
    if (timer && errors) {
        return TIMER_AND_ERRORS;
    }
    if (count) {
        return COUNT;
    }
    if (timer) {
        return TIMER;
    }
    if (errors) {
        return ERROR_COUNT;
    }
    return ONCE;
}

bool VLK_DiagLoopControls::continueLoopingCheck(Uint16 loopCode) {
    updateLoopCount();
    switch (loopCode) {
        case CONTINUOUS:
            return discontinueRequested();
        case COUNT:
            return LoopCountExceeded();
        case TIMER:
            return TimerExceeded();
        case ERROR_COUNT:
            // Like a continuous loop that also ends at the error limit.
            return ErrorCountExceeded() || discontinueRequested();
        case COUNT_AND_TIMER:
            return LoopCountExceeded() || TimerExceeded();
        case COUNT_AND_ERRORS:
            return LoopCountExceeded() || ErrorCountExceeded();
        case TIMER_AND_ERRORS:
            return TimerExceeded() || ErrorCountExceeded();
        case COUNT_TIMER_AND_ERRORS:
            return LoopCountExceeded() || TimerExceeded() || ErrorCountExceeded();
        case ONCE:
            return true;
        default:
            return false;
    }
}

bool VLK_DiagLoopControls::discontinueRequested() {
    return retrieveResultProperty("TestState") == CIMValue(STATE_DISCONTINUE_REQUESTED);
}

void VLK_DiagLoopControls::updateLoopCount() {
    CIMValue state = retrieveResultProperty("TestState");
    if (state == CIMValue(STATE_PASSED)) {
        writeToResults("LoopsPassed", CIMValue(uint32Property("LoopsPassed") + 1));
    } else if (state == CIMValue(STATE_FAILED)) {
        writeToResults("LoopsFailed", CIMValue(uint32Property("LoopsFailed") + 1));
    }
}

bool VLK_DiagLoopControls::LoopCountExceeded() {
    return uint32Property("loopspassed") + uint32Property("loopsfailed") >= loopCount;
}

bool VLK_DiagLoopControls::TimerExceeded() {
    return secondsNow() >= endTime;
}

bool VLK_DiagLoopControls::ErrorCountExceeded() {
    return uint32Property("LoopsFailed") >= errorLimit;
}

void VLK_DiagLoopControls::updateErrorCount(unsigned int) {
    // Failed loops are counted in LoopsFailed by updateLoopCount.
}

Uint32 VLK_DiagLoopControls::uint32Property(const char* property) {
    CIMValue value = retrieveResultProperty(property);
    Uint32 number = 0;
    if (value.getType() == CIMTYPE_UINT32 && !value.isArray() && !value.isNull()) {
        value.get(number);
    }
    return number;
}

CIMValue VLK_DiagLoopControls::retrieveResultProperty(const String& property) {
    VLK_LOG_DEBUG(log, "retrieveResultProperty: " << property);
    return _result.getResultProperty(_testName, _deviceID, property);
}

void VLK_DiagLoopControls::writeToResults(const String& property, const CIMValue& value) {
    _result.setResultProperty(_testName, _deviceID, property, value);
}

PEGASUS_NAMESPACE_END
