#include "TestRunImp.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "AutoMutex.h"
#include "CycleImp.h"
#include "EngineText.h"
#include "Message.h"
#include "MessageImp.h"
#include "ModuleImp.h"
#include "Test.h"
#include "TestImp.h"
#include "TestParamImp.h"
#include "TestParameter.h"
#include "client-messaging-engine.h"
#include "message-protocol.h"
#include "tracing.h"

namespace VELKCORE {

using detail::BoundedField;
using detail::GenStr;
using detail::ParseInt;

namespace {

constexpr int kStartWaitMs = 15000;
constexpr int kCommandWaitMs = 5000;
constexpr int kMessagesWaitMs = 4000;
constexpr int kNextItemWaitMs = 1000;
constexpr unsigned int kStopArea = 500;
constexpr unsigned int kStatusArea = 7168;
constexpr unsigned int kPercentArea = 8192;
constexpr unsigned int kMessagesArea = 512;
constexpr unsigned int kFreeArea = 1024;
// Field areas of the replies: values up to one byte less than the area.
constexpr unsigned int kStartFieldArea = 30;
constexpr unsigned int kStatusFieldArea = 300;
constexpr unsigned int kItemFieldArea = 512;
constexpr unsigned int kFreeDataArea = 400;
// Room the message envelope needs around a command text.
constexpr unsigned int kEnvelopeRoom = 1024;
constexpr const char* kUnknownProcess = "<RESULT>ERROR</RESULT>";

const char* ResultName(CTestRun::Result result) {
    switch (result) {
        case CTestRun::PASS:
            return "PASS";
        case CTestRun::SETUPERROR:
            return "SETUPERROR";
        case CTestRun::FAILED:
            return "FAILED";
        case CTestRun::DEVICEBUSY:
            return "DEVICEBUSY";
        case CTestRun::INSUFFICIENTPRIVELEGE:
            return "INSUFFICIENTPRIVELEGE";
        case CTestRun::NOTAPPLICABLE:
            return "NOTAPPLICABLE";
        case CTestRun::BADPARAMS:
            return "BADPARAMS";
        case CTestRun::NOMEDIA:
            return "NOMEDIA";
        case CTestRun::DISCONTINUED:
            return "DISCONTINUED";
        case CTestRun::NODEVICE:
            return "NODEVICE";
        case CTestRun::EXITEDABNORMALLY:
            return "EXITEDABNORMALLY";
        default:
            return "INVALIDRESULT";
    }
}

}  // namespace

CTestRunImp::CTestRunImp(const CTestImp* test) : CTestRunImp(nullptr, test) {}

CTestRunImp::CTestRunImp(CTestRun* iface, const CTestImp* test)
    : processId_(CTestRun::UNDEF_PROCESS_ID),
      iface_(iface),
      ownsIface_(iface == nullptr),
      test_(test) {
    VTRACE(VELK_TRACE_DLL, "CTestRunImp::CTestRunImp::\n");
    if (iface_ == nullptr) {
        iface_ = new CTestRun(this);
    }
    if (test_ != nullptr) {
        for (const auto& parameter : test_->Parameters()) {
            parameters_.push_back(std::make_unique<CTestParamImp>(*parameter));
        }
        percentToTest_ = std::make_unique<CTestParamImp>(*test_->PercentToTest());
    } else {
        percentToTest_ =
            std::make_unique<CTestParamImp>(-1, "UNDEF", -1, "VELK_BXI2_PERCENT_TO_TEST");
    }
}

CTestRunImp::CTestRunImp(const CTestRunImp& other)
    : processId_(CTestRun::UNDEF_PROCESS_ID),
      iface_(new CTestRun(this)),
      ownsIface_(true),
      passCount_(other.passCount_),
      test_(other.test_) {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::TESTRUN_PARAMETERS);
    for (const auto& parameter : other.parameters_) {
        parameters_.push_back(std::make_unique<CTestParamImp>(*parameter));
    }
    percentToTest_ = std::make_unique<CTestParamImp>(*other.percentToTest_);
}

CTestRunImp::~CTestRunImp() {
    if (HasProcess() && !released_) {
        CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::TESTRUN);
        FreeProcessWorker();
    }
    if (iface_ != nullptr) {
        CTestRun* iface = iface_;
        iface_ = nullptr;
        iface->imp_ = nullptr;
        if (ownsIface_) {
            delete iface;
        }
    }
}

void CTestRunImp::init() {
    VTRACE(VELK_TRACE_DLL, "CTestRunImp::init()\n");
    SetProcessId(CTestRun::UNDEF_PROCESS_ID);
    startStatus_ = NOT_STARTED;
    state_ = CTestRun::UNDEFINED;
    savedResult_ = CTestRun::INVALIDRESULT;
    savedPercent_ = 0;
    released_ = false;
    unanswered_ = 0;
    engineLost_ = false;
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::TESTRUN_MESSAGES);
    cursor_ = 0;
    messages_.clear();
}

std::string CTestRunImp::ProcessId() const {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::TESTRUN);
    return processId_;
}

void CTestRunImp::SetProcessId(const std::string& id) {
    processId_ = id;
    hasProcess_ = !id.empty() && id != CTestRun::UNDEF_PROCESS_ID;
}

void CTestRunImp::SetSavedResult(CTestRun::Result result) {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::TESTRUN);
    savedResult_ = result;
}

const CDeviceImp* CTestRunImp::Device() const {
    return test_ != nullptr ? test_->Device() : nullptr;
}

bool CTestRunImp::IsValid() const {
    return test_ != nullptr && test_->DeviceID() >= 0 && !test_->ModuleId().empty() &&
           test_->TestID() >= 0;
}

void CTestRunImp::GetParamList(std::string& list) const {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::TESTRUN_PARAMETERS);
    list.clear();
    auto append = [&list](const CTestParamImp& parameter) {
        CTestParameter::State state = CTestParameter::NOT_APPLIED;
        parameter.GetState(state);
        if (state != CTestParameter::NOT_APPLIED) {
            std::string text;
            parameter.GetParam(text);
            list += ":" + text;
        }
    };
    append(*percentToTest_);
    for (const auto& parameter : parameters_) {
        append(*parameter);
    }
}

std::optional<std::string> CTestRunImp::StartCommand() const {
    std::string parameters;
    GetParamList(parameters);
    GenStr command;
    CGenStrSprintf(command.Get(), "START_TEST:%s:%i:%i%s", test_->ModuleId().c_str(),
                   test_->TestID(), test_->DeviceID(), parameters.c_str());
    if (command.Str().size() + kEnvelopeRoom > START_BUFFER) {
        return std::nullopt;
    }
    return command.Str();
}

int CTestRunImp::ProcessCommand(const char* word, unsigned int bufferSize, int waitMs,
                                std::string& reply) const {
    return detail::BufferTransaction(detail::Addressee::DIAGNOSTIC_ENGINE,
                                     std::string(word) + ":" + processId_, bufferSize, waitMs,
                                     reply);
}

int CTestRunImp::Start() {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::TESTRUN);
    VTRACE(VELK_TRACE_DLL, "CTestRunImp::Start()\n");
    if (HasProcess() && !released_) {
        // The earlier process goes first: one that still runs would keep
        // the device busy for the new one.
        CTestRun::State previous = CTestRun::UNDEFINED;
        GetStateWorker(previous, false);
        if (!released_) {
            FreeProcessWorker();
        }
    }
    init();
    if (test_ == nullptr) {
        lastStartResult_ = CTestRun::FAILURE;
        return lastStartResult_;
    }
    std::optional<std::string> command = StartCommand();
    if (!command) {
        VTRACE(VELK_TRACE_DLL, "CTestRunImp::RequestRunTest:parameter list too long\n");
        lastStartResult_ = CTestRun::PARAMETERS_TOO_LONG;
        return lastStartResult_;
    }
    VTRACE(VELK_TRACE_DLL, "CTestRunImp::RequestRunTest:Command to send: = %s\n", command->c_str());
    std::string reply;
    int sent = detail::BufferTransaction(detail::Addressee::DIAGNOSTIC_ENGINE, *command,
                                         START_BUFFER, kStartWaitMs, reply);
    lastStartResult_ = CTestRun::FAILURE;
    startRefusal_.clear();
    if (sent != detail::TX_OK) {
        VTRACE(VELK_TRACE_DLL, "CTestRunImp::RequestRunTest:No response.\n");
        startRefusal_ = "the engine did not answer";
        return lastStartResult_;
    }
    std::optional<std::string> result =
        BoundedField(reply.c_str(), "MSG/DATA/RESULT", kStartFieldArea);
    if (!result) {
        VTRACE(VELK_TRACE_DLL,
               "CTestRunImp::RequestRunTest:Error parsing message for "
               "VELK_XML_PROCESSING_RESULT_HEADER.\n");
        startRefusal_ = "unreadable answer";
        return lastStartResult_;
    }
    VTRACE(VELK_TRACE_DLL, "CTestRunImp::RequestRunTest:Test processing result = %s\n",
           result->c_str());
    if (*result == "OK") {
        std::optional<std::string> id =
            BoundedField(reply.c_str(), "MSG/DATA/TESTPROCESSID", kStartFieldArea);
        if (!id || id->empty()) {
            VTRACE(VELK_TRACE_DLL,
                   "CTestRunImp::RequestRunTest:Error parsing message for "
                   "VELK_XML_TESTPROCESSINGID_PATH.\n");
            startRefusal_ = "no process id in the answer";
            return lastStartResult_;
        }
        VTRACE(VELK_TRACE_DLL, "CTestRunImp::RequestRunTest:Test process id = %s\n", id->c_str());
        SetProcessId(*id);
        lastStartResult_ = CTestRun::OK;
        return lastStartResult_;
    }
    VTRACE(VELK_TRACE_DLL, "CTestRunImp::RequestRunTest:Error starting test.\n");
    if (*result == "DEVICE_IN_USE") {
        startRefusal_ = "the device is in use";
        lastStartResult_ = CTestRun::DEVICE_IN_USE;
        return lastStartResult_;
    }
    startRefusal_ = detail::FieldText(reply.c_str(), "MSG/DATA/REASON").value_or(*result);
    return lastStartResult_;
}

int CTestRunImp::MakeRunning(const std::string& processId) {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::TESTRUN);
    init();
    SetProcessId(processId);
    startStatus_ = STARTED;
    state_ = CTestRun::RUNNING;
    lastStartResult_ = CTestRun::OK;
    return 0;
}

int CTestRunImp::Stop() {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::TESTRUN);
    VTRACE(VELK_TRACE_DLL, "CTestRunImp::Stop()\n");
    if (!HasProcess() || released_) {
        return 0;
    }
    std::string reply;
    return ProcessCommand("STOP_TEST", kStopArea, kCommandWaitMs, reply) == detail::TX_OK ? 0 : 1;
}

CTestRun::State CTestRunImp::StateFromEngine(int state) {
    switch (state) {
        case 0:
            VTRACE(VELK_TRACE_DLL, "Test State: INITIALIZING\r\n");
            return CTestRun::INITIALIZING;
        case 1:
            VTRACE(VELK_TRACE_DLL, "Test State: RUNNING\r\n");
            return CTestRun::RUNNING;
        case 2:
            VTRACE(VELK_TRACE_DLL, "Test State: EXITED\r\n");
            return CTestRun::EXITED;
        default:
            VTRACE(VELK_TRACE_DLL, "Test State: UNDEFINED\r\n");
            return CTestRun::UNDEFINED;
    }
}

CTestRun::Result CTestRunImp::ResultFromEngine(int finalResult) {
    CTestRun::Result result = CTestRun::INVALIDRESULT;
    switch (finalResult) {
        case 0:
            result = CTestRun::PASS;
            break;
        case 1:
            result = CTestRun::SETUPERROR;
            break;
        case 2:
            result = CTestRun::FAILED;
            break;
        case 3:
            result = CTestRun::DEVICEBUSY;
            break;
        case 4:
            result = CTestRun::INSUFFICIENTPRIVELEGE;
            break;
        case 5:
            result = CTestRun::NOTAPPLICABLE;
            break;
        case 6:
            result = CTestRun::BADPARAMS;
            break;
        case 7:
            result = CTestRun::NOMEDIA;
            break;
        case 8:
            result = CTestRun::DISCONTINUED;
            break;
        case 9:
            result = CTestRun::NODEVICE;
            break;
        case 11:
            result = CTestRun::EXITEDABNORMALLY;
            break;
        default:
            break;
    }
    VTRACE(VELK_TRACE_DLL, "Test Result: %s\r\n", ResultName(result));
    return result;
}

void CTestRunImp::NoteUnanswered() {
    if (++unanswered_ < LOST_AFTER_FAILURES) {
        return;
    }
    // The engine no longer answers for this process (it died, or forgot the
    // run): the run ends here, without a result, and the engine is not asked
    // again.
    VTRACE(VELK_TRACE_DLL, "CTestRunImp::GetState: engine lost for %s\n", processId_.c_str());
    engineLost_ = true;
    released_ = true;
    savedResult_ = CTestRun::EXITEDABNORMALLY;
    if (state_ != CTestRun::EXITED && cycle_ != nullptr) {
        cycle_->SetUpdateNeeded();
    }
    state_ = CTestRun::EXITED;
}

int CTestRunImp::GetStateWorker(CTestRun::State& state, bool tellCycle) {
    if (state_ == CTestRun::EXITED) {
        state = state_;
        return 0;
    }
    if (!HasProcess()) {
        VTRACE(VELK_TRACE_DLL, "_processID == UNDEF_PROCESS_ID\r\n");
        state = state_;
        return 0;
    }
    std::string command = "GET_TEST_STATUS:" + processId_;
    GenStr reply;
    int sent = detail::DiagnosticEngineTransactionStr(command, nullptr, kCommandWaitMs, reply);
    std::optional<int32_t> engineState;
    if (sent == detail::TX_NO_COMMAND) {
        VTRACE(VELK_TRACE_DLL, "VelkClientCreateDiagnosticEngineCommandStr\r\n");
    } else if (sent != detail::TX_OK) {
        VTRACE(VELK_TRACE_DLL, "CTestRunImp::GetState: No response. %s\n", command.c_str());
    } else if (auto text = detail::FieldText(reply.CStr(), "MSG/DATA/TESTSTATUS/STATE")) {
        engineState = ParseInt(*text);
    }
    if (!engineState) {
        if (sent == detail::TX_OK) {
            VTRACE(VELK_TRACE_DLL, "CTestRunImp::GetState: Error parsing message.\n");
            VTRACE(VELK_TRACE_DLL, "CTestRunImp::GetState: Sent Message: %s Return Message: %s",
                   command.c_str(), reply.CStr());
        }
        NoteUnanswered();
        state = state_;
        return 0;
    }
    unanswered_ = 0;
    CTestRun::State newState = StateFromEngine(*engineState);
    if (newState != state_ && tellCycle && cycle_ != nullptr) {
        cycle_->SetUpdateNeeded();
    }
    state_ = newState;
    state = state_;
    if (state_ != CTestRun::EXITED) {
        return 0;
    }
    if (GetFinalTestRunInfo() == 0) {
        FreeProcessWorker();
        return 0;
    }
    return 1;
}

int CTestRunImp::GetState(CTestRun::State& state) {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::TESTRUN);
    return GetStateWorker(state, true);
}

int CTestRunImp::GetStateNoCycleUpdate(CTestRun::State& state) {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::TESTRUN);
    return GetStateWorker(state, false);
}

void CTestRunImp::ForceExited() {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::TESTRUN);
    state_ = CTestRun::EXITED;
}

int CTestRunImp::GetFinalTestRunInfo() {
    CTestRun::Result result = CTestRun::INVALIDRESULT;
    int final = GetResultWorker(result);
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::TESTRUN_MESSAGES);
    int messages = RequestTestMessages();
    return final == 0 && messages == 0 ? 0 : 1;
}

int CTestRunImp::GetResultWorker(CTestRun::Result& result) {
    VTRACE(VELK_TRACE_DLL, "CTestRunImp::GetResult()\n");
    result = CTestRun::INVALIDRESULT;
    if (!HasProcess()) {
        return CTestRun::NOT_AVAILABLE;
    }
    if (released_) {
        result = savedResult_;
        return 0;
    }
    std::string reply;
    if (ProcessCommand("GET_TEST_STATUS", kStatusArea, kCommandWaitMs, reply) != detail::TX_OK) {
        VTRACE(VELK_TRACE_DLL, "GetResult:RequestTestStatus:No response.\n");
        return 1;
    }
    std::optional<std::string> final =
        BoundedField(reply.c_str(), "MSG/DATA/TESTSTATUS/FINALRESULT", kStatusFieldArea);
    std::optional<int32_t> number = final ? ParseInt(*final) : std::nullopt;
    if (!number) {
        VTRACE(VELK_TRACE_DLL, "GetResult:RequestTestStatus:Error parsing message.\n");
        return 1;
    }
    result = ResultFromEngine(*number);
    std::optional<std::string> percent =
        BoundedField(reply.c_str(), "MSG/DATA/TESTSTATUS/PERCENTDONE", kStatusFieldArea);
    if (percent) {
        VTRACE(VELK_TRACE_DLL, "Test Percent Complete: %s\r\n", percent->c_str());
        savedPercent_ = ParseInt(*percent).value_or(savedPercent_);
    } else {
        savedPercent_ = 100;
    }
    std::optional<std::string> state =
        BoundedField(reply.c_str(), "MSG/DATA/TESTSTATUS/STATE", kStatusFieldArea);
    if (!state) {
        VTRACE(VELK_TRACE_DLL, "Result:RequestTestStatus:Error parsing message.\n");
        return 1;
    }
    if (ParseInt(*state) != 2) {
        return CTestRun::NOT_AVAILABLE;
    }
    savedResult_ = result;
    return 0;
}

int CTestRunImp::GetResult(CTestRun::Result& result) {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::TESTRUN);
    return GetResultWorker(result);
}

int CTestRunImp::GetPercentComplete(int& percent) {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::TESTRUN);
    VTRACE(VELK_TRACE_DLL, "CTestRunImp::PercentComplete()\n");
    percent = -1;
    if (!HasProcess()) {
        return CTestRun::NOT_AVAILABLE;
    }
    if (released_) {
        percent = savedPercent_;
        return 0;
    }
    std::string reply;
    if (ProcessCommand("GET_TEST_STATUS", kPercentArea, kCommandWaitMs, reply) != detail::TX_OK) {
        VTRACE(VELK_TRACE_DLL, "GetPercentComplete:No response.\n");
        return 1;
    }
    std::optional<std::string> done =
        BoundedField(reply.c_str(), "MSG/DATA/TESTSTATUS/PERCENTDONE", kStatusFieldArea);
    std::optional<int32_t> value = done ? ParseInt(*done) : std::nullopt;
    if (!value) {
        VTRACE(VELK_TRACE_DLL, "GetPercentComplete:Error parsing message.\n");
        return 1;
    }
    VTRACE(VELK_TRACE_DLL, "Test Percent Complete: %s\r\n", done->c_str());
    percent = *value;
    std::optional<std::string> state =
        BoundedField(reply.c_str(), "MSG/DATA/TESTSTATUS/STATE", kStatusFieldArea);
    return state && ParseInt(*state) == 1 ? 0 : CTestRun::NOT_AVAILABLE;
}

int CTestRunImp::GetProgressInformation(std::string& text) {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::TESTRUN);
    VTRACE(VELK_TRACE_DLL, "CTestRunImp::ProgressInformation()\n");
    if (!HasProcess()) {
        return CTestRun::NOT_AVAILABLE;
    }
    if (released_) {
        text.clear();
        return 0;
    }
    std::string reply;
    if (ProcessCommand("GET_TEST_STATUS", kStatusArea, kCommandWaitMs, reply) != detail::TX_OK) {
        VTRACE(VELK_TRACE_DLL, "GetProgressInformation:No response.\n");
        return 1;
    }
    std::optional<std::string> progress =
        BoundedField(reply.c_str(), "MSG/DATA/TESTSTATUS/PROGRESSMSG", kStatusFieldArea);
    if (!progress) {
        VTRACE(VELK_TRACE_DLL, "GetProgressInformation:Error parsing message.\n%s\n",
               reply.c_str());
        return 1;
    }
    text = *progress;
    std::optional<std::string> state =
        BoundedField(reply.c_str(), "MSG/DATA/TESTSTATUS/STATE", kStatusFieldArea);
    return state && ParseInt(*state) == 1 ? 0 : CTestRun::NOT_AVAILABLE;
}

int CTestRunImp::FreeProcessWorker() {
    released_ = true;
    if (!HasProcess()) {
        return 0;
    }
    std::string reply;
    if (ProcessCommand("FREE_TEST_PROCESS", kFreeArea, kCommandWaitMs, reply) != detail::TX_OK) {
        VTRACE(VELK_TRACE_DLL, "CTestRun::FreeProcess:No response.\n");
        released_ = false;
        return 0;
    }
    VTRACE(VELK_TRACE_DLL, "CTestRun::FreeProcess:Returned data: = %s\n", reply.c_str());
    if (BoundedField(reply.c_str(), "MSG/DATA", kFreeDataArea) == std::string(kUnknownProcess)) {
        VTRACE(VELK_TRACE_DLL, "CTestRun::FreeProcess:Invalid Test Process ID - Test not found.\n");
        released_ = false;
        return 0;
    }
    return 1;
}

int CTestRunImp::FreeProcess() {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::TESTRUN);
    return FreeProcessWorker();
}

int CTestRunImp::RequestTestMessages() {
    if (!HasProcess()) {
        return 1;
    }
    return RetrieveTestMessages();
}

bool CTestRunImp::GetMessageFromDEMessage(const char* text, CMessageImp& message) {
    std::optional<std::string> sequence =
        BoundedField(text, "MSG/DATA/TESTLOGITEM/SEQUENCENO", kItemFieldArea);
    if (!sequence || !ParseInt(*sequence)) {
        VTRACE(VELK_TRACE_DLL, "GetLogItemFromMessage:couldn't get seqno field\n");
        VTRACE(VELK_TRACE_DLL, "was looking for path %s\n", "MSG/DATA/TESTLOGITEM/SEQUENCENO");
        return false;
    }
    std::optional<std::string> time =
        BoundedField(text, "MSG/DATA/TESTLOGITEM/TIME", kItemFieldArea);
    if (!time) {
        VTRACE(VELK_TRACE_DLL, "GetLogItemFromMessage:couldn't get time field\n");
        return false;
    }
    std::optional<std::string> severity =
        BoundedField(text, "MSG/DATA/TESTLOGITEM/SEVERITY", kItemFieldArea);
    if (!severity) {
        VTRACE(VELK_TRACE_DLL, "GetLogItemFromMessage:couldn't get sev field\n");
        return false;
    }
    std::optional<std::string> body =
        BoundedField(text, "MSG/DATA/TESTLOGITEM/TEXT", kItemFieldArea);
    if (!body) {
        VTRACE(VELK_TRACE_DLL, "GetLogItemFromMessage:couldn't get text field\n");
        return false;
    }
    std::optional<std::string> code =
        BoundedField(text, "MSG/DATA/TESTLOGITEM/EVENTCODE", kItemFieldArea);
    if (!code) {
        VTRACE(VELK_TRACE_DLL, "GetLogItemFromMessage:couldn't get event code field\n");
        return false;
    }
    message.SetSequenceNo(*ParseInt(*sequence));
    message.SetTime(static_cast<int>(std::strtol(time->c_str(), nullptr, 10)));
    message.SetSeverity(CMessage::SeverityStrToSeverityCode(*severity));
    message.SetMessage(*body);
    message.SetEventCode(static_cast<int>(std::strtol(code->c_str(), nullptr, 10)));
    return true;
}

bool CTestRunImp::AddRetrievedMessage(const CMessageImp& message) {
    if (message.GetSequenceNo() < 0) {
        return false;
    }
    if (messages_.empty() || message.GetSequenceNo() > messages_.back()->Imp().GetSequenceNo()) {
        messages_.push_back(std::make_unique<CMessage>(message));
    }
    return true;
}

int CTestRunImp::RetrieveTestMessages() {
    // Items left over from an earlier retrieval that gave up waiting belong
    // to no one now; they would be taken for this run's.
    while (VelkClientMessage* stale =
               VelkClientFindMessageWithTypeField(VELK_MSG_TYPE_DE_RETRIEVED_TEST_MESSAGE)) {
        VelkClientFreeMessage(VelkClientGetNextMessage(stale));
    }
    std::string command = "GET_TEST_MESSAGES:" + processId_;
    char message[kMessagesArea] = {};
    if (VelkClientCreateDiagnosticEngineCommand(command.c_str(), nullptr, message,
                                                sizeof message) != VELK_MSG_OK) {
        return 1;
    }
    GenStr reply;
    if (VelkClientSendTransactionStr(message, reply.Get(), kMessagesWaitMs, 0) != VELK_TRANS_OK) {
        VTRACE(VELK_TRACE_DLL, "RetrieveTestMessages:No response.\n");
        return 1;
    }
    if (BoundedField(reply.CStr(), "MSG/DATA", kItemFieldArea) == std::string(kUnknownProcess)) {
        VTRACE(VELK_TRACE_DLL, "Invalid Test Process ID - Test not found.\n");
        return CTestRun::UNKNOWN_PROCESS;
    }
    // The items follow the answer as messages of their own; only items are
    // taken, so that replies meant for other callers stay where they are.
    for (;;) {
        GenStr item;
        if (VelkClientWaitForMessageStr(item.Get(), kNextItemWaitMs,
                                        VELK_MSG_TYPE_DE_RETRIEVED_TEST_MESSAGE,
                                        0) != VELK_TRANS_OK) {
            VTRACE(VELK_TRACE_DLL, "RetrieveTestMessages:timed out\n");
            return 1;
        }
        VTRACE(VELK_TRACE_DLL, "RetrieveTestMessages:Received message %s\n", item.CStr());
        CMessageImp received;
        if (!GetMessageFromDEMessage(item.CStr(), received)) {
            VTRACE(VELK_TRACE_DLL, "RetrieveTestMessages:could not get log item from msg\n");
            return 1;
        }
        if (!AddRetrievedMessage(received)) {
            VTRACE(VELK_TRACE_DLL, "RetrieveTestMessages:got dummy last item\n");
            return 0;
        }
    }
}

int CTestRunImp::GetFirstMessage(CMessage** message) {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::TESTRUN_MESSAGES);
    *message = nullptr;
    if (messages_.empty() && !released_) {
        if (RequestTestMessages() != 0) {
            return 1;
        }
    }
    if (messages_.empty()) {
        return CTestRun::NOT_AVAILABLE;
    }
    cursor_ = 0;
    *message = messages_.front().get();
    return 0;
}

int CTestRunImp::GetNextMessage(CMessage** message) {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::TESTRUN_MESSAGES);
    *message = nullptr;
    if (messages_.empty()) {
        return 1;
    }
    if (cursor_ + 1 >= static_cast<int>(messages_.size())) {
        if (released_) {
            return CTestRun::NOT_AVAILABLE;
        }
        size_t before = messages_.size();
        if (RequestTestMessages() != 0) {
            return 1;
        }
        if (messages_.size() == before) {
            return CTestRun::NOT_AVAILABLE;
        }
    }
    ++cursor_;
    *message = messages_[static_cast<size_t>(cursor_)].get();
    return 0;
}

int CTestRunImp::SetPercentToTest(float percent) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", static_cast<double>(percent));
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::TESTRUN);
    if (percentToTest_->ApplyValue(text) != 0) {
        return 1;
    }
    CTestParameter::State state = CTestParameter::NOT_APPLIED;
    percentToTest_->GetState(state);
    switch (state) {
        case CTestParameter::VALID:
            return 0;
        case CTestParameter::VALUE_TOO_BIG:
        case CTestParameter::VALUE_TOO_SMALL:
        case CTestParameter::VALUE_BAD:
            return CTestRun::VALUE_REFUSED;
        default:
            return 1;
    }
}

int CTestRunImp::SetPercentToTest(int percent) {
    return SetPercentToTest(static_cast<float>(percent));
}

int CTestRunImp::GetPercentToTest(float& percent) const {
    if (!percentToTest_->HasValue()) {
        return 1;
    }
    const std::string& text = percentToTest_->ValueText();
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str()) {
        return 1;
    }
    percent = static_cast<float>(value);
    return 0;
}

int CTestRunImp::GetPercentToTest(int& percent) const {
    percent = 100;
    float value = 0;
    if (GetPercentToTest(value) != 0) {
        return 1;
    }
    percent = static_cast<int>(std::lround(value));
    return 0;
}

}  // namespace VELKCORE
