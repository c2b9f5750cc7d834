#include "TestRun.h"

#include "Message.h"
#include "Test.h"
#include "TestImp.h"
#include "TestParamImp.h"
#include "TestParameter.h"
#include "TestRunImp.h"
#include "tracing.h"

namespace VELKCORE {

CTestRun::CTestRun(const CTest* test) : imp_(nullptr), ownsImp_(true) {
    imp_ = new CTestRunImp(this, test != nullptr ? test->Imp() : nullptr);
}

CTestRun::CTestRun(CTestRunImp* imp) : imp_(imp), ownsImp_(false) {}

CTestRun::~CTestRun() {
    if (imp_ != nullptr) {
        CTestRunImp* imp = imp_;
        imp_ = nullptr;
        imp->iface_ = nullptr;
        if (ownsImp_) {
            delete imp;
        }
    }
}

int CTestRun::Stop() {
    VTRACE(VELK_TRACE_DLL, "CTestRun::Stop()\n");
    return imp_->Stop();
}

int CTestRun::GetState(State& state) const {
    VTRACE(VELK_TRACE_DLL, "CTestRun::GetState()\n");
    return imp_->GetState(state);
}

int CTestRun::GetPercentComplete(int& percent) const {
    return imp_->GetPercentComplete(percent);
}

int CTestRun::GetResult(Result& result) const {
    return imp_->GetResult(result);
}

int CTestRun::GetProgressInformation(std::string& text) const {
    return imp_->GetProgressInformation(text);
}

int CTestRun::GetProcessID(std::string& id) const {
    id = imp_->ProcessId();
    return OK;
}

int CTestRun::GetPassCount(unsigned int& pass) const {
    pass = imp_->GetPassCount();
    return OK;
}

int CTestRun::GetTest(const CTest** test) const {
    *test = imp_->Test() != nullptr ? imp_->Test()->Interface() : nullptr;
    return OK;
}

int CTestRun::GetFirstMessage(CMessage** message) const {
    return imp_->GetFirstMessage(message);
}

int CTestRun::GetNextMessage(CMessage** message) const {
    return imp_->GetNextMessage(message);
}

int CTestRun::GetParameterArraySize(unsigned int& size) const {
    size = static_cast<unsigned int>(imp_->Parameters().size());
    return OK;
}

int CTestRun::GetParameterArrayElement(unsigned int index, CTestParameter** parameter) const {
    if (index >= imp_->Parameters().size()) {
        *parameter = nullptr;
        return FAILURE;
    }
    *parameter = imp_->Parameters()[index]->Interface();
    return OK;
}

int CTestRun::SetPercentToTest(float percent) {
    return imp_->SetPercentToTest(percent);
}

int CTestRun::SetPercentToTest(int percent) {
    return imp_->SetPercentToTest(percent);
}

int CTestRun::GetPercentToTest(float& percent) const {
    return imp_->GetPercentToTest(percent);
}

int CTestRun::GetPercentToTest(int& percent) const {
    return imp_->GetPercentToTest(percent);
}

std::string CTestRun::TestResultToString(Result result) {
    switch (result) {
        case PASS:
            return "PASS";
        case SETUPERROR:
            return "SETUP ERROR";
        case FAILED:
            return "FAILED";
        case DEVICEBUSY:
            return "DEVICE BUSY";
        case INSUFFICIENTPRIVELEGE:
            return "INSUFFICIENT PRIVILEGE";
        case NOTAPPLICABLE:
            return "NOT APPLICABLE";
        case BADPARAMS:
            return "BAD PARAMETERS";
        case NOMEDIA:
            return "NO MEDIA";
        case DISCONTINUED:
            return "DISCONTINUED";
        case NODEVICE:
            return "NO DEVICE";
        case TIMEDOUT:
            return "TIMEDOUT";
        case EXITEDABNORMALLY:
            return "EXITED ABNORMALLY";
        default:
            return "INVALID";
    }
}

std::string CTestRun::TestStateToString(State state) {
    switch (state) {
        case INITIALIZING:
            return "INITIALIZING";
        case RUNNING:
            return "RUNNING";
        case EXITED:
            return "EXITED";
        default:
            return "UNDEFINED";
    }
}

}  // namespace VELKCORE
