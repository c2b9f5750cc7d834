// The scoped mutex: locking, handing a hold on, and refusing misuse.
#include <gtest/gtest.h>

#include <pthread.h>

#include <stdexcept>

#include "AutoMutex.h"

namespace {

using VELKCORE::CAutoMutex;

// True when the mutex is held (by anyone): an error-checking mutex refuses a
// try-lock while held, also to its holder.
bool Held(CAutoMutex::Mutex mutex) {
    int result = pthread_mutex_trylock(&CAutoMutex::_tMutex[mutex]);
    if (result == 0) {
        pthread_mutex_unlock(&CAutoMutex::_tMutex[mutex]);
        return false;
    }
    return true;
}

TEST(AutoMutexTest, LocksForItsScope) {
    {
        CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::CYCLE);
        EXPECT_TRUE(lock.IsLocked());
        EXPECT_TRUE(Held(CAutoMutex::CYCLE));
        EXPECT_FALSE(Held(CAutoMutex::SCENARIO));
    }
    EXPECT_FALSE(Held(CAutoMutex::CYCLE));
}

TEST(AutoMutexTest, HoldIsHandedOnWithNoUnlockAndTheAlreadyLockedArgument) {
    {
        CAutoMutex first(__FILE__, __LINE__, CAutoMutex::CYCLE_HISTORY);
        first.NoUnlock();
    }
    EXPECT_TRUE(Held(CAutoMutex::CYCLE_HISTORY));
    {
        CAutoMutex next(__FILE__, __LINE__, CAutoMutex::CYCLE_HISTORY, true);
        EXPECT_TRUE(next.IsLocked());
    }
    EXPECT_FALSE(Held(CAutoMutex::CYCLE_HISTORY));
}

TEST(AutoMutexTest, UnlockAndLockAgainWithinScope) {
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::TESTRUN_MESSAGES);
    lock.Unlock();
    EXPECT_FALSE(lock.IsLocked());
    EXPECT_FALSE(Held(CAutoMutex::TESTRUN_MESSAGES));
    lock.Unlock();  // a second unlock does nothing
    EXPECT_FALSE(Held(CAutoMutex::TESTRUN_MESSAGES));
    lock.Lock();
    EXPECT_TRUE(lock.IsLocked());
    EXPECT_TRUE(Held(CAutoMutex::TESTRUN_MESSAGES));
}

TEST(AutoMutexTest, RelockingInTheSameThreadThrowsInsteadOfHanging) {
    CAutoMutex outer(__FILE__, __LINE__, CAutoMutex::TESTRUN_PARAMETERS);
    try {
        CAutoMutex inner(__FILE__, __LINE__, CAutoMutex::TESTRUN_PARAMETERS);
        FAIL() << "no exception";
    } catch (const std::logic_error& error) {
        EXPECT_STREQ(error.what(), "CAutoMutex::CAutoMutex() lock failed");
    }
    EXPECT_TRUE(Held(CAutoMutex::TESTRUN_PARAMETERS));
}

TEST(AutoMutexTest, MutexOutsideTheTableIsRefused) {
    EXPECT_THROW(CAutoMutex(__FILE__, __LINE__, static_cast<CAutoMutex::Mutex>(12)),
                 std::out_of_range);
    EXPECT_THROW(CAutoMutex(__FILE__, __LINE__, static_cast<CAutoMutex::Mutex>(-1)),
                 std::out_of_range);
}

TEST(AutoMutexTest, OtherThreadWaitsForTheHolder) {
    struct Shared {
        bool entered = false;
    } shared;
    pthread_t thread;
    {
        CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::MUTEX4);
        ASSERT_EQ(pthread_create(
                      &thread, nullptr,
                      [](void* arg) -> void* {
                          CAutoMutex inner(__FILE__, __LINE__, CAutoMutex::MUTEX4);
                          static_cast<Shared*>(arg)->entered = true;
                          return nullptr;
                      },
                      &shared),
                  0);
        // The thread cannot have entered while this scope holds the mutex.
        EXPECT_FALSE(shared.entered);
    }
    pthread_join(thread, nullptr);
    EXPECT_TRUE(shared.entered);
}

}  // namespace
