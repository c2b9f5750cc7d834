#include "ScenarioImp.h"

#include <algorithm>
#include <chrono>
#include <iostream>
#include <stdexcept>

#include "AutoMutex.h"
#include "Cycle.h"
#include "CycleImp.h"
#include "tracing.h"

namespace VELKCORE {

namespace {

const std::string kWhileRunning = " cannot call while CCycle::RUNNING or CCycle::DEVICEINUSE ";

bool Active(CScenario::State state) {
    return state == CScenario::RUNNING || state == CScenario::DEVICEBUSY;
}

bool Final(CScenario::State state) {
    return state == CScenario::TIMEDOUT || state == CScenario::EXITED ||
           state == CScenario::ERROR || state == CScenario::DISCONTINUED ||
           state == CScenario::ERRORLIMIT;
}

}  // namespace

CScenarioImp::CScenarioImp() : iface_(new CScenario(this)), ownsIface_(true) {}

CScenarioImp::CScenarioImp(CScenario* iface) : iface_(iface), ownsIface_(false) {}

CScenarioImp::~CScenarioImp() {
    StopUpdateThread(false);
    if (thread_.joinable()) {
        thread_.join();
    }
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

void CScenarioImp::RequireNotRunning(const char* what) const {
    if (Active(state_)) {
        throw std::logic_error(std::string(what) + kWhileRunning);
    }
}

void CScenarioImp::CheckStart(bool threaded, long updatePeriodMs) const {
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
}

void CScenarioImp::DropCyclesFromPass(unsigned int pass) {
    std::erase_if(cycles_, [pass](const auto& cycle) { return cycle->GetPassCount() >= pass; });
}

void CScenarioImp::AppendPass(unsigned int pass, bool start) {
    std::vector<CCycleImp*> own;
    for (const auto& cycle : cycles_) {
        if (cycle->GetPassCount() == 0) {
            own.push_back(cycle.get());
        }
    }
    for (CCycleImp* original : own) {
        auto copy = std::make_unique<CCycleImp>(*original);
        copy->SetPassCount(pass);
        CCycleImp* added = copy.get();
        cycles_.push_back(std::move(copy));
        if (start) {
            added->Start();
        }
    }
}

void CScenarioImp::Start(bool threaded, long updatePeriodMs) {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::SCENARIO);
    CheckStart(threaded, updatePeriodMs);
    // A thread that ended itself after the last run is collected first.
    StopUpdateThread(true);
    threaded_ = threaded;
    updatePeriodUs_ = updatePeriodMs * 1000;
    startRequested_ = true;
    state_ = CScenario::IDLE;
    errorCount_ = 0;
    currentPass_ = 0;
    DropCyclesFromPass(passes_);
    if (passes_ > 1 && cycles_.back()->GetPassCount() == 0) {
        for (unsigned int pass = 1; pass < passes_; ++pass) {
            AppendPass(pass, false);
        }
    }
    UpdateLocked();
    if (threaded_ && !Final(state_)) {
        StartUpdateThread();
    }
}

void CScenarioImp::MakeRunning(bool threaded, long updatePeriodMs) {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::SCENARIO);
    VTRACE(VELK_TRACE_DLL, "CScenario::Start()\n");
    CheckStart(threaded, updatePeriodMs);
    StopUpdateThread(true);
    threaded_ = threaded;
    updatePeriodUs_ = updatePeriodMs * 1000;
    startTime_ = time(nullptr);
    state_ = CScenario::RUNNING;
    errorCount_ = 0;
    currentPass_ = 0;
    DropCyclesFromPass(passes_);
    UpdateLocked();
    if (threaded_ && !Final(state_)) {
        StartUpdateThread();
    }
}

void CScenarioImp::StartPass(unsigned int pass) {
    for (const auto& cycle : cycles_) {
        if (cycle->GetPassCount() == pass) {
            cycle->Start();
        }
    }
}

void CScenarioImp::Update() {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::SCENARIO);
    UpdateLocked();
}

void CScenarioImp::UpdateLocked() {
    if (startRequested_) {
        startTime_ = time(nullptr);
        if (!cycles_.empty()) {
            state_ = CScenario::RUNNING;
            StartPass(0);
        }
        startRequested_ = false;
    }
    if (Active(state_)) {
        const unsigned int pass = currentPass_;
        for (const auto& cycle : cycles_) {
            if (cycle->GetPassCount() == pass) {
                cycle->Update();
            }
        }
        if (GetMaxTimeRemaining() == 0) {
            StopLocked();
            state_ = CScenario::TIMEDOUT;
            return;
        }
        unsigned int errors = 0;
        bool running = false;
        bool busy = false;
        bool lost = false;
        for (const auto& cycle : cycles_) {
            if (cycle->GetPassCount() != pass) {
                continue;
            }
            errors += cycle->GetErrorCount();
            running = running || cycle->GetState() == CCycle::RUNNING;
            busy = busy || cycle->GetState() == CCycle::DEVICEINUSE;
            lost = lost || cycle->GetState() == CCycle::ERROR;
        }
        errorCount_ = errors;
        if (lost) {
            // A cycle whose engine stopped answering ends the scenario: the
            // other cycles cannot be trusted to finish either.
            StopLocked();
            state_ = CScenario::ERROR;
            return;
        }
        if (errorCount_ >= errorLimit_) {
            StopLocked();
            state_ = CScenario::ERRORLIMIT;
            return;
        }
        if (running) {
            state_ = CScenario::RUNNING;
            return;
        }
        if (busy) {
            state_ = CScenario::DEVICEBUSY;
            return;
        }
        if (passes_ > 0 && currentPass_ < passes_ - 1) {
            ++currentPass_;
            state_ = CScenario::RUNNING;
            StartPass(currentPass_);
            return;
        }
        if (GetMinTimeRemaining() > 2) {
            ++currentPass_;
            AppendPass(currentPass_, true);
            state_ = CScenario::RUNNING;
            return;
        }
        state_ = CScenario::EXITED;
        StopUpdateThread(true);
    } else if (Final(state_)) {
        StopUpdateThread(true);
    }
}

void CScenarioImp::Stop() {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::SCENARIO);
    StopLocked();
}

void CScenarioImp::StopLocked() {
    VTRACE(VELK_TRACE_DLL, "CScenarioImp::Stop()\n");
    StopUpdateThread(true);
    if (Active(state_)) {
        for (const auto& cycle : cycles_) {
            cycle->Stop();
        }
    }
    state_ = CScenario::DISCONTINUED;
    startRequested_ = false;
}

void CScenarioImp::StartUpdateThread() {
    if (!threaded_) {
        return;
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    threadRunning_ = true;
    try {
        thread_ = std::thread([this] { UpdateThreadWorker(); });
    } catch (const std::system_error&) {
        threadRunning_ = false;
        throw std::logic_error(
            "CScenarioImp::StartUpdateThreadWorker() pthread_create() returned invalid value");
    }
}

void CScenarioImp::StopUpdateThread(bool callerHoldsLock) {
    if (!threadRunning_.exchange(false) && !thread_.joinable()) {
        return;
    }
    {
        std::lock_guard<std::mutex> guard(sleepMutex_);
        sleepWake_.notify_all();
    }
    if (!thread_.joinable() || thread_.get_id() == std::this_thread::get_id()) {
        return;
    }
    if (callerHoldsLock) {
        pthread_mutex_unlock(&CAutoMutex::_tMutex[CAutoMutex::SCENARIO]);
    }
    thread_.join();
    if (callerHoldsLock) {
        pthread_mutex_lock(&CAutoMutex::_tMutex[CAutoMutex::SCENARIO]);
    }
}

void CScenarioImp::UpdateThreadWorker() {
    const auto period = std::chrono::microseconds(updatePeriodUs_);
    while (threadRunning_) {
        try {
            Update();
        } catch (const std::exception& error) {
            std::cout << error.what() << std::endl;
            std::cout
                << "Exception in CScenarioImp::UpdateThread(void* arg) ERROR - Thread Exiting "
                << std::endl;
            threadRunning_ = false;
            return;
        }
        std::unique_lock<std::mutex> guard(sleepMutex_);
        sleepWake_.wait_for(guard, period, [this] { return !threadRunning_; });
    }
}

CCycle* CScenarioImp::AddCycle(unsigned int* index) {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::SCENARIO);
    if (Active(state_)) {
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

void CScenarioImp::RemoveCycle(unsigned int index) {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::SCENARIO);
    if (index >= cycles_.size()) {
        std::cout << "std::out_of_range(\"CScenarioImp::RemoveCycle(size_t index) index out of "
                     "range.\")"
                  << std::endl;
        return;
    }
    if (Active(state_)) {
        std::cout << "std::logic_error(\"CScenarioImp::RemoveCycle(size_t index) cannot call "
                     "while CScenario::RUNNING or CScenario::DEVICEBUSY \");"
                  << std::endl;
    }
    cycles_[index]->Stop();
    cycles_.erase(cycles_.begin() + index);
}

unsigned int CScenarioImp::GetCycleArraySize() const {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::SCENARIO);
    return static_cast<unsigned int>(
        std::count_if(cycles_.begin(), cycles_.end(),
                      [](const auto& cycle) { return cycle->GetPassCount() == 0; }));
}

CCycle* CScenarioImp::GetCycleArrayElement(unsigned int index, unsigned int pass) const {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::SCENARIO);
    const unsigned int current = currentPass_;
    const unsigned int divisor = current < passes_ ? passes_ : current + 1;
    const size_t position =
        index + static_cast<size_t>(cycles_.size() / std::max(1u, divisor)) * pass;
    if (position >= cycles_.size()) {
        throw std::out_of_range(
            "CScenario::GetCycleArrayElement(size_t index) index out of range.");
    }
    return cycles_[position]->Interface();
}

bool CScenarioImp::UsesDevice(const CDeviceImp* device) const {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::SCENARIO);
    return std::any_of(cycles_.begin(), cycles_.end(),
                       [device](const auto& cycle) { return cycle->UsesDevice(device); });
}

void CScenarioImp::SetPasses(unsigned int passes) {
    RequireNotRunning("CScenarioImp::SetPasses(size_t uPasses)");
    passes_ = passes;
}

void CScenarioImp::SetErrorLimit(unsigned int limit) {
    RequireNotRunning("CScenarioImp::SetErrorLimit(size_t uErrorLimit)");
    errorLimit_ = limit;
}

void CScenarioImp::SetMaxTime(long seconds) {
    if (Active(state_)) {
        throw std::logic_error(
            "CScenario::SetMaxTime(time_t tTimeSeconds) cannot call while CScenario::RUNNING or "
            "CScenario::DEVICEBUSY ");
    }
    if (seconds <= 0) {
        throw std::invalid_argument(
            "CScenario::SetMaxTime(time_t tTimeSeconds) tTimeSeconds must be > 0.");
    }
    maxTime_ = seconds;
}

void CScenarioImp::SetMinTime(long seconds) {
    RequireNotRunning("CScenarioImp::SetMinTime(time_t tTimeSeconds)");
    minTime_ = seconds;
}

long CScenarioImp::GetElapsedTime() const {
    return static_cast<long>(time(nullptr) - startTime_);
}

long CScenarioImp::GetMaxTimeRemaining() const {
    if (startTime_ == 0 || !Active(state_)) {
        return maxTime_;
    }
    return std::max(0L, maxTime_ - static_cast<long>(time(nullptr) - startTime_));
}

long CScenarioImp::GetMinTimeRemaining() const {
    if (startTime_ == 0 || !Active(state_)) {
        return minTime_;
    }
    return std::max(0L, minTime_ - static_cast<long>(time(nullptr) - startTime_));
}

}  // namespace VELKCORE
