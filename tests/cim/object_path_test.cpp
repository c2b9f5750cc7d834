// CIMObjectPath: text form, parsing, sorted keys, escapes, references, equality and hashing.
#include <Pegasus/Common/CIMObjectPath.h>

#include <gtest/gtest.h>

#include <Pegasus/Common/CIMValue.h>

PEGASUS_USING_PEGASUS;

namespace {

Array<CIMKeyBinding> keys(std::initializer_list<CIMKeyBinding> list) {
    Array<CIMKeyBinding> result;
    for (const CIMKeyBinding& k : list)
        result.append(k);
    return result;
}

String pathText(const char* text) {
    return CIMObjectPath(text).toString();
}

}  // namespace

TEST(CIMObjectPath, ToStringLayout) {
    Array<CIMKeyBinding> k = keys({CIMKeyBinding("Name", "a\"b", CIMKeyBinding::STRING),
                                   CIMKeyBinding("Id", "5", CIMKeyBinding::NUMERIC)});
    EXPECT_EQ(CIMObjectPath("", "root/cimv2", "CIM_Foo", k).toString(),
              String("root/cimv2:CIM_Foo.Id=5,Name=\"a\\\"b\""));
    EXPECT_EQ(CIMObjectPath("myhost", "root/cimv2", "CIM_Foo",
                            keys({CIMKeyBinding("Id", "5", CIMKeyBinding::NUMERIC)}))
                  .toString(),
              String("//myhost/root/cimv2:CIM_Foo.Id=5"));
    EXPECT_EQ(CIMObjectPath("", CIMNamespaceName(), "CIM_Foo").toString(), String("CIM_Foo"));
    // A host without a namespace still writes the ':' separator.
    EXPECT_EQ(CIMObjectPath("h", CIMNamespaceName(), "C").toString(), String("//h/:C"));
    EXPECT_EQ(CIMObjectPath().toString(), String());
    EXPECT_EQ(CIMObjectPath("", CIMNamespaceName(), "C",
                            keys({CIMKeyBinding("b", "true", CIMKeyBinding::BOOLEAN),
                                  CIMKeyBinding("p", "x\\y", CIMKeyBinding::STRING)}))
                  .toString(),
              String("C.b=true,p=\"x\\\\y\""));
}

TEST(CIMObjectPath, KeysAreSortedCaseInsensitively) {
    CIMObjectPath p("", "root", "C",
                    keys({CIMKeyBinding("zeta", "1", CIMKeyBinding::NUMERIC),
                          CIMKeyBinding("Alpha", "2", CIMKeyBinding::NUMERIC),
                          CIMKeyBinding("beta", "3", CIMKeyBinding::NUMERIC)}));
    const Array<CIMKeyBinding>& k = p.getKeyBindings();
    ASSERT_EQ(k.size(), 3u);
    EXPECT_EQ(k[0].getName().getString(), String("Alpha"));
    EXPECT_EQ(k[1].getName().getString(), String("beta"));
    EXPECT_EQ(k[2].getName().getString(), String("zeta"));
    EXPECT_EQ(pathText("C.z=1,B=2,a=3"), String("C.a=3,B=2,z=1"));
    CIMObjectPath q;
    q.setKeyBindings(keys({CIMKeyBinding("y", "1", CIMKeyBinding::NUMERIC),
                           CIMKeyBinding("X", "2", CIMKeyBinding::NUMERIC)}));
    EXPECT_EQ(q.getKeyBindings()[0].getName().getString(), String("X"));
}

TEST(CIMObjectPath, ParseRoundTrips) {
    const char* texts[] = {
        "CIM_Foo",
        "root/cimv2:CIM_Foo",
        "root/cimv2:CIM_Foo.Id=5,Name=\"a\\\"b\"",
        "//myhost/root/cimv2:CIM_Foo.Id=5",
        "//10.0.0.1:5988/root:C.k=\"v\"",
        "//[::1]:5989/root:C.k=\"v\"",
        "//host.example.com/root/korva:VLK_Disk.DeviceID=\"sda\",SystemName=\"h\"",
        "C.flag=TRUE,n=-12,x=0x1F",
        "C.s=\"with.dot:colon,comma=equals\"",
        "C.s=\"back\\\\slash\"",
        "C.ref=\"root:A.k=\\\"v\\\"\"",
        "C.s=\"\"",
    };
    for (const char* t : texts) {
        CIMObjectPath p(t);
        EXPECT_EQ(p.toString(), String(t)) << t;
        EXPECT_TRUE(CIMObjectPath(p.toString()) == p) << t;
    }
}

TEST(CIMObjectPath, ParseSplitsTheParts) {
    CIMObjectPath p("//myhost:5988/root/cimv2:CIM_Foo.Name=\"a\\\"b\\\\c\",Id=5,On=false");
    EXPECT_EQ(p.getHost(), String("myhost:5988"));
    EXPECT_EQ(p.getNameSpace().getString(), String("root/cimv2"));
    EXPECT_EQ(p.getClassName().getString(), String("CIM_Foo"));
    const Array<CIMKeyBinding>& k = p.getKeyBindings();
    ASSERT_EQ(k.size(), 3u);
    EXPECT_EQ(k[0].getName().getString(), String("Id"));
    EXPECT_EQ(k[0].getType(), CIMKeyBinding::NUMERIC);
    EXPECT_EQ(k[1].getName().getString(), String("Name"));
    EXPECT_EQ(k[1].getValue(), String("a\"b\\c"));  // escapes removed
    EXPECT_EQ(k[1].getType(), CIMKeyBinding::STRING);
    EXPECT_EQ(k[2].getType(), CIMKeyBinding::BOOLEAN);
    EXPECT_EQ(k[2].getValue(), String("false"));

    CIMObjectPath dotted("C.k=\"x\"");  // the '.' of the class is found before any ':'
    EXPECT_TRUE(dotted.getNameSpace().isNull());
    CIMObjectPath colonInValue("C.k=\"a:b\"");
    EXPECT_TRUE(colonInValue.getNameSpace().isNull());
    EXPECT_EQ(colonInValue.getKeyBindings()[0].getValue(), String("a:b"));
}

TEST(CIMObjectPath, QuotedPathWithKeysIsAReference) {
    CIMObjectPath p("C.r=\"//h/root:A.z=1,b=\\\"s\\\"\",s=\"a=b\",t=\"root:A\"");
    const Array<CIMKeyBinding>& k = p.getKeyBindings();
    ASSERT_EQ(k.size(), 3u);
    EXPECT_EQ(k[0].getType(), CIMKeyBinding::REFERENCE);
    // The nested keys are sorted too.
    EXPECT_EQ(k[0].getValue(), String("//h/root:A.b=\"s\",z=1"));
    EXPECT_EQ(k[1].getType(), CIMKeyBinding::STRING);  // '=' but not a path
    EXPECT_EQ(k[2].getType(), CIMKeyBinding::STRING);  // a path, but without keys
}

TEST(CIMObjectPath, MalformedTextThrowsAndKeepsTheOldValue) {
    const char* bad[] = {"//host",
                         "//host/CIM_Foo",  // a host needs a namespace
                         "//bad host/root:C",
                         "//h:port/root:C",
                         "//[zz]/root:C",
                         "1bad",
                         "root//x:C",
                         "C.",
                         "C.k",
                         "C.k=",
                         "C.k=1,",
                         "C.k=1,,j=2",
                         "C.k = 1",
                         "C.k=abc",
                         "C.k=Tru",
                         "C.k=1.5",
                         "C.k=\"open",
                         "C.k=\"bad\\escape\"",
                         "C.k=\"v\"x",
                         "C.1k=2"};
    for (const char* t : bad) {
        EXPECT_THROW(CIMObjectPath p(t), MalformedObjectNameException) << t;
    }
    CIMObjectPath kept("root:C.k=1");
    EXPECT_THROW(kept.set("C.k="), MalformedObjectNameException);
    EXPECT_EQ(kept.toString(), String("root:C.k=1"));
    kept = String();  // empty text is the empty path, not an error
    EXPECT_TRUE(kept == CIMObjectPath());
    try {
        CIMObjectPath p("C.k=");
        FAIL();
    } catch (const MalformedObjectNameException& e) {
        EXPECT_EQ(e.getMessage(), String("malformed object name: C.k="));
    }
}

TEST(CIMObjectPath, HostValidation) {
    CIMObjectPath p;
    const char* good[] = {"",          "h",          "host-1.example.com",
                          "my_host",   "10.1.2.3",   "10.1.2.3:5988",
                          "[fe80::1]", "[::1]:5989", "h:1"};
    for (const char* h : good) {
        EXPECT_NO_THROW(p.setHost(h)) << h;
        EXPECT_EQ(p.getHost(), String(h));
    }
    const char* bad[] = {"-h",        "h..x",  "h x",  "h:",    "h:port",
                         "256.1.1.1", "1.2.3", "[::1", "[::g]", "h:123456"};
    for (const char* h : bad) {
        EXPECT_THROW(p.setHost(h), MalformedObjectNameException) << h;
    }
    EXPECT_THROW(CIMObjectPath("a b", "root", "C"), MalformedObjectNameException);
}

TEST(CIMObjectPath, EqualityRules) {
    CIMObjectPath base("//Host/root/CIMV2:cim_foo.Id=16,Name=\"x\"");
    // Host, namespace and class compare case-insensitively.
    EXPECT_TRUE(base == CIMObjectPath("//host/ROOT/cimv2:CIM_Foo.id=0x10,name=\"x\""));
    // String values compare case-sensitively.
    EXPECT_TRUE(base != CIMObjectPath("//host/root/cimv2:CIM_Foo.Id=16,Name=\"X\""));
    // Host and namespace take part.
    EXPECT_TRUE(base != CIMObjectPath("root/cimv2:CIM_Foo.Id=16,Name=\"x\""));
    EXPECT_TRUE(base != CIMObjectPath("//host/root/other:CIM_Foo.Id=16,Name=\"x\""));
    EXPECT_TRUE(base != CIMObjectPath("//host/root/cimv2:CIM_Foo.Id=16"));
    EXPECT_TRUE(base != CIMObjectPath("//host/root/cimv2:CIM_Bar.Id=16,Name=\"x\""));
    // A null namespace is the same as an empty one.
    CIMObjectPath local("", CIMNamespaceName(), "C");
    EXPECT_TRUE(local == CIMObjectPath("C"));
    EXPECT_TRUE(local.identical(CIMObjectPath("c")));
    // Key order given does not matter, the keys are sorted.
    EXPECT_TRUE(CIMObjectPath("C.a=1,b=2") == CIMObjectPath("C.b=2,a=1"));
    // A key's type takes part.
    EXPECT_TRUE(CIMObjectPath("C.k=1") != CIMObjectPath("C.k=\"1\""));
}

TEST(CIMObjectPath, HashAgreesWithEquality) {
    const char* groups[][3] = {
        {"//H/root:C.k=16,s=\"v\"", "//h/ROOT:c.K=0x10,S=\"v\"", "//h/root:C.s=\"v\",k=+16"},
        {"C.b=TRUE", "c.B=true", "C.b=True"},
        {"C.r=\"root:A.x=1,y=2\"", "C.r=\"ROOT:a.y=2,x=0x1\"", "c.R=\"root:A.Y=2,X=1\""},
    };
    for (auto& group : groups) {
        CIMObjectPath first(group[0]);
        for (const char* t : group) {
            CIMObjectPath other(t);
            EXPECT_TRUE(first == other) << t;
            EXPECT_EQ(first.makeHashCode(), other.makeHashCode()) << t;
        }
    }
    EXPECT_NE(CIMObjectPath("C.k=1").makeHashCode(), CIMObjectPath("C.k=2").makeHashCode());
    EXPECT_NE(CIMObjectPath("C.s=\"a\"").makeHashCode(), CIMObjectPath("C.s=\"A\"").makeHashCode());
}
