#include "VLK_RunningTest.h"

#include <string>

#include "Cycle.h"
#include "Message.h"
#include "VLK_Assert.h"
#include "VLK_Engine.h"
#include "VLK_Log.h"
#include "VLK_RecommendedActions.h"

using VELKCORE::CCycle;
using VELKCORE::CMessage;
using VELKCORE::CScenario;
using VELKCORE::CTestRun;

PEGASUS_NAMESPACE_BEGIN

log4cpp::Category& VLK_RunningTest::log = log4cpp::Category::getInstance("VLK_RunningTest");

namespace {

const char* const SOURCE_NAME = "VLK_RunningTest";
const Uint16 STATE_STOPPED = 5;
const Uint16 STATE_DISCONTINUE_REQUESTED = 7;
const Uint16 STATE_UNKNOWN = 0;

String text(const std::string& value) {
    return String(value.c_str());
}

// TestState of a final run result.
Uint16 testStateOf(CTestRun::Result result) {
    switch (result) {
        case CTestRun::PASS:
            return 2;
        case CTestRun::FAILED:
            return 3;
        case CTestRun::SETUPERROR:
        case CTestRun::DEVICEBUSY:
        case CTestRun::INSUFFICIENTPRIVELEGE:
        case CTestRun::NOTAPPLICABLE:
        case CTestRun::BADPARAMS:
        case CTestRun::NOMEDIA:
        case CTestRun::NODEVICE:
            return 1;
        case CTestRun::DISCONTINUED:
            return 7;
        case CTestRun::TIMEDOUT:
            return 5;
        default:
            return 0;
    }
}

}  // namespace

VLK_RunningTest::VLK_RunningTest(const String& deviceID, const String& testName,
                                 const String& processID, VLK_DiagResult& result, CCycle* cycle,
                                 CTestRun* run, CScenario* scenario)
    : _deviceID(deviceID),
      _testName(testName),
      _processID(processID),
      _result(result),
      _cycle(cycle),
      _run(run),
      _scenario(scenario),
      _generation(VLK_Engine::environmentGeneration()) {
    VLK_LOG_DEBUG(log, "VLK_RunningTest");
}

VLK_RunningTest::~VLK_RunningTest() {}

void VLK_RunningTest::update() {
    VLK_LOG_DEBUG(log, "Update()");
    VLK_Engine::AutoLock lock;
    // Completed, or abandoned with its environment, while this update waited.
    if (complete) {
        return;
    }
    // Its environment was replaced before the facade listed this record.
    if (VLK_Engine::environmentGeneration() != _generation) {
        abandon();
        return;
    }
    VLK_ASSERT(log, SOURCE_NAME, _cycle);
    VLK_ASSERT(log, SOURCE_NAME, _run);
    VLK_LOG_DEBUG(log, " --- Cycle State : " << CCycle::CycleStateToString(_cycle->GetState()));
    unsigned int pass = 0;
    _run->GetPassCount(pass);
    VLK_LOG_DEBUG(log, "Pass " << pass);
    VLK_LOG_DEBUG(log, "Test PID " << _processID);
    CTestRun::State state = CTestRun::UNDEFINED;
    if (_run->GetState(state) != CTestRun::OK) {
        // The engine client gives up on an engine that stops answering and
        // ends the run itself; until then the run counts as going on.
        VLK_LOG_WARN(log, "run state not available");
        return;
    }
    if (terminated) {
        if (stoppedRunHasEnded(state)) {
            finish();
        }
        return;
    }
    if (state == CTestRun::RUNNING) {
        VLK_LOG_DEBUG(log, "*****  " << _cycle->GetElapsedTime() << "s elapsed***************");
        VLK_LOG_DEBUG(log, CTestRun::TestStateToString(state));
        int percent = -1;
        if (_run->GetPercentComplete(percent) != CTestRun::OK) {
            percent = -1;
        }
        writeToResults("PercentComplete", CIMValue(Uint8(percent & 0xff)));
        VLK_LOG_DEBUG(log, " Percent Complete " << percent);
        VLK_LOG_DEBUG(log, " --- Cycle State : " << CCycle::CycleStateToString(_cycle->GetState()));
    } else {
        VLK_LOG_DEBUG(log, " --- Test Run State : " << CTestRun::TestStateToString(state));
    }

    if (retrieveResultProperty("TestState") == CIMValue(STATE_DISCONTINUE_REQUESTED)) {
        stopAfterDiscontinueRequest();
        CTestRun::State now = state;
        _run->GetState(now);
        if (stoppedRunHasEnded(now)) {
            finish();
        }
        return;
    }
    if (state == CTestRun::RUNNING || state == CTestRun::INITIALIZING) {
        return;
    }

    writeToResults("PercentComplete", CIMValue(Uint8(100)));
    CTestRun::Result result = CTestRun::INVALIDRESULT;
    _run->GetResult(result);
    std::string resultText = CTestRun::TestResultToString(result);
    VLK_LOG_DEBUG(log, "Result: " << resultText);
    complete = true;
    CMessage* message = nullptr;
    for (int got = _run->GetFirstMessage(&message); got == CTestRun::OK && message != nullptr;
         got = _run->GetNextMessage(&message)) {
        CMessage::Severity severity = CMessage::INVALID;
        std::string messageText;
        int code = -1;
        message->GetSeverity(severity);
        message->GetMessage(messageText);
        message->GetEventCode(code);
        VLK_LOG_DEBUG(log, CMessage::SeverityCodeToSeverityString(severity)
                               << "Message : " << messageText << " CODE " << code);
    }
    VLK_LOG_DEBUG(log, " --- Cycle State : " << CCycle::CycleStateToString(_cycle->GetState()));
    try {
        writeTestResults(text(resultText));
        writeFinalResult(result);
        VLK_LOG_DEBUG(log, "finalTestResult = " << static_cast<int>(result));
        if (result == CTestRun::NOMEDIA) {
            writeToResults("ActionOnFailure",
                           CIMValue(VLK_RecommendedActions::getAllActions(
                               VLK_Engine::getRecommnedActionsTestNameNoMedia(_testName))));
        }
    } catch (...) {
        VLK_LOG_ERROR(log, "Exception creating results");
    }
    finish();
    VLK_LOG_DEBUG(log, "10");
}

void VLK_RunningTest::stopAfterDiscontinueRequest() {
    VLK_LOG_INFO(log, "Terminated");
    _cycle->Stop();
    terminated = true;
    terminatedAt = std::chrono::steady_clock::now();
    writeTestResults("TERMINATED");
    writeToResults("TestState", CIMValue(STATE_STOPPED));
}

// A stopped run is done with once it has left RUNNING (INITIALIZING is
// waited out for a few updates), or at the latest DISCONTINUE_LIMIT after the
// stop: the update never waits for it while holding the engine lock.
bool VLK_RunningTest::stoppedRunHasEnded(CTestRun::State state) {
    if (state == CTestRun::INITIALIZING &&
        ++initializingChecks <= DISCONTINUE_INITIALIZING_CHECKS) {
        return false;
    }
    if (state != CTestRun::RUNNING && state != CTestRun::INITIALIZING) {
        return true;
    }
    if (std::chrono::steady_clock::now() - terminatedAt >= DISCONTINUE_LIMIT) {
        VLK_LOG_WARN(log, "run " << _processID << " still running " << DISCONTINUE_LIMIT.count()
                                 << " s after it was stopped");
        return true;
    }
    return false;
}

// The record is done: its scenario goes back to the environment (lock held).
void VLK_RunningTest::finish() {
    complete = true;
    if (_scenario != nullptr) {
        VLK_Engine::releaseScenario(_scenario);
        _scenario = nullptr;
    }
}

void VLK_RunningTest::writeFinalResult(const CTestRun::Result& result) {
    writeToResults("TestState", CIMValue(testStateOf(result)));
}

void VLK_RunningTest::abandon() {
    if (complete) {
        return;
    }
    VLK_LOG_ERROR(log, "engine lost while " << _testName << " ran on " << _deviceID);
    complete = true;
    _scenario = nullptr;
    if (!terminated) {
        writeTestResults(text(CTestRun::TestResultToString(CTestRun::EXITEDABNORMALLY)));
        writeToResults("TestState", CIMValue(STATE_UNKNOWN));
    }
}

void VLK_RunningTest::writeToResults(const String& property, const CIMValue& value) {
    _result.setResultProperty(_testName, _deviceID, property, value);
}

void VLK_RunningTest::writeTestResults(const String& entry) {
    _result.setResultPropertyTestResults(_testName, _deviceID, entry);
}

CIMValue VLK_RunningTest::retrieveResultProperty(const String& property) const {
    return _result.getResultProperty(_testName, _deviceID, property);
}

PEGASUS_NAMESPACE_END
