#include "AutoMutex.h"

#include <stdexcept>

namespace VELKCORE {

pthread_mutex_t CAutoMutex::_tMutex[CAutoMutex::MUTEX_COUNT] = {
    PTHREAD_ERRORCHECK_MUTEX_INITIALIZER_NP, PTHREAD_ERRORCHECK_MUTEX_INITIALIZER_NP,
    PTHREAD_ERRORCHECK_MUTEX_INITIALIZER_NP, PTHREAD_ERRORCHECK_MUTEX_INITIALIZER_NP,
    PTHREAD_ERRORCHECK_MUTEX_INITIALIZER_NP, PTHREAD_ERRORCHECK_MUTEX_INITIALIZER_NP,
    PTHREAD_ERRORCHECK_MUTEX_INITIALIZER_NP, PTHREAD_ERRORCHECK_MUTEX_INITIALIZER_NP,
    PTHREAD_ERRORCHECK_MUTEX_INITIALIZER_NP, PTHREAD_ERRORCHECK_MUTEX_INITIALIZER_NP,
    PTHREAD_ERRORCHECK_MUTEX_INITIALIZER_NP, PTHREAD_ERRORCHECK_MUTEX_INITIALIZER_NP};

pthread_mutex_t CAutoMutex::_tLocalMutex = PTHREAD_MUTEX_INITIALIZER;

CAutoMutex::CAutoMutex(const char* file, int line, Mutex mutex, bool alreadyLocked)
    : mutex_(mutex) {
    (void)file;
    (void)line;
    if (mutex < 0 || mutex >= MUTEX_COUNT) {
        throw std::out_of_range("CAutoMutex::CAutoMutex() mutex index out of range.");
    }
    if (alreadyLocked) {
        locked_ = true;
    } else {
        Lock();
    }
}

CAutoMutex::~CAutoMutex() {
    if (!noUnlock_) {
        Unlock();
    }
}

void CAutoMutex::Lock() {
    if (pthread_mutex_lock(&_tMutex[mutex_]) != 0) {
        throw std::logic_error("CAutoMutex::CAutoMutex() lock failed");
    }
    locked_ = true;
}

void CAutoMutex::Unlock() {
    pthread_mutex_lock(&_tLocalMutex);
    if (locked_) {
        pthread_mutex_unlock(&_tMutex[mutex_]);
        locked_ = false;
    }
    pthread_mutex_unlock(&_tLocalMutex);
}

bool CAutoMutex::IsLocked() const {
    return locked_;
}

void CAutoMutex::NoUnlock() {
    noUnlock_ = true;
}

}  // namespace VELKCORE
