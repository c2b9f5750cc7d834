// A datetime is kept as the microsecond count its text denotes: for an interval its length, for
// a timestamp the local time it shows, counted from 0000-01-01 00:00 (proleptic Gregorian), plus
// the UTC offset. Comparisons and differences use the UTC instant (local time - offset).
#include <Pegasus/Common/CIMDateTime.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

PEGASUS_NAMESPACE_BEGIN

namespace {

constexpr Uint64 kUsecPerSecond = 1000000ULL;
constexpr Uint64 kUsecPerMinute = 60 * kUsecPerSecond;
constexpr Uint64 kUsecPerHour = 60 * kUsecPerMinute;
constexpr Uint64 kUsecPerDay = 24 * kUsecPerHour;
// Days from 0000-01-01 to 1970-01-01.
constexpr Sint64 kDaysToUnixEpoch = 719528;

// Days since 1970-01-01 of a proleptic Gregorian date (the usual era-based calculation: years
// start in March so that the leap day is the last day of a year).
constexpr Sint64 daysFromCivil(Sint64 y, Uint32 m, Uint32 d) {
    y -= m <= 2 ? 1 : 0;
    const Sint64 era = (y >= 0 ? y : y - 399) / 400;
    const Uint32 yoe = Uint32(y - era * 400);
    const Uint32 doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const Uint32 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + Sint64(doe) - 719468;
}

void civilFromDays(Sint64 z, Sint64& y, Uint32& m, Uint32& d) {
    z += 719468;
    const Sint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const Uint32 doe = Uint32(z - era * 146097);
    const Uint32 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const Uint32 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const Uint32 mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = Sint64(yoe) + era * 400 + (m <= 2 ? 1 : 0);
}

Boolean isLeapYear(Sint64 y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

Uint32 daysInMonth(Sint64 y, Uint32 m) {
    static const Uint32 days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return (m == 2 && isLeapYear(y)) ? 29 : days[m - 1];
}

// Microseconds from 0000-01-01 to the start of the given day.
constexpr Uint64 usecOfDate(Sint64 y, Uint32 m, Uint32 d) {
    return Uint64(daysFromCivil(y, m, d) + kDaysToUnixEpoch) * kUsecPerDay;
}

constexpr Uint64 kMaxTimeStamp = usecOfDate(10000, 1, 1) - 1;
constexpr Uint64 kMaxInterval = 100000000ULL * kUsecPerDay - 1;

// Text positions of the 20 digits, most significant first.
const int kDigitPositions[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,
                               10, 11, 12, 13, 15, 16, 17, 18, 19, 20};

Uint32 fieldValue(const std::string& s, size_t pos, size_t len) {
    Uint32 v = 0;
    for (size_t i = pos; i < pos + len; i++)
        v = v * 10 + Uint32(s[i] == '*' ? 0 : s[i] - '0');
    return v;
}

Boolean hasWildcard(const std::string& s, size_t pos, size_t len) {
    return s.find('*', pos) < pos + len;
}

String usecText(Uint64 usec) {
    char buffer[32];
    std::snprintf(buffer, sizeof(buffer), "%llu", usec);
    return String(buffer);
}

}  // namespace

CIMDateTime::CIMDateTime() : _interval(true), _usec(0), _utcOffset(0), _wildcards(0) {}

CIMDateTime::CIMDateTime(const CIMDateTime& x) = default;

CIMDateTime::CIMDateTime(const String& str) : CIMDateTime() {
    set(str);
}

CIMDateTime::CIMDateTime(Uint64 usec, Boolean isInterval) : CIMDateTime() {
    _setFromUsec(usec, isInterval, 0);
}

CIMDateTime::~CIMDateTime() = default;

CIMDateTime& CIMDateTime::operator=(const CIMDateTime& x) = default;

void CIMDateTime::_setFromUsec(Uint64 usec, Boolean isInterval, Sint32 utcOffset) {
    if (usec > (isInterval ? kMaxInterval : kMaxTimeStamp))
        throw DateTimeOutOfRangeException(usecText(usec));
    _interval = isInterval;
    _usec = usec;
    _utcOffset = isInterval ? 0 : utcOffset;
}

void CIMDateTime::set(const String& str) {
    if (str.size() != 25)
        throw InvalidDateTimeFormatException();
    std::string s;
    for (Uint32 i = 0; i < 25; i++) {
        Uint16 c = str[i];
        if (c > 0x7F)
            throw InvalidDateTimeFormatException();
        s += char(c);
    }
    if (s[14] != '.')
        throw InvalidDateTimeFormatException();

    Boolean interval;
    Sint32 offset = 0;
    if (s[21] == ':') {
        interval = true;
        if (s.compare(22, 3, "000") != 0)
            throw InvalidDateTimeFormatException();
    } else if (s[21] == '+' || s[21] == '-') {
        interval = false;
        for (int i = 22; i < 25; i++) {
            if (s[i] < '0' || s[i] > '9')
                throw InvalidDateTimeFormatException();
        }
        offset = Sint32(fieldValue(s, 22, 3));
        if (s[21] == '-')
            offset = -offset;
    } else {
        throw InvalidDateTimeFormatException();
    }

    // Digits, of which a trailing run may be '*'.
    Uint32 wildcards = 0;
    for (int pos : kDigitPositions) {
        char c = s[pos];
        if (c == '*') {
            wildcards++;
        } else if (c < '0' || c > '9' || wildcards > 0) {
            throw InvalidDateTimeFormatException();
        }
    }

    Uint32 hour = fieldValue(s, 8, 2), minute = fieldValue(s, 10, 2);
    Uint32 second = fieldValue(s, 12, 2), micro = fieldValue(s, 15, 6);
    if (hour > 23 || minute > 59 || second > 59)
        throw InvalidDateTimeFormatException();
    Uint64 usec = hour * kUsecPerHour + minute * kUsecPerMinute + second * kUsecPerSecond + micro;

    if (interval) {
        usec += Uint64(fieldValue(s, 0, 8)) * kUsecPerDay;
    } else {
        Sint64 year = fieldValue(s, 0, 4);
        Uint32 month = fieldValue(s, 4, 2), day = fieldValue(s, 6, 2);
        // A wildcarded month or day stands for any; compute with the first one.
        if (month == 0 && hasWildcard(s, 4, 2))
            month = 1;
        if (day == 0 && hasWildcard(s, 6, 2))
            day = 1;
        if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
            throw InvalidDateTimeFormatException();
        usec += usecOfDate(year, month, day);
    }
    _setFromUsec(usec, interval, offset);
    _wildcards = wildcards;
}

void CIMDateTime::clear() {
    *this = CIMDateTime();
}

String CIMDateTime::toString() const {
    char buffer[40];
    Uint64 dayUsec = _usec % kUsecPerDay;
    Uint32 hour = Uint32(dayUsec / kUsecPerHour);
    Uint32 minute = Uint32(dayUsec % kUsecPerHour / kUsecPerMinute);
    Uint32 second = Uint32(dayUsec % kUsecPerMinute / kUsecPerSecond);
    Uint32 micro = Uint32(dayUsec % kUsecPerSecond);
    if (_interval) {
        std::snprintf(buffer, sizeof(buffer), "%08llu%02u%02u%02u.%06u:000", _usec / kUsecPerDay,
                      hour, minute, second, micro);
    } else {
        Sint64 year;
        Uint32 month, day;
        civilFromDays(Sint64(_usec / kUsecPerDay) - kDaysToUnixEpoch, year, month, day);
        Sint32 offset = _utcOffset < 0 ? -_utcOffset : _utcOffset;
        std::snprintf(buffer, sizeof(buffer), "%04lld%02u%02u%02u%02u%02u.%06u%c%03d", year, month,
                      day, hour, minute, second, micro, _utcOffset < 0 ? '-' : '+', offset % 1000);
    }
    for (Uint32 i = 0; i < _wildcards && i < 20; i++)
        buffer[kDigitPositions[19 - i]] = '*';
    return String(buffer);
}

CIMDateTime CIMDateTime::getCurrentDateTime() {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm local;
    localtime_r(&now.tv_sec, &local);
    Uint64 usec =
        usecOfDate(Sint64(local.tm_year) + 1900, Uint32(local.tm_mon + 1), Uint32(local.tm_mday)) +
        Uint64(local.tm_hour) * kUsecPerHour + Uint64(local.tm_min) * kUsecPerMinute +
        Uint64(local.tm_sec) * kUsecPerSecond + Uint64(now.tv_nsec / 1000);
    CIMDateTime result;
    result._setFromUsec(usec, false, Sint32(local.tm_gmtoff / 60));
    return result;
}

Sint64 CIMDateTime::_normalized() const {
    if (_interval)
        return Sint64(_usec);
    return Sint64(_usec) - Sint64(_utcOffset) * Sint64(kUsecPerMinute);
}

Sint64 CIMDateTime::getDifference(CIMDateTime startTime, CIMDateTime finishTime) {
    if (startTime._interval != finishTime._interval)
        throw TypeMismatchException();
    return finishTime._normalized() - startTime._normalized();
}

Boolean CIMDateTime::isInterval() const {
    return _interval;
}

Boolean CIMDateTime::isInterval() {
    return _interval;
}

Boolean CIMDateTime::equal(const CIMDateTime& x) const {
    return _interval == x._interval && _normalized() == x._normalized();
}

Uint64 CIMDateTime::toMicroSeconds() const {
    Sint64 n = _normalized();
    return n < 0 ? 0 : Uint64(n);
}

CIMDateTime CIMDateTime::operator+(const CIMDateTime& x) const {
    CIMDateTime result(*this);
    result += x;
    return result;
}

CIMDateTime& CIMDateTime::operator+=(const CIMDateTime& x) {
    if (!x._interval)
        throw TypeMismatchException();
    Uint64 limit = _interval ? kMaxInterval : kMaxTimeStamp;
    if (x._usec > limit - _usec)
        throw DateTimeOutOfRangeException(toString());
    _setFromUsec(_usec + x._usec, _interval, _utcOffset);
    _wildcards = _wildcards > x._wildcards ? _wildcards : x._wildcards;
    return *this;
}

CIMDateTime CIMDateTime::operator-(const CIMDateTime& x) const {
    CIMDateTime result(*this);
    result -= x;
    return result;
}

CIMDateTime& CIMDateTime::operator-=(const CIMDateTime& x) {
    Uint32 wildcards = _wildcards > x._wildcards ? _wildcards : x._wildcards;
    if (!x._interval) {
        // Two timestamps give the interval between them.
        if (_interval)
            throw TypeMismatchException();
        Sint64 diff = _normalized() - x._normalized();
        if (diff < 0)
            throw DateTimeOutOfRangeException(toString());
        _setFromUsec(Uint64(diff), true, 0);
    } else {
        if (x._usec > _usec)
            throw DateTimeOutOfRangeException(toString());
        _setFromUsec(_usec - x._usec, _interval, _utcOffset);
    }
    _wildcards = wildcards;
    return *this;
}

CIMDateTime CIMDateTime::operator*(Uint64 num) const {
    CIMDateTime result(*this);
    result *= num;
    return result;
}

CIMDateTime& CIMDateTime::operator*=(Uint64 num) {
    if (!_interval)
        throw TypeMismatchException();
    if (num != 0 && _usec > kMaxInterval / num)
        throw DateTimeOutOfRangeException(toString());
    _setFromUsec(_usec * num, true, 0);
    return *this;
}

CIMDateTime CIMDateTime::operator/(Uint64 num) const {
    CIMDateTime result(*this);
    result /= num;
    return result;
}

CIMDateTime& CIMDateTime::operator/=(Uint64 num) {
    if (!_interval)
        throw TypeMismatchException();
    if (num == 0)
        throw DateTimeOutOfRangeException(String("division by zero"));
    _setFromUsec(_usec / num, true, 0);
    return *this;
}

Uint64 CIMDateTime::operator/(const CIMDateTime& x) const {
    if (!_interval || !x._interval)
        throw TypeMismatchException();
    if (x._usec == 0)
        throw DateTimeOutOfRangeException(String("division by zero"));
    return _usec / x._usec;
}

Boolean CIMDateTime::operator<(const CIMDateTime& x) const {
    return getDifference(x, *this) < 0;
}

Boolean CIMDateTime::operator<=(const CIMDateTime& x) const {
    return getDifference(x, *this) <= 0;
}

Boolean CIMDateTime::operator>(const CIMDateTime& x) const {
    return getDifference(x, *this) > 0;
}

Boolean CIMDateTime::operator>=(const CIMDateTime& x) const {
    return getDifference(x, *this) >= 0;
}

Boolean CIMDateTime::operator!=(const CIMDateTime& x) const {
    return !equal(x);
}

Boolean operator==(const CIMDateTime& x, const CIMDateTime& y) {
    return x.equal(y);
}

PEGASUS_NAMESPACE_END
