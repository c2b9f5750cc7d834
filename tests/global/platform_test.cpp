// Platform wrappers: test flags, the lock table, time, string and
// number wrappers, bounded copies, conversions, VelkPrintf and the verify
// failure.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/time.h>
#include <thread>

#include "TestDirectory.h"
#include "test-common.h"

namespace {

using ::testing::HasSubstr;

// ---- Lock table ----

// An entry that no support code uses, so tests own it.
constexpr int kFreeEntry = 7;

TEST(LockTable, IndexTwelveReturnsMinusOneAndChangesNothing) {
    uint32_t held[VELK_MUTEX_COUNT];
    uint32_t pids[VELK_MUTEX_COUNT];
    std::memcpy(held, iMutexHeld, sizeof held);
    std::memcpy(pids, iMutexHeldPid, sizeof pids);
    EXPECT_EQ(-1, VelkGrabMutex(__FILE__, __LINE__, __func__, 12, 1));
    EXPECT_EQ(-1, VelkGrabMutex(__FILE__, __LINE__, __func__, 12, 0));
    EXPECT_EQ(-1, VelkGrabMutex(__FILE__, __LINE__, __func__, -1, 1));
    EXPECT_EQ(-1, VelkTryMutex(__FILE__, __LINE__, __func__, 12));
    EXPECT_EQ(0, std::memcmp(held, iMutexHeld, sizeof held));
    EXPECT_EQ(0, std::memcmp(pids, iMutexHeldPid, sizeof pids));
}

TEST(LockTable, AForkedChildRecordsItsOwnPid) {
    ASSERT_EQ(0, VELK_LOCK(kFreeEntry));  // the parent's pid is known from here on
    ASSERT_EQ(0, VELK_UNLOCK(kFreeEntry));
    pid_t child = fork();
    ASSERT_NE(-1, child);
    if (child == 0) {
        int ok = VELK_LOCK(kFreeEntry) == 0 &&
                 iMutexHeldPid[kFreeEntry] == static_cast<uint32_t>(getpid());
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
}

TEST(LockTable, TryMutexIsBusyWhileAnotherThreadHoldsTheEntry) {
    std::atomic<bool> locked{false};
    std::atomic<bool> release{false};
    std::thread holder([&] {
        EXPECT_EQ(0, VELK_LOCK(kFreeEntry));
        locked = true;
        while (!release) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_EQ(0, VELK_UNLOCK(kFreeEntry));
    });
    while (!locked) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(EBUSY, VELK_TRYLOCK(kFreeEntry));
    EXPECT_EQ(1u, __atomic_load_n(&iMutexHeld[kFreeEntry], __ATOMIC_RELAXED));
    release = true;
    holder.join();
    EXPECT_EQ(0u, iMutexHeld[kFreeEntry]);
    ASSERT_EQ(0, VELK_TRYLOCK(kFreeEntry));
    EXPECT_EQ(1u, iMutexHeld[kFreeEntry]);
    EXPECT_EQ(static_cast<uint32_t>(getpid()), iMutexHeldPid[kFreeEntry]);
    EXPECT_EQ(0, VELK_UNLOCK(kFreeEntry));
}

TEST(LockTable, EntriesExcludeEachOtherAcrossThreads) {
    long counter = 0;  // guarded by the entry only
    auto work = [&counter] {
        for (int i = 0; i < 20000; ++i) {
            ASSERT_EQ(0, VELK_LOCK(kFreeEntry));
            ++counter;
            ASSERT_EQ(0, VELK_UNLOCK(kFreeEntry));
        }
    };
    std::thread a(work), b(work), c(work);
    a.join();
    b.join();
    c.join();
    EXPECT_EQ(60000, counter);
    EXPECT_EQ(0u, iMutexHeld[kFreeEntry]);
}

TEST(LockTable, InjectedFailureIsReturnedOnceAndChangesNothing) {
    ASSERT_EQ(-1, VelkInjectLockFailure(12, 0, EINVAL));
    ASSERT_EQ(0, VelkInjectLockFailure(kFreeEntry, 1, EDEADLK));
    ASSERT_EQ(0, VELK_LOCK(kFreeEntry));  // the one that passes
    EXPECT_EQ(static_cast<uint32_t>(getpid()), iMutexHeldPid[kFreeEntry]);
    EXPECT_EQ(EDEADLK, VELK_UNLOCK(kFreeEntry));  // the injected failure: still held
    EXPECT_EQ(1u, iMutexHeld[kFreeEntry]);
    EXPECT_EQ(EBUSY, VELK_TRYLOCK(kFreeEntry));
    EXPECT_EQ(0, VELK_UNLOCK(kFreeEntry));
    EXPECT_EQ(0u, iMutexHeld[kFreeEntry]);
    EXPECT_EQ(0u, iMutexHeldPid[kFreeEntry]);
}

// ---- Time ----

TEST(Time, UtcAndLocalTimeMatchTheClockWithZeroMilliseconds) {
    const struct {
        int (*get)(VelkTimeRecord*);
        struct tm* (*expected)(const time_t*, struct tm*);
    } clocks[] = {{VelkGetUtcTime, gmtime_r}, {VelkGetLocalTime, localtime_r}};
    for (const auto& clock : clocks) {
        EXPECT_EQ(1, clock.get(nullptr));
        VelkTimeRecord record;
        for (int attempt = 0; attempt < 3; ++attempt) {
            std::memset(&record, 0x5A, sizeof record);
            time_t before = time(nullptr);
            ASSERT_EQ(0, clock.get(&record));
            if (time(nullptr) != before) {
                continue;  // a second boundary: read again
            }
            struct tm expected;
            clock.expected(&before, &expected);
            EXPECT_EQ(static_cast<uint32_t>(expected.tm_year + 1900), record.year);
            EXPECT_EQ(static_cast<uint32_t>(expected.tm_mon + 1), record.month);
            EXPECT_EQ(static_cast<uint32_t>(expected.tm_mday), record.day);
            EXPECT_EQ(static_cast<uint32_t>(expected.tm_hour), record.hour);
            EXPECT_EQ(static_cast<uint32_t>(expected.tm_min), record.minute);
            EXPECT_EQ(static_cast<uint32_t>(expected.tm_sec), record.second);
            EXPECT_EQ(0u, record.milliseconds);
            break;
        }
    }
}

uint32_t MillisecondsSinceMidnight(const struct timeval& now) {
    return static_cast<uint32_t>(now.tv_sec % 86400) * 1000u +
           static_cast<uint32_t>(now.tv_usec / 1000);
}

TEST(Time, TimeOfDayIsMillisecondsSinceMidnightUtc) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        struct timeval before;
        struct timeval after;
        gettimeofday(&before, nullptr);
        uint32_t value = VelkGetTimeOfDay();
        gettimeofday(&after, nullptr);
        uint32_t low = MillisecondsSinceMidnight(before);
        uint32_t high = MillisecondsSinceMidnight(after);
        if (high < low) {
            continue;  // midnight passed in between
        }
        EXPECT_GE(value, low);
        EXPECT_LE(value, high);
        EXPECT_LT(value, 86400000u);
        return;
    }
    FAIL() << "clock kept crossing midnight";
}

TEST(Time, SleepAndWaitLastAtLeastTheirTime) {
    uint32_t start = VelkMilliSeconds();
    EXPECT_EQ(0, VelkSleep(30));
    EXPECT_GE(VelkMilliSeconds() - start, 29u);
    start = VelkMilliSeconds();
    EXPECT_EQ(0, VelkWait(1020));  // seconds and microseconds both used
    EXPECT_GE(VelkMilliSeconds() - start, 1019u);
}

// ---- String and number wrappers ----

TEST(Wrappers, StrNCpyWritesNoNulWhenNEqualsTheSourceLength) {
    char buffer[16];
    std::memset(buffer, 'X', sizeof buffer);
    EXPECT_EQ(buffer, VelkStrNCpy(buffer, "hello", 5));
    EXPECT_EQ(0, std::memcmp(buffer, "helloX", 6));

    std::memset(buffer, 'X', sizeof buffer);
    EXPECT_EQ(buffer, VelkStrNCpy(buffer, "hi", 10));
    EXPECT_STREQ("hi", buffer);
    EXPECT_EQ('X', buffer[3]);  // no padding

    std::memset(buffer, 'X', sizeof buffer);
    VelkStrNCpy(buffer, "truncated", 3);
    EXPECT_EQ(0, std::memcmp(buffer, "truX", 4));

    EXPECT_EQ(nullptr, VelkStrNCpy(nullptr, "a", 1));
    EXPECT_EQ(nullptr, VelkStrNCpy(buffer, nullptr, 1));
}

TEST(Wrappers, NumberConversionsUseBaseTenAndFullRange) {
    EXPECT_EQ(10, VelkAToI("010"));  // base 10, not octal
    EXPECT_EQ(-42, VelkAToI("-42abc"));
    EXPECT_EQ(4000000000UL, atoul("4000000000"));
    char* end = nullptr;
    EXPECT_EQ(255, VelkStrToL("ff rest", &end, 16));
    EXPECT_STREQ(" rest", end);
}

TEST(Wrappers, ToLowerMapsOnlyTheCharacterRange) {
    const int same[] = {'z', '1', 300, 256, -129, -1000, EOF};
    for (int c : same) {
        EXPECT_EQ(c, VelkToLower(c)) << c;
    }
    EXPECT_EQ('a', VelkToLower('A'));
    EXPECT_EQ(tolower(255), VelkToLower(255));
}

// ---- Bounded copies ----

TEST(BoundedCopies, SafeStrNCpyCutsAndTerminates) {
    char buffer[8];
    EXPECT_EQ(1, VelkSafeStrNCpy(buffer, "abc", sizeof buffer));
    EXPECT_STREQ("abc", buffer);
    EXPECT_EQ(1, VelkSafeStrNCpy(buffer, "abcdefghijk", sizeof buffer));  // cut is still 1
    EXPECT_STREQ("abcdefg", buffer);
    EXPECT_EQ(0, VelkSafeStrNCpy(buffer, nullptr, sizeof buffer));
    EXPECT_STREQ("", buffer);
    EXPECT_EQ(0, VelkSafeStrNCpy(nullptr, "a", 4));
    buffer[0] = 'q';
    EXPECT_EQ(0, VelkSafeStrNCpy(buffer, "a", 0));
    EXPECT_EQ('q', buffer[0]);  // size 0: not even the terminator
    EXPECT_EQ(1, VelkSafeStrNCpy(buffer, "a", 1));
    EXPECT_STREQ("", buffer);
}

TEST(BoundedCopies, SafeStrCpyWritesOverflowMarkWhenTheTextDoesNotFit) {
    char ten[10];
    EXPECT_EQ(0, VelkSafeStrCpy(ten, "0123456789", sizeof ten));
    EXPECT_STREQ("!!!OVERFL", ten);
    char eleven[11];
    EXPECT_EQ(1, VelkSafeStrCpy(eleven, "0123456789", sizeof eleven));
    EXPECT_STREQ("0123456789", eleven);
    char big[32];
    EXPECT_EQ(0, VelkSafeStrCpy(big, std::string(40, 'x').c_str(), sizeof big));
    EXPECT_STREQ("!!!OVERFLOW!!!", big);
    EXPECT_EQ(0, VelkSafeStrCpy(big, nullptr, sizeof big));
    EXPECT_STREQ("", big);
    EXPECT_EQ(0, VelkSafeStrCpy(nullptr, "a", 4));
}

TEST(BoundedCopies, SafeStrCatAppendsWithinTheSize) {
    char buffer[10] = "abc";
    EXPECT_EQ(1, VelkSafeStrCat(buffer, "def", sizeof buffer));
    EXPECT_STREQ("abcdef", buffer);
    EXPECT_EQ(0, VelkSafeStrCat(buffer, "ghijkl", sizeof buffer));
    EXPECT_STREQ("abcdef!!!", buffer);    // the mark, cut to the room left
    char full[4] = {'a', 'b', 'c', 'd'};  // no terminator within the size
    EXPECT_EQ(0, VelkSafeStrCat(full, "x", sizeof full));
    EXPECT_EQ('d', full[3]);
}

// ---- Conversions ----

TEST(Conversions, StrToBoolAndBack) {
    // Only the words of false and "0" read as false.
    for (const char* text : {"FALSE", "F", "f", "false", "0"}) {
        EXPECT_EQ(0, StrToBool(text)) << text;
    }
    for (const char* text : {"no", "", "00", "true", "fals"}) {
        EXPECT_EQ(1, StrToBool(text)) << text;
    }
    EXPECT_STREQ("true", BoolToStr(-7));
    EXPECT_STREQ("false", BoolToStr(0));
}

TEST(Conversions, CopyStrToPointerReplacesThePreviousCopy) {
    char* target = nullptr;
    ASSERT_EQ(1, CopyStrToPointer(&target, "first"));
    EXPECT_STREQ("first", target);
    ASSERT_EQ(1, CopyStrToPointer(&target, "second"));  // frees "first" (ASan checks)
    EXPECT_STREQ("second", target);
    char* kept = target;
    VelkInjectAllocFailure(0);
    EXPECT_EQ(0, CopyStrToPointer(&target, "third"));
    VelkInjectAllocFailure(-1);
    EXPECT_EQ(kept, target);
    EXPECT_STREQ("second", target);
    std::free(target);
}

TEST(Conversions, AllocStringExCopiesIntoAZeroedBuffer) {
    EXPECT_EQ(nullptr, VelkAllocStringEx(nullptr));
    char* copy = VelkAllocStringEx("text");
    ASSERT_NE(nullptr, copy);
    EXPECT_STREQ("text", copy);
    EXPECT_EQ(0, copy[5]);  // spare NUL bytes
    EXPECT_EQ(0, copy[7]);
    std::free(copy);
    VelkInjectAllocFailure(0);
    EXPECT_EQ(nullptr, VelkAllocStringEx("text"));
    VelkInjectAllocFailure(-1);
}

// ---- VelkPrintf ----

class VelkPrintfTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_sLogFilePath[0] = '\0';  // standard output unless a test names a file
        ASSERT_NE("", dir_);
    }
    void TearDown() override {
        g_sLogFilePath[0] = '\0';
        velk::testsupport::RemoveTree(dir_);
    }
    std::string dir_ = velk::testsupport::MakePrivateDirectory("velk_printf");
};

TEST_F(VelkPrintfTest, PrintsToStandardOutputOrAppendsToTheLogFile) {
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(8, VelkPrintf("value %d\n", 7));
    std::fflush(stdout);
    EXPECT_EQ("value 7\n", ::testing::internal::GetCapturedStdout());

    std::string path = dir_ + "/log.txt";
    ASSERT_LT(path.size(), sizeof g_sLogFilePath);
    std::strcpy(g_sLogFilePath, path.c_str());
    EXPECT_EQ(6, VelkPrintf("one %d\n", 1));
    EXPECT_EQ(6, VelkPrintf("two %d\n", 2));
    EXPECT_EQ("one 1\ntwo 2\n", velk::testsupport::ReadFile(path));
}

TEST_F(VelkPrintfTest, ReportsAnUnopenableLogFile) {
    std::string path = dir_ + "/missing/log.txt";
    std::strcpy(g_sLogFilePath, path.c_str());
    ::testing::internal::CaptureStderr();
    int count = VelkPrintf("lost %d\n", 1);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(0, count);
    EXPECT_THAT(err, HasSubstr("Opening log file: "));
}

TEST_F(VelkPrintfTest, ReportsAFailedClose) {
    if (access("/dev/full", W_OK) != 0) {
        GTEST_SKIP() << "/dev/full is not available";
    }
    std::strcpy(g_sLogFilePath, "/dev/full");
    ::testing::internal::CaptureStderr();
    int count = VelkPrintf("%s", "buffered until the close\n");
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(25, count);
    EXPECT_THAT(err, HasSubstr("Closing log file: "));
}

// ---- Verify failure ----

TEST(VerifyFailedDeathTest, VerifyFailsOnlyWhenTheConditionIsFalse) {
    EXPECT_EXIT(VelkVerifyFailed(42, "file.c"), ::testing::ExitedWithCode(1),
                HasSubstr("Velkcore Verify Failed: Line:42 File:file.c Possibly Out of Memory.\n"));
    VELK_VERIFY(1 + 1 == 2);
    EXPECT_EXIT(VELK_VERIFY(std::getenv("PATH") == reinterpret_cast<char*>(1)),
                ::testing::ExitedWithCode(1), HasSubstr("Velkcore Verify Failed: Line:"));
}

}  // namespace
