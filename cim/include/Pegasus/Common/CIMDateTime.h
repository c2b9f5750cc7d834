// CIMDateTime: a DMTF datetime, either a timestamp or an interval.
//
// Text form (always 25 characters):
//   timestamp  yyyymmddhhmmss.mmmmmmsutc  (s is '+' or '-', utc the offset from UTC in minutes)
//   interval   ddddddddhhmmss.mmmmmm:000
// Digits may be replaced by '*' from the least significant end. Wildcarded digits count as zero
// in arithmetic and comparisons.
#ifndef Pegasus_CIMDateTime_h
#define Pegasus_CIMDateTime_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Linkage.h>
#include <Pegasus/Common/String.h>
#include <Pegasus/Common/Exception.h>

PEGASUS_NAMESPACE_BEGIN

class PEGASUS_COMMON_LINKAGE CIMDateTime {
  public:
    // The zero interval 00000000000000.000000:000.
    CIMDateTime();
    CIMDateTime(const CIMDateTime& x);
    CIMDateTime(const String& str);
    // For a timestamp, usec counts microseconds from 1 January of 1 BCE (year 0000) at UTC; the
    // result has the UTC offset +000.
    CIMDateTime(Uint64 usec, Boolean isInterval);
    ~CIMDateTime();

    CIMDateTime& operator=(const CIMDateTime& x);

    String toString() const;
    void set(const String& str);
    void clear();

    // Local time of this machine with its UTC offset.
    static CIMDateTime getCurrentDateTime();

    // finish - start in microseconds; both must be of the same kind.
    static Sint64 getDifference(CIMDateTime startTime, CIMDateTime finishTime);

    Boolean isInterval() const;
    Boolean isInterval();
    Boolean equal(const CIMDateTime& x) const;

    // An interval's length, or a timestamp's distance from year 0000 measured at UTC.
    Uint64 toMicroSeconds() const;

    // timestamp + interval and interval + interval.
    CIMDateTime operator+(const CIMDateTime& x) const;
    CIMDateTime& operator+=(const CIMDateTime& x);
    // timestamp - interval, interval - interval, and timestamp - timestamp (an interval).
    CIMDateTime operator-(const CIMDateTime& x) const;
    CIMDateTime& operator-=(const CIMDateTime& x);
    // Intervals only.
    CIMDateTime operator*(Uint64 num) const;
    CIMDateTime& operator*=(Uint64 num);
    CIMDateTime operator/(Uint64 num) const;
    CIMDateTime& operator/=(Uint64 num);
    Uint64 operator/(const CIMDateTime& x) const;

    // Both operands must be of the same kind (TypeMismatchException otherwise).
    Boolean operator<(const CIMDateTime& x) const;
    Boolean operator<=(const CIMDateTime& x) const;
    Boolean operator>(const CIMDateTime& x) const;
    Boolean operator>=(const CIMDateTime& x) const;
    Boolean operator!=(const CIMDateTime& x) const;

  private:
    Sint64 _normalized() const;
    void _setFromUsec(Uint64 usec, Boolean isInterval, Sint32 utcOffset);

    Boolean _interval;
    Uint64 _usec;       // the value as written in the text (local time for a timestamp)
    Sint32 _utcOffset;  // minutes east of UTC; 0 for an interval
    Uint32 _wildcards;  // number of trailing digits written as '*'
};

PEGASUS_COMMON_LINKAGE Boolean operator==(const CIMDateTime& x, const CIMDateTime& y);

PEGASUS_NAMESPACE_END

#endif
