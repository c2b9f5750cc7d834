// CIMName and CIMNamespaceName legality, exceptions and case-insensitive equality; CIMType.
#include <Pegasus/Common/CIMName.h>

#include <gtest/gtest.h>

#include <Pegasus/Common/CIMType.h>

PEGASUS_USING_PEGASUS;

TEST(CIMName, LegalNames) {
    // Non-ASCII letters are allowed; U+FFFD is past the allowed range.
    for (const char* name : {"CIM_Foo", "_x1", "\xC3\xA9t\xC3\xA9"}) {
        EXPECT_TRUE(CIMName::legal(name)) << name;
    }
    for (const char* name : {"", "1abc", "a b", "a-b", "a.b", "\xEF\xBF\xBD"}) {
        EXPECT_FALSE(CIMName::legal(name)) << name;
    }
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
    for (const char* name : {"root", "root/cimv2", "/root/korva"}) {
        EXPECT_TRUE(CIMNamespaceName::legal(name)) << name;
    }
    for (const char* name : {"", "/", "root/", "root//cimv2", "root/2x", "root:cimv2"}) {
        EXPECT_FALSE(CIMNamespaceName::legal(name)) << name;
    }
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
