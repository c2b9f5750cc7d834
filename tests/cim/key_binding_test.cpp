// CIMKeyBinding: construction from values, comparison rules per type and equal(CIMValue).
#include <Pegasus/Common/CIMObjectPath.h>

#include <gtest/gtest.h>

#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMValue.h>

PEGASUS_USING_PEGASUS;

namespace {

CIMKeyBinding kb(const char* name, const char* value, CIMKeyBinding::Type type) {
    return CIMKeyBinding(name, value, type);
}

}  // namespace

TEST(CIMKeyBinding, FromValueMapsTypesAndText) {
    EXPECT_EQ(int(CIMKeyBinding::BOOLEAN) * 1000 + int(CIMKeyBinding::STRING) * 100 +
                  int(CIMKeyBinding::NUMERIC) * 10 + int(CIMKeyBinding::REFERENCE),
              123);  // the SDK's numbering
    struct Case {
        CIMValue value;
        CIMKeyBinding::Type type;
        const char* text;
    } cases[] = {
        {CIMValue(true), CIMKeyBinding::BOOLEAN, "TRUE"},
        {CIMValue(Uint8(7)), CIMKeyBinding::NUMERIC, "7"},
        {CIMValue(Sint64(-5)), CIMKeyBinding::NUMERIC, "-5"},
        {CIMValue(Real64(2.0)), CIMKeyBinding::NUMERIC, "2.0000000000000000e+00"},
        {CIMValue(Char16('z')), CIMKeyBinding::STRING, "z"},
        {CIMValue(String("s")), CIMKeyBinding::STRING, "s"},
        {CIMValue(CIMDateTime()), CIMKeyBinding::STRING, "00000000000000.000000:000"},
        {CIMValue(CIMObjectPath("root:A.k=1")), CIMKeyBinding::REFERENCE, "root:A.k=1"},
    };
    for (const Case& c : cases) {
        CIMKeyBinding k("K", c.value);
        EXPECT_EQ(k.getType(), c.type) << c.text;
        EXPECT_EQ(k.getValue(), String(c.text));
        EXPECT_TRUE(k.equal(c.value)) << c.text;
    }
    Array<Uint32> arr;
    arr.append(1);
    EXPECT_THROW(CIMKeyBinding("K", CIMValue(arr)), TypeMismatchException);
    EXPECT_THROW(CIMKeyBinding("K", CIMValue(CIMInstance("X"))), TypeMismatchException);
}

TEST(CIMKeyBinding, StringValuesAreCaseSensitive) {
    EXPECT_TRUE(kb("Name", "abc", CIMKeyBinding::STRING) ==
                kb("NAME", "abc", CIMKeyBinding::STRING));
    EXPECT_FALSE(kb("Name", "abc", CIMKeyBinding::STRING) ==
                 kb("Name", "ABC", CIMKeyBinding::STRING));
    EXPECT_FALSE(kb("Name", "1", CIMKeyBinding::STRING) == kb("Name", "1", CIMKeyBinding::NUMERIC));
    EXPECT_FALSE(kb("Name", "a", CIMKeyBinding::STRING) == kb("Other", "a", CIMKeyBinding::STRING));
}

// Whether two bindings of type with the given values compare equal.
bool Same(CIMKeyBinding::Type type, const char* a, const char* b) {
    return kb("K", a, type) == kb("K", b, type);
}

TEST(CIMKeyBinding, NumericAndReferenceValuesCompareByMeaning) {
    const struct {
        CIMKeyBinding::Type type;
        const char *a, *b;
        bool same;
    } cases[] = {
        {CIMKeyBinding::NUMERIC, "16", "0x10", true},
        {CIMKeyBinding::NUMERIC, "255", "0XfF", true},
        {CIMKeyBinding::NUMERIC, "-1", "-0x1", true},
        {CIMKeyBinding::NUMERIC, "+7", "7", true},
        {CIMKeyBinding::NUMERIC, "18446744073709551615", "0xFFFFFFFFFFFFFFFF", true},
        {CIMKeyBinding::NUMERIC, "16", "17", false},
        {CIMKeyBinding::NUMERIC, "-16", "16", false},
        // Leading zeros, fractions and values beyond 64 bits compare as text.
        {CIMKeyBinding::NUMERIC, "010", "10", false},
        {CIMKeyBinding::NUMERIC, "010", "010", true},
        {CIMKeyBinding::NUMERIC, "1.0", "1", false},
        {CIMKeyBinding::NUMERIC, "1.0", "1.0", true},
        {CIMKeyBinding::NUMERIC, "18446744073709551616", "0x10000000000000000", false},
        {CIMKeyBinding::REFERENCE, "root:A.x=1,y=\"s\"", "ROOT:a.Y=\"s\",X=0x1", true},
        {CIMKeyBinding::REFERENCE, "root:A.y=\"s\"", "root:A.y=\"S\"", false},
        {CIMKeyBinding::REFERENCE, "//h/root:A.x=1", "root:A.x=1", false},
        // Texts that are not paths compare as text.
        {CIMKeyBinding::REFERENCE, "not a path", "not a path", true},
        {CIMKeyBinding::REFERENCE, "not a path", "Not a path", false},
        {CIMKeyBinding::BOOLEAN, "TRUE", "true", true},
        {CIMKeyBinding::BOOLEAN, "TRUE", "FALSE", false},
        {CIMKeyBinding::STRING, "abc", "ABC", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Same(c.type, c.a, c.b), c.same) << c.a << " vs " << c.b;
    }
}

TEST(CIMKeyBinding, EqualParsesTheTextAsTheValuesType) {
    CIMKeyBinding hex = kb("N", "0x10", CIMKeyBinding::NUMERIC);
    EXPECT_TRUE(hex.equal(CIMValue(Uint16(16))));
    EXPECT_TRUE(hex.equal(CIMValue(Sint32(16))));
    EXPECT_FALSE(hex.equal(CIMValue(Uint16(17))));
    EXPECT_FALSE(kb("N", "300", CIMKeyBinding::NUMERIC).equal(CIMValue(Uint8(44))));  // no wrap
    EXPECT_TRUE(kb("N", "-128", CIMKeyBinding::NUMERIC).equal(CIMValue(Sint8(-128))));
    EXPECT_FALSE(kb("N", "-129", CIMKeyBinding::NUMERIC).equal(CIMValue(Sint8(127))));
    EXPECT_FALSE(kb("N", "-1", CIMKeyBinding::NUMERIC).equal(CIMValue(Uint32(4294967295u))));
    EXPECT_TRUE(kb("N", "1.5", CIMKeyBinding::NUMERIC).equal(CIMValue(Real32(1.5f))));
    EXPECT_FALSE(kb("N", "16", CIMKeyBinding::STRING).equal(CIMValue(Uint16(16))));
    EXPECT_TRUE(kb("B", "true", CIMKeyBinding::BOOLEAN).equal(CIMValue(true)));
    EXPECT_FALSE(kb("B", "true", CIMKeyBinding::BOOLEAN).equal(CIMValue(false)));
    EXPECT_TRUE(kb("S", "abc", CIMKeyBinding::STRING).equal(CIMValue(String("abc"))));
    EXPECT_FALSE(kb("S", "abc", CIMKeyBinding::STRING).equal(CIMValue(String("ABC"))));
    EXPECT_TRUE(kb("D", "20250101000000.000000+060", CIMKeyBinding::STRING)
                    .equal(CIMValue(CIMDateTime("20241231230000.000000+000"))));
    EXPECT_FALSE(kb("D", "junk", CIMKeyBinding::STRING).equal(CIMValue(CIMDateTime())));
    EXPECT_TRUE(kb("R", "root:A.k=16", CIMKeyBinding::REFERENCE)
                    .equal(CIMValue(CIMObjectPath("root:a.K=0x10"))));
    EXPECT_FALSE(kb("S", "abc", CIMKeyBinding::STRING).equal(CIMValue(CIMTYPE_STRING, false)));
}
