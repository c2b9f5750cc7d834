#include "CycleImp.h"

#include <algorithm>
#include <iostream>
#include <stdexcept>

#include "AutoMutex.h"
#include "Test.h"
#include "TestImp.h"
#include "TestRun.h"
#include "TestRunImp.h"
#include "tracing.h"

namespace VELKCORE {

namespace {

const std::string kWhileRunning = " cannot call while CCycle::RUNNING or CCycle::DEVICEINUSE ";

bool Active(CCycle::State state) {
    return state == CCycle::RUNNING || state == CCycle::DEVICEINUSE;
}

}  // namespace

CCycleImp::CCycleImp() : iface_(new CCycle(this)), ownsIface_(true) {}

CCycleImp::CCycleImp(CCycle* iface) : iface_(iface), ownsIface_(false) {}

CCycleImp::CCycleImp(const CCycleImp& other) : iface_(new CCycle(this)), ownsIface_(true) {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::CYCLE);
    maxTime_ = other.maxTime_;
    minTime_ = other.minTime_;
    currentIndex_ = other.currentIndex_;
    historyCursor_ = other.historyCursor_;
    currentStarted_ = other.currentStarted_;
    startTime_ = other.startTime_.load();
    startRequested_ = other.startRequested_;
    extending_ = other.extending_;
    extensionCounter_ = other.extensionCounter_;
    for (const auto& run : other.runs_) {
        runs_.push_back(std::make_unique<CTestRunImp>(*run));
        runs_.back()->SetCycle(this);
    }
    history_ = other.history_;
    state_ = other.state_.load();
    errorLimit_ = other.errorLimit_;
    errorCount_ = other.errorCount_.load();
    passes_ = other.passes_;
    scenarioPass_ = other.scenarioPass_;
    currentPass_ = other.currentPass_.load();
    testsPerPass_ = other.testsPerPass_;
}

CCycleImp::~CCycleImp() {
    runs_.clear();
    if (iface_ != nullptr) {
        CCycle* iface = iface_;
        iface_ = nullptr;
        iface->imp_ = nullptr;
        if (ownsIface_) {
            delete iface;
        }
    }
}

unsigned int CCycleImp::OwnRunCount() const {
    return static_cast<unsigned int>(std::count_if(
        runs_.begin(), runs_.end(), [](const auto& run) { return run->GetPassCount() == 0; }));
}

void CCycleImp::RequireNotRunning(const char* what) const {
    if (Active(state_)) {
        throw std::logic_error(std::string(what) + kWhileRunning);
    }
}

void CCycleImp::Start() {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::CYCLE);
    StartLocked();
}

void CCycleImp::StartLocked() {
    VTRACE(VELK_TRACE_DLL, "CCycleImp::Start()\n");
    if (runs_.empty()) {
        throw std::logic_error("CCycleImp::Start() called with no tests to run.");
    }
    RequireNotRunning("CCycleImp::Start()");
    if (maxTime_ <= minTime_) {
        throw std::logic_error("CCycleImp::Start() MinTime must be less then MaxTime");
    }
    currentIndex_ = 0;
    historyCursor_ = 0;
    startRequested_ = true;
    state_ = CCycle::IDLE;
    extending_ = false;
    extensionCounter_ = 0;
    currentStarted_ = 0;
    errorCount_ = 0;
    currentPass_ = 0;
    testsPerPass_ = 0;
    {
        CAutoMutex history(__FILE__, __LINE__, CAutoMutex::CYCLE_HISTORY);
        history_.clear();
    }
    RemoveExtraPasses();
    testsPerPass_ = OwnRunCount();
    if (passes_ > 1 && runs_.back()->GetPassCount() == 0) {
        for (unsigned int pass = 1; pass < passes_; ++pass) {
            AppendPass(pass);
        }
    }
}

void CCycleImp::RemoveExtraPasses() {
    std::erase_if(runs_, [](const auto& run) { return run->GetPassCount() != 0; });
    for (const auto& run : runs_) {
        if (run->HasProcess() && !run->Released()) {
            run->FreeProcess();
        }
        CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::TESTRUN);
        run->init();
    }
}

void CCycleImp::AppendPass(unsigned int pass) {
    unsigned int own = testsPerPass_ > 0 ? testsPerPass_ : OwnRunCount();
    std::vector<CTestRunImp*> originals;
    for (unsigned int i = 0; i < own && i < runs_.size(); ++i) {
        originals.push_back(runs_[i].get());
    }
    for (CTestRunImp* original : originals) {
        CTestRunImp* copy = AddTestRun(original, static_cast<unsigned int>(runs_.size()));
        copy->SetPassCount(pass);
    }
}

void CCycleImp::Stop() {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::CYCLE);
    StopLocked();
}

void CCycleImp::StopLocked() {
    VTRACE(VELK_TRACE_DLL, "CCycleImp::Stop()\n");
    if (Active(state_)) {
        for (const auto& run : runs_) {
            run->Stop();
        }
        state_ = CCycle::DISCONTINUED;
    }
    startRequested_ = false;
}

CCycle::State CCycleImp::StartNextTest() {
    const unsigned int first = currentIndex_;
    for (;;) {
        CTestRunImp* run = runs_[currentIndex_].get();
        int result = run->Start();
        if (result == CTestRun::OK) {
            CAutoMutex history(__FILE__, __LINE__, CAutoMutex::CYCLE_HISTORY);
            currentStarted_ = currentIndex_;
            history_.push_back(currentIndex_);
            currentPass_ = std::max(currentPass_.load(), run->GetPassCount());
            run->SetStartStatus(CTestRunImp::STARTED);
            return CCycle::RUNNING;
        }
        if (result != CTestRun::DEVICE_IN_USE) {
            return state_;
        }
        run->SetStartStatus(CTestRunImp::SKIPPED_BUSY);
        const unsigned int count = static_cast<unsigned int>(runs_.size());
        do {
            currentIndex_ = (currentIndex_ + 1) % count;
        } while (currentIndex_ != first &&
                 runs_[currentIndex_]->GetStartStatus() == CTestRunImp::STARTED);
        if (currentIndex_ == first) {
            return CCycle::DEVICEINUSE;
        }
    }
}

void CCycleImp::Update() {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::CYCLE);
    UpdateLocked();
}

void CCycleImp::UpdateLocked() {
    if (startRequested_) {
        startTime_ = time(nullptr);
        currentIndex_ = 0;
        if (!runs_.empty()) {
            state_ = StartNextTest();
        }
        startRequested_ = false;
    }
    if (state_ == CCycle::RUNNING) {
        TickRunning();
    } else if (state_ == CCycle::DEVICEINUSE) {
        if (GetMaxTimeRemaining() == 0) {
            StopLocked();
            state_ = CCycle::TIMEDOUT;
        } else {
            state_ = StartNextTest();
        }
    }
    updateNeeded_ = false;
}

void CCycleImp::TickRunning() {
    if (GetMaxTimeRemaining() == 0) {
        StopLocked();
        state_ = CCycle::TIMEDOUT;
        return;
    }
    CTestRunImp* run = runs_[currentIndex_].get();
    CTestRun::State runState = CTestRun::UNDEFINED;
    if (run->GetStateNoCycleUpdate(runState) != 0) {
        run->ForceExited();
        runState = CTestRun::EXITED;
    }
    // A run that has not been seen yet in the engine (no answer so far)
    // still counts as starting; one the engine no longer answers for ends
    // as EXITED through the run's own count of unanswered queries.
    if (runState != CTestRun::EXITED) {
        return;
    }
    if (run->EngineLost()) {
        StopLocked();
        state_ = CCycle::ERROR;
        return;
    }
    CTestRun::Result result = CTestRun::INVALIDRESULT;
    if (run->GetResult(result) != 0) {
        // A result that cannot be read is no pass.
        run->SetSavedResult(CTestRun::INVALIDRESULT);
        result = CTestRun::INVALIDRESULT;
    }
    if (result != CTestRun::PASS && result != CTestRun::DISCONTINUED) {
        ++errorCount_;
    }
    if (errorCount_ >= errorLimit_) {
        StopLocked();
        state_ = CCycle::ERRORLIMIT;
        return;
    }
    ++currentIndex_;
    const unsigned int count = static_cast<unsigned int>(runs_.size());
    const unsigned int perPass = std::max(1u, testsPerPass_);
    if (!extending_) {
        // Runs that already ran (after a skip) are not counted again.
        while (currentIndex_ < count &&
               runs_[currentIndex_]->GetStartStatus() == CTestRunImp::STARTED) {
            ++currentIndex_;
        }
        if (currentIndex_ < count) {
            state_ = StartNextTest();
            return;
        }
        for (unsigned int i = 0; i < count; ++i) {
            if (runs_[i]->GetStartStatus() == CTestRunImp::SKIPPED_BUSY) {
                currentIndex_ = i;
                state_ = StartNextTest();
                return;
            }
        }
        if (GetMinTimeRemaining() <= 1) {
            state_ = CCycle::EXITED;
            return;
        }
        extending_ = true;
    } else {
        if (GetMinTimeRemaining() <= 1 && currentIndex_ % perPass == 0) {
            state_ = CCycle::EXITED;
            extending_ = false;
            extensionCounter_ = 0;
            return;
        }
        if (++extensionCounter_ < perPass) {
            state_ = StartNextTest();
            return;
        }
    }
    try {
        AppendPass(currentPass_ + 1);
    } catch (const std::logic_error& error) {
        std::cout << error.what() << std::endl;
    }
    extensionCounter_ = 0;
    if (currentIndex_ < runs_.size()) {
        state_ = StartNextTest();
    }
}

CTestRun* CCycleImp::AddTest(const CTestImp* test, unsigned int order) {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::CYCLE);
    if (test == nullptr) {
        throw std::invalid_argument(
            "CCycleImp::AddTest(const CTest& test,size_t iOrder) index out of range.");
    }
    auto run = std::make_unique<CTestRunImp>(test);
    run->SetCycle(this);
    CTestRunImp* added = run.get();
    if (order < runs_.size()) {
        runs_.insert(runs_.begin() + order, std::move(run));
    } else {
        runs_.push_back(std::move(run));
    }
    return added->Interface();
}

CTestRunImp* CCycleImp::AddTestRun(const CTestRunImp* run, unsigned int order) {
    if (run == nullptr) {
        throw std::invalid_argument(
            "CCycleImp::AddTestRun(const CTest& test,size_t iOrder) index out of range.");
    }
    auto copy = std::make_unique<CTestRunImp>(*run);
    copy->SetCycle(this);
    CTestRunImp* added = copy.get();
    if (order < runs_.size()) {
        runs_.insert(runs_.begin() + order, std::move(copy));
    } else {
        runs_.push_back(std::move(copy));
    }
    return added;
}

void CCycleImp::RemoveTest(unsigned int index) {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::CYCLE);
    if (index >= runs_.size()) {
        throw std::out_of_range("CCycleImp::RemoveTest(size_t index) index out of range.");
    }
    RequireNotRunning("CCycleImp::RemoveTest(size_t index)");
    runs_.erase(runs_.begin() + index);
}

CTestRun* CCycleImp::AddRunningTest(const CTestImp* test, const std::string& processId) {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::CYCLE);
    if (test == nullptr) {
        throw std::invalid_argument(
            "CCycleImp::AddTest(const CTest& test,size_t iOrder) index out of range.");
    }
    if (minTime_ >= maxTime_) {
        throw std::logic_error("CCycleImp::Start() MinTime must be less then MaxTime");
    }
    // Copies made for earlier passes go; the adopted run is one of the
    // cycle's own (pass 0), and the own runs keep what they hold.
    std::erase_if(runs_, [](const auto& each) { return each->GetPassCount() != 0; });
    auto run = std::make_unique<CTestRunImp>(test);
    run->MakeRunning(processId);
    run->SetCycle(this);
    runs_.push_back(std::move(run));
    const unsigned int index = static_cast<unsigned int>(runs_.size() - 1);
    currentIndex_ = index;
    {
        CAutoMutex history(__FILE__, __LINE__, CAutoMutex::CYCLE_HISTORY);
        currentStarted_ = index;
        history_.push_back(index);
    }
    startTime_ = time(nullptr);
    state_ = CCycle::RUNNING;
    extending_ = false;
    extensionCounter_ = 0;
    errorCount_ = 0;
    currentPass_ = 0;
    testsPerPass_ = OwnRunCount();
    return runs_[index]->Interface();
}

unsigned int CCycleImp::GetTestRunArraySize() const {
    return OwnRunCount();
}

CTestRun* CCycleImp::Element(unsigned int index, unsigned int pass) const {
    CAutoMutex history(__FILE__, __LINE__, CAutoMutex::CYCLE_HISTORY);
    const unsigned int current = currentPass_;
    const unsigned int divisor = current < passes_ ? passes_ : current + 1;
    const size_t position =
        index + static_cast<size_t>(runs_.size() / std::max(1u, divisor)) * pass;
    if (position >= runs_.size()) {
        throw std::out_of_range("CCycle::GetTestRunArrayElement(size_t index) index out of range.");
    }
    return runs_[position]->Interface();
}

CTestRun* CCycleImp::GetTestRunArrayElement(unsigned int index, unsigned int pass) const {
    return Element(index, pass);
}

CTestRun* CCycleImp::GetFirstTestRun() const {
    CAutoMutex history(__FILE__, __LINE__, CAutoMutex::CYCLE_HISTORY);
    historyCursor_ = 0;
    if (history_.empty()) {
        return nullptr;
    }
    return runs_[history_[0]]->Interface();
}

CTestRun* CCycleImp::GetNextTestRun() const {
    CAutoMutex history(__FILE__, __LINE__, CAutoMutex::CYCLE_HISTORY);
    if (historyCursor_ + 1 >= history_.size()) {
        return nullptr;
    }
    ++historyCursor_;
    return runs_[history_[historyCursor_]]->Interface();
}

CTestRun* CCycleImp::GetCurrentTest() const {
    CCycle::State state = state_;
    if (state == CCycle::IDLE || state == CCycle::ERROR || state > CCycle::DISCONTINUED ||
        runs_.empty()) {
        return nullptr;
    }
    CAutoMutex history(__FILE__, __LINE__, CAutoMutex::CYCLE_HISTORY);
    if (currentStarted_ >= runs_.size()) {
        return nullptr;
    }
    return runs_[currentStarted_]->Interface();
}

void CCycleImp::SetPasses(unsigned int passes) {
    RequireNotRunning("CCycleImp::SetPasses(size_t uPasses)");
    passes_ = passes;
}

void CCycleImp::SetErrorLimit(unsigned int limit) {
    RequireNotRunning("CCycleImp::SetErrorLimit(size_t uErrorLimit)");
    errorLimit_ = limit;
}

void CCycleImp::SetMaxTime(long seconds) {
    RequireNotRunning("CCycle::SetMaxTime(time_t tTimeSeconds)");
    if (seconds <= 0) {
        throw std::invalid_argument(
            "CCycle::SetMaxTime(time_t tTimeSeconds) tTimeSeconds must be > 0.");
    }
    maxTime_ = seconds;
}

void CCycleImp::SetMinTime(long seconds) {
    RequireNotRunning("CCycle::SetMinTime(time_t tTimeSeconds)");
    minTime_ = seconds;
}

void CCycleImp::SetPassCount(unsigned int pass) {
    RequireNotRunning("CCycleImp::SetPasses(size_t uPasses)");
    scenarioPass_ = pass;
}

long CCycleImp::GetElapsedTime() const {
    return static_cast<long>(time(nullptr) - startTime_);
}

long CCycleImp::GetMaxTimeRemaining() const {
    if (startTime_ == 0 || !Active(state_)) {
        return maxTime_;
    }
    return std::max(0L, maxTime_ - static_cast<long>(time(nullptr) - startTime_));
}

long CCycleImp::GetMinTimeRemaining() const {
    if (startTime_ == 0 || !Active(state_)) {
        return minTime_;
    }
    return std::max(0L, minTime_ - static_cast<long>(time(nullptr) - startTime_));
}

bool CCycleImp::UsesDevice(const CDeviceImp* device) const {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::CYCLE);
    return std::any_of(runs_.begin(), runs_.end(),
                       [device](const auto& run) { return run->Device() == device; });
}

void CCycleImp::CheckAndDoUpdateAndLockMutex() const {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::CYCLE);
    if (updateNeeded_) {
        const_cast<CCycleImp*>(this)->UpdateLocked();
    }
    lock.NoUnlock();
}

}  // namespace VELKCORE
