// Array<T>: bounds, copy-on-write sharing and the editing members; Pair.
#include <Pegasus/Common/Array.h>

#include <gtest/gtest.h>

#include <Pegasus/Common/Exception.h>
#include <Pegasus/Common/Pair.h>
#include <Pegasus/Common/String.h>

PEGASUS_USING_PEGASUS;

namespace {

template <class T>
std::vector<T> items(const Array<T>& a) {
    return std::vector<T>(a.getData(), a.getData() + a.size());
}

}  // namespace

TEST(Array, ConstructorsAndSize) {
    Array<Uint32> empty;
    EXPECT_EQ(empty.size(), 0u);
    Array<Uint32> zeros(3);
    EXPECT_EQ(items(zeros), (std::vector<Uint32>{0, 0, 0}));
    Array<Uint32> sevens(2, 7);
    EXPECT_EQ(items(sevens), (std::vector<Uint32>{7, 7}));
    const Uint32 raw[] = {1, 2, 3};
    Array<Uint32> fromRaw(raw, 3);
    EXPECT_EQ(items(fromRaw), (std::vector<Uint32>{1, 2, 3}));
    EXPECT_GE(fromRaw.getCapacity(), 3u);
}

TEST(Array, IndexOutOfBoundsThrowsForConstAndNonConst) {
    Array<String> a;
    a.append("x");
    EXPECT_EQ(a[0], String("x"));
    EXPECT_THROW(a[1], IndexOutOfBoundsException);
    const Array<String>& ca = a;
    EXPECT_THROW(ca[1], IndexOutOfBoundsException);
    EXPECT_THROW(ca[PEG_NOT_FOUND], IndexOutOfBoundsException);
    Array<String> none;
    EXPECT_THROW(none[0], IndexOutOfBoundsException);
}

TEST(Array, CopiesAreIndependentAfterWrites) {
    Array<Sint32> a;
    a.append(1);
    a.append(2);
    Array<Sint32> b(a);
    EXPECT_EQ(a.getData(), b.getData());  // shared until written
    b[0] = 10;
    EXPECT_EQ(a[0], 1);
    EXPECT_EQ(b[0], 10);
    Array<Sint32> c;
    c = a;
    c.append(3);
    EXPECT_EQ(a.size(), 2u);
    EXPECT_EQ(items(c), (std::vector<Sint32>{1, 2, 3}));
    a.clear();
    EXPECT_EQ(a.size(), 0u);
    EXPECT_EQ(c.size(), 3u);
}

TEST(Array, InsertPrependRemove) {
    Array<Sint32> a;
    a.append(3);
    a.prepend(1);
    a.insert(1, 2);
    const Sint32 tail[] = {4, 5};
    a.append(tail, 2);
    const Sint32 head[] = {-1, 0};
    a.prepend(head, 2);
    EXPECT_EQ(items(a), (std::vector<Sint32>{-1, 0, 1, 2, 3, 4, 5}));
    a.insert(7, tail, 1);  // insert at the end is allowed
    EXPECT_EQ(a[7], 4);
    EXPECT_THROW(a.insert(9, 0), IndexOutOfBoundsException);
    a.remove(0);
    a.remove(1, 3);
    EXPECT_EQ(items(a), (std::vector<Sint32>{0, 4, 5, 4}));
    EXPECT_THROW(a.remove(4), IndexOutOfBoundsException);
    EXPECT_THROW(a.remove(2, 3), IndexOutOfBoundsException);
    EXPECT_THROW(a.remove(5, 0), IndexOutOfBoundsException);
    EXPECT_EQ(a.size(), 4u);
}

TEST(Array, AppendArrayGrowSwapReserve) {
    Array<String> a;
    a.append("a");
    a.appendArray(a);  // appending itself
    EXPECT_EQ(a.size(), 2u);
    a.grow(2, "g");
    EXPECT_EQ(a[3], String("g"));
    a.append(a[0]);  // an element of the same array
    EXPECT_EQ(a[4], String("a"));
    Array<String> b;
    b.append("b");
    a.swap(b);
    EXPECT_EQ(a.size(), 1u);
    EXPECT_EQ(b.size(), 5u);
    a.reserveCapacity(64);
    EXPECT_GE(a.getCapacity(), 64u);
    EXPECT_EQ(a[0], String("b"));
}
