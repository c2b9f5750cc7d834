// CIMName and CIMNamespaceName legality, exceptions and case-insensitive equality; CIMType.
#include <Pegasus/Common/CIMName.h>

#include <gtest/gtest.h>

#include <Pegasus/Common/CIMType.h>

PEGASUS_USING_PEGASUS;

TEST(CIMName, LegalNames) {
    EXPECT_TRUE(CIMName::legal("CIM_Foo"));
    EXPECT_TRUE(CIMName::legal("_x1"));
    EXPECT_TRUE(CIMName::legal("\xC3\xA9t\xC3\xA9"));  // non-ASCII letters are allowed
    EXPECT_FALSE(CIMName::legal(""));
    EXPECT_FALSE(CIMName::legal("1abc"));
    EXPECT_FALSE(CIMName::legal("a b"));
    EXPECT_FALSE(CIMName::legal("a-b"));
    EXPECT_FALSE(CIMName::legal("a.b"));
    EXPECT_FALSE(CIMName::legal("\xEF\xBF\xBD"));  // U+FFFD is past the allowed range
}

TEST(CIMName, IllegalNameThrowsWithMessage) {
    try {
        CIMName name("9lives");
        FAIL() << "no exception";
    } catch (const InvalidNameException& e) {
        EXPECT_EQ(e.getMessage(), String("The CIM name is not valid: 9lives"));
    }
    CIMName name("Good");
    EXPECT_THROW(name = String("bad name"), InvalidNameException);
    EXPECT_EQ(name.getString(), String("Good"));
}

TEST(CIMName, NullAndClear) {
    CIMName name;
    EXPECT_TRUE(name.isNull());
    EXPECT_EQ(name.getString(), String());
    name = String("X");
    EXPECT_FALSE(name.isNull());
    name.clear();
    EXPECT_TRUE(name.isNull());
}

TEST(CIMName, EqualityIgnoresCase) {
    CIMName a("CIM_Foo"), b("cim_FOO"), c("CIM_Bar");
    EXPECT_TRUE(a == b);
    EXPECT_TRUE(a.equal(b));
    EXPECT_TRUE(a != c);
    EXPECT_EQ(b.getString(), String("cim_FOO"));  // case is kept
    EXPECT_TRUE(CIMName() == CIMName());
    EXPECT_FALSE(CIMName() == a);
}

TEST(CIMNamespaceName, Legality) {
    EXPECT_TRUE(CIMNamespaceName::legal("root"));
    EXPECT_TRUE(CIMNamespaceName::legal("root/cimv2"));
    EXPECT_TRUE(CIMNamespaceName::legal("/root/korva"));
    EXPECT_FALSE(CIMNamespaceName::legal(""));
    EXPECT_FALSE(CIMNamespaceName::legal("/"));
    EXPECT_FALSE(CIMNamespaceName::legal("root/"));
    EXPECT_FALSE(CIMNamespaceName::legal("root//cimv2"));
    EXPECT_FALSE(CIMNamespaceName::legal("root/2x"));
    EXPECT_FALSE(CIMNamespaceName::legal("root:cimv2"));
}

TEST(CIMNamespaceName, LeadingSlashIsDroppedAndCaseIgnored) {
    CIMNamespaceName ns("/root/Korva");
    EXPECT_EQ(ns.getString(), String("root/Korva"));
    EXPECT_TRUE(ns == CIMNamespaceName("ROOT/korva"));
    EXPECT_TRUE(ns != CIMNamespaceName("root/cimv2"));
    CIMNamespaceName null;
    EXPECT_TRUE(null.isNull());
    EXPECT_EQ(null.getString(), String());
    try {
        CIMNamespaceName bad("root//x");
        FAIL() << "no exception";
    } catch (const InvalidNamespaceNameException& e) {
        EXPECT_EQ(e.getMessage(), String("invalid CIM namespace name: root//x"));
    }
}

TEST(CIMType, NumberingAndNames) {
    const char* names[] = {"boolean", "uint8",    "sint8",     "uint16", "sint16",  "uint32",
                           "sint32",  "uint64",   "sint64",    "real32", "real64",  "char16",
                           "string",  "datetime", "reference", "object", "instance"};
    for (int i = 0; i <= CIMTYPE_INSTANCE; i++)
        EXPECT_STREQ(cimTypeToString(CIMType(i)), names[i]) << i;
    EXPECT_EQ(int(CIMTYPE_STRING), 12);
    EXPECT_EQ(int(CIMTYPE_INSTANCE), 16);
}
