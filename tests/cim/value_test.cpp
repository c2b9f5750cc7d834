// CIMValue: every type, arrays, null values, type checks, equality and text form.
#include <Pegasus/Common/CIMValue.h>

#include <cmath>
#include <cstdio>
#include <limits>

#include <gtest/gtest.h>

#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMProperty.h>

PEGASUS_USING_PEGASUS;

namespace {

template <class T>
void expectScalarRoundTrip(const T& x, CIMType type) {
    CIMValue v(x);
    EXPECT_EQ(v.getType(), type);
    EXPECT_FALSE(v.isArray());
    EXPECT_FALSE(v.isNull());
    T out;
    v.get(out);
    EXPECT_TRUE(CIMValue(out) == v);
    Array<T> arr;
    arr.append(x);
    arr.append(x);
    CIMValue av(arr);
    EXPECT_EQ(av.getType(), type);
    EXPECT_TRUE(av.isArray());
    EXPECT_EQ(av.getArraySize(), 2u);
    EXPECT_THROW(av.get(out), TypeMismatchException);
    Array<T> back;
    av.get(back);
    EXPECT_EQ(back.size(), 2u);
    EXPECT_THROW(v.get(back), TypeMismatchException);
}

String realText(double x) {
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%.16e", x);
    return String(buffer);
}

}  // namespace

TEST(CIMValue, EveryScalarTypeRoundTrips) {
    expectScalarRoundTrip(Boolean(true), CIMTYPE_BOOLEAN);
    expectScalarRoundTrip(Uint8(200), CIMTYPE_UINT8);
    expectScalarRoundTrip(Sint8(-100), CIMTYPE_SINT8);
    expectScalarRoundTrip(Uint16(60000), CIMTYPE_UINT16);
    expectScalarRoundTrip(Sint16(-30000), CIMTYPE_SINT16);
    expectScalarRoundTrip(Uint32(4000000000u), CIMTYPE_UINT32);
    expectScalarRoundTrip(Sint32(-2000000000), CIMTYPE_SINT32);
    expectScalarRoundTrip(Uint64(18000000000000000000ULL), CIMTYPE_UINT64);
    expectScalarRoundTrip(Sint64(-9000000000000000000LL), CIMTYPE_SINT64);
    expectScalarRoundTrip(Real32(1.25f), CIMTYPE_REAL32);
    expectScalarRoundTrip(Real64(-2.5e300), CIMTYPE_REAL64);
    expectScalarRoundTrip(Char16(0x263A), CIMTYPE_CHAR16);
    expectScalarRoundTrip(String("text"), CIMTYPE_STRING);
    expectScalarRoundTrip(CIMDateTime("20250419144402.123456-300"), CIMTYPE_DATETIME);
    expectScalarRoundTrip(CIMObjectPath("root/korva:VLK_X.Id=\"1\""), CIMTYPE_REFERENCE);
    CIMInstance instance("VLK_X");
    instance.addProperty(CIMProperty("Id", String("1")));
    expectScalarRoundTrip(instance, CIMTYPE_INSTANCE);
    expectScalarRoundTrip(CIMObject(instance), CIMTYPE_OBJECT);
}

TEST(CIMValue, OverloadTrapsPickTheDocumentedTypes) {
    EXPECT_TRUE(CIMValue().isNull());
    EXPECT_EQ(CIMValue().getType(), CIMTYPE_BOOLEAN);
    // No const char* constructor: the pointer converts to Boolean.
    CIMValue fromLiteral("text");
    EXPECT_EQ(fromLiteral.getType(), CIMTYPE_BOOLEAN);
    EXPECT_EQ(fromLiteral.toString(), String("TRUE"));
    EXPECT_EQ(CIMValue(5).getType(), CIMTYPE_SINT32);
    EXPECT_EQ(CIMValue(5u).getType(), CIMTYPE_UINT32);
    EXPECT_EQ(CIMValue('c').getType(), CIMTYPE_SINT32);
    EXPECT_EQ(CIMValue(Uint64(5)).getType(), CIMTYPE_UINT64);
    EXPECT_EQ(CIMValue(String("text")).getType(), CIMTYPE_STRING);
}

TEST(CIMValue, GetOnNullLeavesOutputAlone) {
    CIMValue v(CIMTYPE_UINT32, false);
    EXPECT_TRUE(v.isNull());
    EXPECT_EQ(v.getType(), CIMTYPE_UINT32);
    Uint32 out = 77;
    v.get(out);
    EXPECT_EQ(out, 77u);
    String s("kept");
    EXPECT_THROW(v.get(s), TypeMismatchException);
    EXPECT_EQ(s, String("kept"));

    CIMValue arr(CIMTYPE_STRING, true, 3);
    EXPECT_TRUE(arr.isArray());
    EXPECT_EQ(arr.getArraySize(), 0u);
    Array<String> kept;
    kept.append("x");
    arr.get(kept);
    EXPECT_EQ(kept.size(), 1u);
}

TEST(CIMValue, TypeMismatchBetweenSimilarTypes) {
    CIMValue v(Uint16(5));
    Uint32 wide = 1;
    Sint16 sign = 1;
    EXPECT_THROW(v.get(wide), TypeMismatchException);
    EXPECT_THROW(v.get(sign), TypeMismatchException);
    EXPECT_EQ(wide, 1u);
    Uint16 right = 0;
    v.get(right);
    EXPECT_EQ(right, 5u);
    CIMValue copy(v);  // copies are independent
    copy.set(Uint16(6));
    EXPECT_TRUE(v == CIMValue(Uint16(5)));
}

TEST(CIMValue, SetChangesTypeAndSetNullValue) {
    CIMValue v(Uint8(1));
    v.set(String("now a string"));
    EXPECT_EQ(v.getType(), CIMTYPE_STRING);
    Array<Real64> reals;
    reals.append(1.0);
    v.set(reals);
    EXPECT_TRUE(v.isArray());
    EXPECT_EQ(v.getType(), CIMTYPE_REAL64);
    v.setNullValue(CIMTYPE_DATETIME, false);
    EXPECT_TRUE(v.isNull());
    EXPECT_EQ(v.getType(), CIMTYPE_DATETIME);
    v.clear();
    EXPECT_TRUE(v.isNull());
    EXPECT_EQ(v.getType(), CIMTYPE_BOOLEAN);
}

TEST(CIMValue, EqualityNeedsTypeArrayNessNullnessAndElements) {
    EXPECT_TRUE(CIMValue(Uint32(5)) == CIMValue(Uint32(5)));
    EXPECT_TRUE(CIMValue(Uint32(5)) != CIMValue(Uint64(5)));
    EXPECT_TRUE(CIMValue(Uint32(5)) != CIMValue(Uint32(6)));
    EXPECT_TRUE(CIMValue(String("a")) != CIMValue(String("A")));
    Array<Uint32> one;
    one.append(5);
    EXPECT_TRUE(CIMValue(Uint32(5)) != CIMValue(one));
    EXPECT_TRUE(CIMValue(CIMTYPE_UINT32, false) == CIMValue(CIMTYPE_UINT32, false));
    EXPECT_TRUE(CIMValue(CIMTYPE_UINT32, false) != CIMValue(CIMTYPE_UINT32, true));
    EXPECT_TRUE(CIMValue(CIMTYPE_UINT32, false) != CIMValue(Uint32(0)));
    EXPECT_TRUE(CIMValue(CIMObjectPath("A.k=16")) == CIMValue(CIMObjectPath("a.K=0x10")));
    EXPECT_TRUE(CIMValue(CIMDateTime("20250101000000.000000+060")) ==
                CIMValue(CIMDateTime("20241231230000.000000+000")));
    EXPECT_TRUE(CIMValue(CIMTYPE_UINT8, false).typeCompatible(CIMValue(Uint8(3))));
    EXPECT_FALSE(CIMValue(Uint8(3)).typeCompatible(CIMValue(Sint8(3))));
}

TEST(CIMValue, ToStringScalars) {
    const struct {
        CIMValue value;
        String text;
    } cases[] = {
        {CIMValue(true), "TRUE"},
        {CIMValue(false), "FALSE"},
        {CIMValue(Uint8(255)), "255"},
        {CIMValue(Sint8(-128)), "-128"},
        {CIMValue(Uint16(65535)), "65535"},
        {CIMValue(Sint16(-32768)), "-32768"},
        {CIMValue(Uint32(4294967295u)), "4294967295"},
        {CIMValue(Uint64(18446744073709551615ULL)), "18446744073709551615"},
        {CIMValue(Sint64(std::numeric_limits<Sint64>::min())), "-9223372036854775808"},
        {CIMValue(Real64(1.5)), "1.5000000000000000e+00"},
        {CIMValue(Real64(-0.001)), realText(-0.001)},
        // Real32 is widened first, so the text shows the float's exact binary value.
        {CIMValue(Real32(0.1f)), realText(double(0.1f))},
        {CIMValue(Char16(0xE9)), "\xC3\xA9"},
        {CIMValue(String("a \"raw\" text")), "a \"raw\" text"},
        {CIMValue(CIMDateTime()), "00000000000000.000000:000"},
        {CIMValue(CIMObjectPath("root/cimv2:CIM_Foo.Name=\"a\\\"b\",Id=5")),
         "root/cimv2:CIM_Foo.Id=5,Name=\"a\\\"b\""},
        {CIMValue(CIMTYPE_STRING, true), ""},
        {CIMValue(), ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.value.toString(), c.text) << c.text;
    }
    EXPECT_NE(CIMValue(Real32(0.1f)).toString(), CIMValue(Real64(0.1)).toString());
}

TEST(CIMValue, ToStringArraysPutOneSpaceAfterEachElement) {
    Array<String> strings;
    strings.append("a");
    strings.append("b");
    EXPECT_EQ(CIMValue(strings).toString(), String("a b "));
    Array<Uint8> bytes;
    bytes.append(1);
    bytes.append(22);
    EXPECT_EQ(CIMValue(bytes).toString(), String("1 22 "));
    Array<Boolean> flags;
    flags.append(true);
    EXPECT_EQ(CIMValue(flags).toString(), String("TRUE "));
    EXPECT_EQ(CIMValue(Array<Sint64>()).toString(), String());
}

TEST(CIMValue, InstancesAreStoredAsCopies) {
    CIMInstance instance("VLK_X");
    instance.addProperty(CIMProperty("Id", String("1")));
    CIMValue v(instance);
    instance.getProperty(0).setValue(CIMValue(String("changed")));
    CIMInstance out;
    v.get(out);
    String id;
    out.getProperty(out.findProperty("Id")).getValue().get(id);
    EXPECT_EQ(id, String("1"));
    EXPECT_EQ(v.toString(), String("instance of VLK_X { Id = \"1\"; };"));
    const CIMInstance uninitialized;
    EXPECT_THROW(CIMValue{uninitialized}, UninitializedObjectException);
}
