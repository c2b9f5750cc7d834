#include "Cycle.h"

#include "CycleImp.h"
#include "tracing.h"

namespace VELKCORE {

CCycle::CCycle() : imp_(nullptr), ownsImp_(true) {
    VTRACE(VELK_TRACE_DLL, "CCycle::CCycle()\n");
    imp_ = new CCycleImp(this);
}

CCycle::CCycle(CCycleImp* imp) : imp_(imp), ownsImp_(false) {}

CCycle::~CCycle() {
    if (imp_ != nullptr) {
        CCycleImp* imp = imp_;
        imp_ = nullptr;
        imp->iface_ = nullptr;
        if (ownsImp_) {
            delete imp;
        }
    }
}

CCycle::State CCycle::GetState() const {
    VTRACE(VELK_TRACE_DLL, "CCycle::GetState()\n");
    return imp_->GetState();
}

std::string CCycle::CycleStateToString(State state) {
    switch (state) {
        case IDLE:
            return "IDLE";
        case RUNNING:
            return "RUNNING";
        case DEVICEINUSE:
            return "DEVICEINUSE";
        case TIMEDOUT:
            return "TIMEDOUT";
        case EXITED:
            return "EXITED";
        case ERRORLIMIT:
            return "ERRORLIMIT";
        case ERROR:
            return "ERROR";
        case DISCONTINUED:
            return "DISCONTINUED";
        default:
            return "UNDEFINED";
    }
}

std::ostream& operator<<(std::ostream& os, CCycle::State& state) {
    return os << CCycle::CycleStateToString(state);
}

}  // namespace VELKCORE
