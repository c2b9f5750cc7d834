// Pair<T,U>: two values kept together.
#ifndef Pegasus_Pair_h
#define Pegasus_Pair_h

#include <Pegasus/Common/Config.h>

PEGASUS_NAMESPACE_BEGIN

template <class T, class U>
struct Pair {
    T first;
    U second;

    Pair() : first(), second() {}
    Pair(const Pair<T, U>& x) = default;
    Pair(const T& first_, const U& second_) : first(first_), second(second_) {}
    Pair<T, U>& operator=(const Pair<T, U>& x) = default;
};

PEGASUS_NAMESPACE_END

#endif
