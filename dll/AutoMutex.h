// CAutoMutex: the scoped lock that the engine client classes take around the
// objects and engine commands they guard.
//
// Twelve process-wide mutexes (CAutoMutex::_tMutex), chosen by index.  The
// ones in use: 0 a scenario, 1 a cycle, 2 a test run, 5 a run's messages,
// 10 a run's parameters, 11 a cycle's run history; they are always taken in
// the order 0, 1, then 11 or 2.  3 is held for each whole engine command
// (send and reply), so that the commands of the process's threads run one
// at a time; it is taken last, and nothing is locked while it is held.
// These are separate from the numbered lock table of the C layers.
//
// The mutexes check errors: a thread that locks an entry it already holds
// gets std::logic_error instead of hanging, and unlocking an entry the thread
// does not hold does nothing.
#pragma once

#include <pthread.h>

namespace VELKCORE {

class CAutoMutex {
  public:
    enum Mutex : int {
        SCENARIO = 0,
        CYCLE = 1,
        TESTRUN = 2,
        ENGINE_COMMAND = 3,
        MUTEX4 = 4,
        TESTRUN_MESSAGES = 5,
        MUTEX6 = 6,
        MUTEX7 = 7,
        MUTEX8 = 8,
        MUTEX9 = 9,
        TESTRUN_PARAMETERS = 10,
        CYCLE_HISTORY = 11
    };
    static constexpr int MUTEX_COUNT = 12;

    // Locks mutex unless alreadyLocked says the caller holds it already, in
    // which case this object only takes over the duty to unlock it.  file and
    // line name the caller for diagnostics and are not kept.  A mutex outside
    // 0..11 throws std::out_of_range; a failed lock std::logic_error.
    CAutoMutex(const char* file, int line, Mutex mutex, bool alreadyLocked = false);
    // Unlocks unless NoUnlock() was called.
    virtual ~CAutoMutex();
    CAutoMutex(const CAutoMutex&) = delete;
    CAutoMutex& operator=(const CAutoMutex&) = delete;

    // Throws std::logic_error "CAutoMutex::CAutoMutex() lock failed" when the
    // mutex cannot be taken (for instance when this thread holds it).
    void Lock();
    // Releases the mutex if this object holds it.
    void Unlock();
    bool IsLocked() const;
    // Leaves the mutex held when this object is destroyed (the caller hands
    // the hold on).
    void NoUnlock();

    // The table of process-wide mutexes and the mutex that guards each unlock
    // step.
    static pthread_mutex_t _tMutex[MUTEX_COUNT];
    static pthread_mutex_t _tLocalMutex;

  private:
    Mutex mutex_;
    bool locked_ = false;
    bool noUnlock_ = false;
};

}  // namespace VELKCORE
