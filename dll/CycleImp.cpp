#include "CycleImp.h"

#include <stdexcept>

#include "AutoMutex.h"

namespace VELKCORE {

CCycleImp::CCycleImp() : iface_(new CCycle(this)), ownsIface_(true) {}

CCycleImp::CCycleImp(CCycle* iface) : iface_(iface), ownsIface_(false) {}

CCycleImp::~CCycleImp() {
    if (iface_ != nullptr) {
        CCycle* iface = iface_;
        iface_ = nullptr;
        iface->imp_ = nullptr;
        if (ownsIface_) {
            delete iface;
        }
    }
}

void CCycleImp::AddRunningTest(const CTestImp* test, const std::string& processId) {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::CYCLE);
    if (test == nullptr) {
        throw std::invalid_argument(
            "CCycleImp::AddTest(const CTest& test,size_t iOrder) index out of range.");
    }
    if (minTime_ >= maxTime_) {
        throw std::logic_error("CCycleImp::Start() MinTime must be less then MaxTime");
    }
    adoptedRuns_.push_back(CAdoptedRun{test, processId});
    startTime_ = time(nullptr);
    state_ = CCycle::RUNNING;
}

}  // namespace VELKCORE
