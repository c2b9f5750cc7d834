#include "Scenario.h"

#include <iostream>

#include "AutoMutex.h"
#include "ScenarioImp.h"
#include "tracing.h"

namespace VELKCORE {

CScenario::CScenario() : imp_(nullptr), ownsImp_(true) {
    VTRACE(VELK_TRACE_DLL, "CScenario::CScenario()\n");
    imp_ = new CScenarioImp(this);
}

CScenario::CScenario(CScenarioImp* imp) : imp_(imp), ownsImp_(false) {}

CScenario::~CScenario() {
    if (imp_ != nullptr) {
        CScenarioImp* imp = imp_;
        imp_ = nullptr;
        imp->iface_ = nullptr;
        if (ownsImp_) {
            delete imp;
        }
    }
}

void CScenario::Start(bool threaded, long updatePeriodMs) {
    VTRACE(VELK_TRACE_DLL, "CScenario::Start()\n");
    imp_->Start(threaded, updatePeriodMs);
}

void CScenario::Stop() {
    imp_->Stop();
}

void CScenario::Update() {
    try {
        imp_->Update();
    } catch (const std::exception& error) {
        std::cout << error.what() << std::endl;
        throw;
    }
}

CScenario::State CScenario::GetState() const {
    return imp_->GetState();
}

CCycle* CScenario::AddCycle(unsigned int* index) {
    return imp_->AddCycle(index);
}

void CScenario::RemoveCycle(unsigned int index) {
    imp_->RemoveCycle(index);
}

unsigned int CScenario::GetCycleArraySize() const {
    return imp_->GetCycleArraySize();
}

CCycle* CScenario::GetCycleArrayElement(unsigned int index, unsigned int pass) const {
    return imp_->GetCycleArrayElement(index, pass);
}

void CScenario::SetPasses(unsigned int passes) {
    imp_->SetPasses(passes);
}

unsigned int CScenario::GetPasses() const {
    return imp_->GetPasses();
}

unsigned int CScenario::GetCurrentPassCount() const {
    return imp_->GetCurrentPassCount();
}

void CScenario::SetErrorLimit(unsigned int limit) {
    imp_->SetErrorLimit(limit);
}

unsigned int CScenario::GetErrorLimit() const {
    return imp_->GetErrorLimit();
}

unsigned int CScenario::GetErrorCount() const {
    return imp_->GetErrorCount();
}

void CScenario::SetMaxTime(long seconds) {
    imp_->SetMaxTime(seconds);
}

long CScenario::GetMaxTime() const {
    return imp_->GetMaxTime();
}

void CScenario::SetMinTime(long seconds) {
    imp_->SetMinTime(seconds);
}

long CScenario::GetMinTime() const {
    return imp_->GetMinTime();
}

long CScenario::GetElapsedTime() const {
    return imp_->GetElapsedTime();
}

std::string CScenario::ScenarioStateToString(State state) {
    switch (state) {
        case IDLE:
            return "IDLE";
        case RUNNING:
            return "RUNNING";
        case DEVICEBUSY:
            return "DEVICEINUSE";
        case TIMEDOUT:
            return "TIMEDOUT";
        case EXITED:
            return "EXITED";
        case ERROR:
            return "ERROR";
        case DISCONTINUED:
            return "DISCONTINUED";
        case ERRORLIMIT:
            return "ERRORLIMIT";
        default:
            return "UNDEFINED";
    }
}

std::ostream& operator<<(std::ostream& os, CScenario::State& state) {
    return os << CScenario::ScenarioStateToString(state);
}

std::ostream& operator<<(std::ostream& os, const CScenario&) {
    return os;
}

std::ostream& operator<<(std::ostream& os, const CScenarioImp&) {
    return os;
}

}  // namespace VELKCORE
