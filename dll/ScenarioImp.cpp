#include "ScenarioImp.h"

#include <stdexcept>

#include "AutoMutex.h"
#include "CycleImp.h"
#include "TestImp.h"
#include "tracing.h"

namespace VELKCORE {

CScenarioImp::CScenarioImp() : iface_(new CScenario(this)), ownsIface_(true) {}

CScenarioImp::CScenarioImp(CScenario* iface) : iface_(iface), ownsIface_(false) {}

CScenarioImp::~CScenarioImp() {
    cycles_.clear();
    if (iface_ != nullptr) {
        CScenario* iface = iface_;
        iface_ = nullptr;
        iface->imp_ = nullptr;
        if (ownsIface_) {
            delete iface;
        }
    }
}

CCycle* CScenarioImp::AddCycle(unsigned int* index) {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::SCENARIO);
    if (state_ == CScenario::RUNNING || state_ == CScenario::DEVICEBUSY) {
        throw std::logic_error(
            "CScenarioImp::AddCycle(const CCycle& test,size_t iOrder) cannot call while "
            "CScenario::RUNNING or CScenario::DEVICEBUSY ");
    }
    auto cycle = std::make_unique<CCycleImp>();
    cycle->SetPassCount(0);
    cycles_.push_back(std::move(cycle));
    if (index != nullptr) {
        *index = static_cast<unsigned int>(cycles_.size() - 1);
    }
    return cycles_.back()->Interface();
}

bool CScenarioImp::UsesDevice(const CDeviceImp* device) const {
    for (const auto& cycle : cycles_) {
        for (const CCycleImp::CAdoptedRun& run : cycle->AdoptedRuns()) {
            if (run.test != nullptr && run.test->Device() == device) {
                return true;
            }
        }
    }
    return false;
}

unsigned int CScenarioImp::GetCycleArraySize() const {
    unsigned int count = 0;
    for (const auto& cycle : cycles_) {
        if (cycle->GetPassCount() == 0) {
            ++count;
        }
    }
    return count;
}

void CScenarioImp::MakeRunning(bool threaded, long updatePeriodMs) {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::SCENARIO);
    VTRACE(VELK_TRACE_DLL, "CScenario::Start()\n");
    VTRACE(VELK_TRACE_DLL, "CScenarioImp::Start()\n");
    if (cycles_.empty()) {
        throw std::logic_error("CScenarioImp::Start() called with no tests to run.");
    }
    if (state_ == CScenario::RUNNING) {
        throw std::logic_error(
            "CScenarioImp::Start() cannot call while CScenario::RUNNING or "
            "CScenario::DEVICEBUSY ");
    }
    if (threaded && updatePeriodMs < 100) {
        throw std::invalid_argument(
            "CScenarioImp::Start() tTimeToUpdateMS must be greater then 100 ms ");
    }
    if (maxTime_ <= minTime_) {
        throw std::logic_error("CScenarioImp::Start() MinTime must be less then MaxTime");
    }
    threaded_ = threaded;
    updatePeriodUs_ = updatePeriodMs * 1000;
    startTime_ = time(nullptr);
    state_ = CScenario::RUNNING;
    errorCount_ = 0;
    currentPass_ = 0;
    std::erase_if(cycles_, [this](const std::unique_ptr<CCycleImp>& cycle) {
        return cycle->GetPassCount() >= passes_;
    });
}

}  // namespace VELKCORE
