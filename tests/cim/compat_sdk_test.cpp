// Drives the SDK-style provider of compat_sdk_usage.cpp the way a CIM server would: through
// PegasusCreateProvider, dynamic_cast to the interfaces, and enforcing response handlers.
#include <gtest/gtest.h>

#include <Pegasus/Provider/CIMInstanceProvider.h>
#include <Pegasus/Provider/CIMMethodProvider.h>
#include <Pegasus/Provider/CIMOMHandleBackend.h>

#include "TestHandlers.h"

PEGASUS_NAMESPACE_BEGIN
extern "C" CIMProvider* PegasusCreateProvider(const String& providerName);
PEGASUS_NAMESPACE_END

PEGASUS_USING_PEGASUS;
using velk_test::TestInstanceHandler;
using velk_test::TestMethodResultHandler;
using velk_test::TestObjectPathHandler;
using velk_test::TestPlainHandler;

namespace {

// What a server hands the provider: host and request namespace filled in.
CIMObjectPath serverPath(const char* text) {
    CIMObjectPath path(text);
    path.setHost("server.example.com");
    path.setNameSpace("root/sample");
    return path;
}

String message(const CIMInstance& instance) {
    String text;
    instance.getProperty(instance.findProperty("Message")).getValue().get(text);
    return text;
}

class SdkProvider : public ::testing::Test {
  protected:
    void SetUp() override {
        provider = PegasusCreateProvider("sampleprovider");
        ASSERT_NE(provider, nullptr);
        instances = dynamic_cast<CIMInstanceProvider*>(provider);
        methods = dynamic_cast<CIMMethodProvider*>(provider);
        ASSERT_NE(instances, nullptr);
        ASSERT_NE(methods, nullptr);
        provider->initialize(cimom);
    }
    void TearDown() override {
        if (provider)
            provider->terminate();  // deletes the provider
        EXPECT_EQ(CIMOMHandleBackend::getUnloadHintCount(cimom), 0u);
    }

    CIMOMHandle cimom;
    OperationContext context;
    CIMProvider* provider = nullptr;
    CIMInstanceProvider* instances = nullptr;
    CIMMethodProvider* methods = nullptr;
};

}  // namespace

TEST(SdkEntryPoint, ChecksTheProviderName) {
    EXPECT_EQ(PegasusCreateProvider("OtherProvider"), nullptr);
    CIMProvider* legacy = PegasusCreateProvider("SampleProvider (PROVIDER)");
    ASSERT_NE(legacy, nullptr);
    CIMOMHandle handle;
    legacy->initialize(handle);
    EXPECT_EQ(CIMOMHandleBackend::getUnloadHintCount(handle), 1u);
    legacy->terminate();
    EXPECT_EQ(CIMOMHandleBackend::getUnloadHintCount(handle), 0u);
}

TEST_F(SdkProvider, EnumeratesNamesAndInstances) {
    TestObjectPathHandler names;
    instances->enumerateInstanceNames(context, serverPath("Sample_Greeting"), names);
    EXPECT_TRUE(names.completed());
    ASSERT_EQ(names.paths.size(), 3u);
    EXPECT_EQ(names.paths[1].toString(), String("Sample_Greeting.Identifier=2"));

    TestInstanceHandler all;
    instances->enumerateInstances(context, serverPath("Sample_Greeting"), false, false,
                                  CIMPropertyList(), all);
    ASSERT_EQ(all.instances.size(), 3u);
    EXPECT_EQ(message(all.instances[2]), String("Hallo"));
}

TEST_F(SdkProvider, GetInstanceMatchesServerPathsAndClonesWhatItDelivers) {
    TestInstanceHandler one(1);
    instances->getInstance(context, serverPath("Sample_Greeting.Identifier=0x2"), false, false,
                           CIMPropertyList(), one);
    ASSERT_EQ(one.instances.size(), 1u);
    EXPECT_EQ(message(one.instances[0]), String("Bonjour"));
    // Changing the delivered copy does not reach the provider's own instance.
    one.instances[0]
        .getProperty(one.instances[0].findProperty("Message"))
        .setValue(CIMValue(String("tampered")));
    TestInstanceHandler again(1);
    instances->getInstance(context, serverPath("Sample_Greeting.Identifier=2"), false, false,
                           CIMPropertyList(), again);
    EXPECT_EQ(message(again.instances[0]), String("Bonjour"));

    TestInstanceHandler missing(1);
    try {
        instances->getInstance(context, serverPath("Sample_Greeting.Identifier=9"), false, false,
                               CIMPropertyList(), missing);
        FAIL();
    } catch (const CIMException& e) {
        EXPECT_EQ(e.getCode(), CIM_ERR_NOT_FOUND);
    }
}

TEST_F(SdkProvider, CreateModifyDelete) {
    CIMInstance fresh("Sample_Greeting");
    fresh.addProperty(CIMProperty("Identifier", Uint8(7)));
    fresh.addProperty(CIMProperty("Message", String("Hej")));
    TestObjectPathHandler created(1);
    instances->createInstance(context, serverPath("Sample_Greeting"), fresh, created);
    ASSERT_EQ(created.paths.size(), 1u);
    EXPECT_EQ(created.paths[0].toString(), String("Sample_Greeting.Identifier=7"));

    TestObjectPathHandler duplicate(1);
    EXPECT_THROW(
        instances->createInstance(context, serverPath("Sample_Greeting"), fresh, duplicate),
        CIMObjectAlreadyExistsException);

    CIMInstance change("Sample_Greeting");
    change.addProperty(CIMProperty("Message", String("Hei")));
    TestPlainHandler modified;
    instances->modifyInstance(context, serverPath("Sample_Greeting.Identifier=7"), change, false,
                              CIMPropertyList(), modified);
    EXPECT_TRUE(modified.completed());
    TestInstanceHandler check(1);
    instances->getInstance(context, serverPath("Sample_Greeting.Identifier=7"), false, false,
                           CIMPropertyList(), check);
    EXPECT_EQ(message(check.instances[0]), String("Hei"));

    TestPlainHandler deleted;
    instances->deleteInstance(context, serverPath("Sample_Greeting.Identifier=7"), deleted);
    TestObjectPathHandler names;
    instances->enumerateInstanceNames(context, serverPath("Sample_Greeting"), names);
    EXPECT_EQ(names.paths.size(), 3u);
    TestPlainHandler again;
    EXPECT_THROW(
        instances->deleteInstance(context, serverPath("Sample_Greeting.Identifier=7"), again),
        CIMObjectNotFoundException);
}

TEST_F(SdkProvider, InvokeMethod) {
    Array<CIMParamValue> in;
    in.append(CIMParamValue("name", CIMValue(String("World"))));
    TestMethodResultHandler result;
    methods->invokeMethod(context, serverPath("Sample_Greeting.Identifier=1"), "sayhello", in,
                          result);
    EXPECT_TRUE(result.completed());
    ASSERT_EQ(result.returnValues.size(), 1u);
    String greeting;
    result.returnValues[0].get(greeting);
    EXPECT_EQ(greeting, String("Hello, World"));
    ASSERT_EQ(result.outParameters.size(), 1u);
    EXPECT_EQ(result.outParameters[0].getParameterName(), String("Length"));
    EXPECT_TRUE(result.outParameters[0].getValue() == CIMValue(greeting.size()));

    TestMethodResultHandler unknown;
    try {
        methods->invokeMethod(context, serverPath("Sample_Greeting.Identifier=1"), "Nope", in,
                              unknown);
        FAIL();
    } catch (const CIMException& e) {
        EXPECT_EQ(e.getCode(), CIM_ERR_METHOD_NOT_FOUND);
        EXPECT_EQ(e.getMessage(), String("Nope"));
    }
    TestMethodResultHandler noName;
    EXPECT_THROW(methods->invokeMethod(context, serverPath("Sample_Greeting.Identifier=1"),
                                       "SayHello", Array<CIMParamValue>(), noName),
                 CIMInvalidParameterException);
}
