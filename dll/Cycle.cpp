#include "Cycle.h"

#include "AutoMutex.h"
#include "CycleImp.h"
#include "Test.h"
#include "tracing.h"

namespace VELKCORE {

namespace {

// A read of the cycle: a pending tick first, then the value, with the cycle
// lock held throughout.
template <typename Read>
auto ReadAfterUpdate(const CCycleImp* imp, Read read) {
    imp->CheckAndDoUpdateAndLockMutex();
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::CYCLE, true);
    return read();
}

}  // namespace

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

void CCycle::Start() {
    VTRACE(VELK_TRACE_DLL, "CCycle::Start()\n");
    imp_->Start();
}

void CCycle::Stop() {
    VTRACE(VELK_TRACE_DLL, "CCycle::Stop()\n");
    imp_->Stop();
}

void CCycle::Update() {
    imp_->Update();
}

CCycle::State CCycle::GetState() const {
    VTRACE(VELK_TRACE_DLL, "CCycle::GetState()\n");
    return ReadAfterUpdate(imp_, [this] { return imp_->GetState(); });
}

CTestRun* CCycle::AddTest(const CTest* test, unsigned int order) {
    return imp_->AddTest(test != nullptr ? test->Imp() : nullptr, order);
}

void CCycle::RemoveTest(unsigned int index) {
    imp_->RemoveTest(index);
}

unsigned int CCycle::GetTestRunArraySize() const {
    return ReadAfterUpdate(imp_, [this] { return imp_->GetTestRunArraySize(); });
}

CTestRun* CCycle::GetTestRunArrayElement(unsigned int index, unsigned int pass) const {
    return ReadAfterUpdate(imp_, [&] { return imp_->GetTestRunArrayElement(index, pass); });
}

CTestRun* CCycle::GetFirstTestRun() const {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::CYCLE);
    return imp_->GetFirstTestRun();
}

CTestRun* CCycle::GetNextTestRun() const {
    return ReadAfterUpdate(imp_, [this] { return imp_->GetNextTestRun(); });
}

CTestRun* CCycle::GetCurrentTest() const {
    return ReadAfterUpdate(imp_, [this] { return imp_->GetCurrentTest(); });
}

unsigned int CCycle::GetCurrentPassCount() const {
    return ReadAfterUpdate(imp_, [this] { return imp_->GetCurrentPassCount(); });
}

void CCycle::SetPasses(unsigned int passes) {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::CYCLE);
    imp_->SetPasses(passes);
}

unsigned int CCycle::GetPasses() const {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::CYCLE);
    return imp_->GetPasses();
}

void CCycle::SetErrorLimit(unsigned int limit) {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::CYCLE);
    imp_->SetErrorLimit(limit);
}

unsigned int CCycle::GetErrorLimit() const {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::CYCLE);
    return imp_->GetErrorLimit();
}

unsigned int CCycle::GetErrorCount() const {
    return ReadAfterUpdate(imp_, [this] { return imp_->GetErrorCount(); });
}

void CCycle::SetMaxTime(long seconds) {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::CYCLE);
    imp_->SetMaxTime(seconds);
}

long CCycle::GetMaxTime() const {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::CYCLE);
    return imp_->GetMaxTime();
}

void CCycle::SetMinTime(long seconds) {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::CYCLE);
    imp_->SetMinTime(seconds);
}

long CCycle::GetMinTime() const {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::CYCLE);
    return imp_->GetMinTime();
}

unsigned int CCycle::GetPassCount() const {
    return ReadAfterUpdate(imp_, [this] { return imp_->GetPassCount(); });
}

long CCycle::GetElapsedTime() const {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::CYCLE);
    return imp_->GetElapsedTime();
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

std::ostream& operator<<(std::ostream& os, const CCycle&) {
    return os;
}

std::ostream& operator<<(std::ostream& os, const CCycleImp&) {
    return os;
}

}  // namespace VELKCORE
