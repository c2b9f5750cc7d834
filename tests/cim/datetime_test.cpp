// CIMDateTime: text form, parsing, the microsecond constructor, current time and arithmetic.
#include <Pegasus/Common/CIMDateTime.h>

#include <cstdlib>
#include <ctime>
#include <random>
#include <string>

#include <gtest/gtest.h>

PEGASUS_USING_PEGASUS;

namespace {

const Uint64 kUnixEpochUsec = 62167219200000000ULL;

std::string text(const CIMDateTime& dt) {
    return std::string(static_cast<const char*>(dt.toString().getCString()));
}

// The timestamp text of a Unix time at UTC, computed with the C library.
std::string utcText(time_t t, unsigned micro) {
    struct tm tm;
    gmtime_r(&t, &tm);
    char buffer[32];
    strftime(buffer, sizeof(buffer), "%Y%m%d%H%M%S", &tm);
    char full[64];
    std::snprintf(full, sizeof(full), "%s.%06u+000", buffer, micro);
    return full;
}

}  // namespace

TEST(CIMDateTime, ParsesAndPrintsTimestampsAndIntervals) {
    const char* texts[] = {
        "20250419144402.123456-300", "19700101000000.000000+000", "00000101000000.000000+000",
        "99991231235959.999999+999", "00000001020304.000005:000", "99999999235959.999999:000",
        "2025041914****.******+060", "20250419144402.12****+000", "**************.******:000"};
    for (const char* t : texts) {
        CIMDateTime dt(t);
        EXPECT_EQ(text(dt), t);
        EXPECT_EQ(dt.isInterval(), t[21] == ':') << t;
    }
}

TEST(CIMDateTime, RejectsMalformedText) {
    const char* bad[] = {"",
                         "2025041914440.123456-300",    // 24 characters
                         "20250419144402.123456-3000",  // 26 characters
                         "20250419144402,123456-300",   // no dot
                         "20250419144402.123456*300",   // bad sign
                         "20251319144402.123456+000",   // month 13
                         "20250229144402.123456+000",   // not a leap year
                         "20250419244402.123456+000",   // hour 24
                         "20250419146002.123456+000",   // minute 60
                         "2025041914440*.12345*+000",   // digit after a wildcard
                         "00000001020304.000005:001",   // interval must end :000
                         "2025041914440x.123456+000",
                         "20250419144402.123456+0a0"};
    for (const char* t : bad) {
        EXPECT_THROW(CIMDateTime dt(t), InvalidDateTimeFormatException) << t;
    }
    try {
        CIMDateTime dt("nonsense");
        FAIL();
    } catch (const InvalidDateTimeFormatException& e) {
        EXPECT_EQ(e.getMessage(), String("invalid datetime format"));
    }
    EXPECT_NO_THROW(CIMDateTime("20240229000000.000000+000"));  // leap day
    CIMDateTime kept("20250419144402.123456-300");
    EXPECT_THROW(kept.set("bad"), InvalidDateTimeFormatException);
    EXPECT_EQ(text(kept), "20250419144402.123456-300");
    kept.clear();  // as the default: the zero interval
    EXPECT_EQ(text(kept), "00000000000000.000000:000");
}

TEST(CIMDateTime, MicrosecondConstructorCountsFromYearZero) {
    EXPECT_EQ(text(CIMDateTime(kUnixEpochUsec, false)), "19700101000000.000000+000");
    EXPECT_EQ(text(CIMDateTime(0, false)), "00000101000000.000000+000");
    EXPECT_EQ(text(CIMDateTime(90061000001ULL, true)), "00000001010101.000001:000");
    EXPECT_THROW(CIMDateTime(~Uint64(0), false), DateTimeOutOfRangeException);
    EXPECT_THROW(CIMDateTime(100000000ULL * 86400000000ULL, true), DateTimeOutOfRangeException);
}

TEST(CIMDateTime, MicrosecondConstructorAgreesWithTheCLibrary) {
    std::mt19937_64 random(12345);
    for (int i = 0; i < 500; i++) {
        // Unix times from 1970 to 9999.
        time_t t = time_t(random() % 253402300799ULL);
        unsigned micro = unsigned(random() % 1000000);
        Uint64 usec = kUnixEpochUsec + Uint64(t) * 1000000ULL + micro;
        CIMDateTime dt(usec, false);
        ASSERT_EQ(text(dt), utcText(t, micro)) << usec;
        EXPECT_EQ(dt.toMicroSeconds(), usec);
        EXPECT_TRUE(CIMDateTime(dt.toString()) == dt);
    }
}

TEST(CIMDateTime, UtcOffsetTakesPartInComparison) {
    CIMDateTime east("20250419150000.000000+060");
    CIMDateTime utc("20250419140000.000000+000");
    CIMDateTime west("20250419090000.000000-300");
    EXPECT_TRUE(east == utc);
    EXPECT_TRUE(utc.equal(west));
    EXPECT_EQ(east.toMicroSeconds(), utc.toMicroSeconds());
    EXPECT_EQ(CIMDateTime::getDifference(east, CIMDateTime("20250419150001.000000+000")),
              3601000000LL);
    EXPECT_TRUE(CIMDateTime("20250419150000.000000+000") > east);
    EXPECT_FALSE(east < utc);
    EXPECT_TRUE(east <= utc);
    EXPECT_TRUE(east >= utc);
    EXPECT_FALSE(east != utc);
}

TEST(CIMDateTime, MixedKindsDoNotCompare) {
    CIMDateTime stamp("20250419150000.000000+000");
    CIMDateTime interval("00000001000000.000000:000");
    EXPECT_FALSE(stamp == interval);
    EXPECT_THROW(CIMDateTime::getDifference(stamp, interval), TypeMismatchException);
    EXPECT_THROW((void)(stamp < interval), TypeMismatchException);
}

TEST(CIMDateTime, Arithmetic) {
    CIMDateTime stamp("20251231230000.000000+060");
    CIMDateTime hour("00000000010000.000000:000");
    EXPECT_EQ(text(stamp + hour), "20260101000000.000000+060");
    CIMDateTime later = stamp;
    later += hour * 25;
    EXPECT_EQ(text(later), "20260102000000.000000+060");
    EXPECT_EQ(text(later - stamp), "00000001010000.000000:000");
    EXPECT_EQ(text(later - hour), "20260101230000.000000+060");
    EXPECT_EQ((hour * 6) / hour, 6u);
    EXPECT_EQ(text(hour / 4), "00000000001500.000000:000");
    CIMDateTime h = hour;
    h *= 2;
    h /= 4;
    EXPECT_EQ(text(h), "00000000003000.000000:000");
    h -= CIMDateTime("00000000001000.000000:000");
    EXPECT_EQ(text(h), "00000000002000.000000:000");
    EXPECT_THROW(stamp + stamp, TypeMismatchException);
    EXPECT_THROW(hour - stamp, TypeMismatchException);
    EXPECT_THROW(stamp * 2, TypeMismatchException);
    EXPECT_THROW(hour - later, TypeMismatchException);
    EXPECT_THROW(hour - (hour * 2), DateTimeOutOfRangeException);
    EXPECT_THROW(hour / 0, DateTimeOutOfRangeException);
    EXPECT_THROW(CIMDateTime("99991231235959.999999+000") + hour, DateTimeOutOfRangeException);
}

TEST(CIMDateTime, CurrentDateTimeIsLocalTimeWithOffset) {
    // Under a zone west of UTC, so that the offset's sign matters. The clock is read before and
    // after from the same clock the implementation reads (time() may lag it by a tick).
    const char* old = getenv("TZ");
    std::string saved = old ? old : "";
    setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);
    tzset();
    auto seconds = [] {
        struct timespec ts;
        clock_gettime(CLOCK_REALTIME, &ts);
        return ts.tv_sec;
    };
    std::string t, expected;
    time_t before = 0;
    Uint64 utcSeconds = 0;
    for (int attempt = 0; attempt < 5 && expected.empty(); attempt++) {
        before = seconds();
        CIMDateTime now = CIMDateTime::getCurrentDateTime();
        if (seconds() != before)
            continue;  // crossed a second boundary: try again
        struct tm local;
        localtime_r(&before, &local);
        char digits[32];
        strftime(digits, sizeof(digits), "%Y%m%d%H%M%S", &local);
        long offset = local.tm_gmtoff / 60;
        char zone[32];
        std::snprintf(zone, sizeof(zone), "%c%03ld", offset < 0 ? '-' : '+', std::labs(offset));
        expected = std::string(digits) + "." + zone;
        t = text(now);
        utcSeconds = (now.toMicroSeconds() - kUnixEpochUsec) / 1000000ULL;  // measured at UTC
    }
    if (old)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
    ASSERT_FALSE(expected.empty()) << "clock kept crossing second boundaries";
    ASSERT_EQ(t.size(), 25u);
    EXPECT_EQ(t.substr(0, 15) + t.substr(21), expected);
    EXPECT_TRUE(t.substr(21) == "-300" || t.substr(21) == "-240") << t;
    EXPECT_EQ(utcSeconds, Uint64(before));
}
