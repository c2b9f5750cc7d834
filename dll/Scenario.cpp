#include "Scenario.h"

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

CScenario::State CScenario::GetState() const {
    return imp_->GetState();
}

CCycle* CScenario::AddCycle(unsigned int* index) {
    return imp_->AddCycle(index);
}

unsigned int CScenario::GetCycleArraySize() const {
    return imp_->GetCycleArraySize();
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

}  // namespace VELKCORE
