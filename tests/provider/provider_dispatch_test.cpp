// The provider entry point, initialization, request checks, routing by class
// name and refusals, exercised through the library loaded with dlopen.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <Pegasus/Common/InternalException.h>
#include <Pegasus/Provider/CIMOMHandleBackend.h>
#include <Pegasus/Provider/ProviderException.h>

#include "CollectingHandlers.h"
#include "ProviderFixture.h"
#include "ProviderTestText.h"

using namespace Pegasus;
using velk::cimserver::CollectingInstanceHandler;
using velk::cimserver::CollectingPathHandler;
using velk::cimserver::PlainHandler;

namespace {

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Position of a log line fragment, for checking the order of events.
size_t positionOf(const std::string& text, const std::string& part) {
    size_t at = text.find(part);
    EXPECT_NE(at, std::string::npos) << "missing log text: " << part;
    return at;
}

}  // namespace

class EntryPointTest : public ProviderFixture {};

TEST_F(EntryPointTest, CreatesTheProviderByNameIgnoringCaseAndRefusesOthers) {
    for (const char* name : {"VLK_DiagProvider", "vlk_diagprovider", "VLK_DIAGPROVIDER"}) {
        CIMProvider* created = library->createProvider(name);
        ASSERT_NE(created, nullptr) << name;
        EXPECT_NE(dynamic_cast<CIMInstanceProvider*>(created), nullptr);
        EXPECT_NE(dynamic_cast<CIMMethodProvider*>(created), nullptr);
        delete created;
    }
    for (const char* name :
         {"", "VLK_DiagProvider2", "OtherProvider", "VLK_DiagProvider (PROVIDER)"}) {
        EXPECT_EQ(library->createProvider(name), nullptr) << name;
    }
}

class InitializationTest : public ProviderFixture {};

TEST_F(InitializationTest, ReadsTheLogConfigurationFromTheBinDirectory) {
    writeLogConfiguration();
    createAndInitialize();
    EXPECT_TRUE(contains(logText(), "VLK_DiagProvider INFO (")) << logText();
    EXPECT_TRUE(contains(logText(), ")initialize(...) done"));
    EXPECT_EQ(repository->unloadHints(), 1u);
}

TEST_F(InitializationTest, MissingOrMalformedLogConfigurationFailsWithCimErrFailed) {
    for (bool malformed : {false, true}) {
        if (malformed) {
            writeFile("velklog.props",
                      "log4cpp.rootCategory=DEBUG, broken\n"
                      "log4cpp.appender.broken=NoSuchAppenderKind\n");
        }
        try {
            createAndInitialize();
            ADD_FAILURE() << "initialize accepted the log configuration, malformed " << malformed;
        } catch (const CIMException& e) {
            EXPECT_EQ(e.getCode(), CIM_ERR_FAILED);
            std::string message(e.getMessage().getCString());
            EXPECT_EQ(message.rfind("VLK_DiagProvider log4cpp error: ", 0), 0u) << message;
        }
        // The handle was stored and unloading forbidden before the log failed.
        EXPECT_EQ(repository->unloadHints(), malformed ? 2u : 1u);
        terminate();
    }
}

TEST_F(InitializationTest, TerminateStopsTheEngineBeforeTheLogShutsDown) {
    writeLogConfiguration();
    createAndInitialize();
    terminate();
    std::string text = logText();
    size_t enter = positionOf(text, "In terminate provider call");
    size_t engine = positionOf(text, "VLK_Engine INFO");
    size_t stopped = positionOf(text, "VLK_Engine stopped. Shutting down log4cpp...");
    EXPECT_LT(enter, engine);
    EXPECT_LT(engine, stopped);
}

class DispatchTest : public ProviderFixture {
  protected:
    void SetUp() override {
        ProviderFixture::SetUp();
        startEngineBackedProvider();
    }
};

TEST_F(DispatchTest, RoutesEveryServedClassInAnyCase) {
    const std::vector<std::pair<std::string, std::string>> routes = {
        {"vlk_diagtest", "VLK_DiagTest INFO"},
        {"VLK_DIAGRESULT", ") In enumerateInstances IF call for VLK_DIAGRESULT"},
        {"vlk_diagtestformse", "In enumerateInstances IF call for vlk_diagtestformse"},
        {"Vlk_DiskDrive", "VLK_MSEBuilder INFO"},
        {"vlk_parallelport", "   In enumerateInstances IF call for vlk_parallelport"},
    };
    for (const auto& [className, logged] : routes) {
        CollectingInstanceHandler handler;
        instances->enumerateInstances(OperationContext(), classPath(className.c_str()), false,
                                      false, CIMPropertyList(), handler);
        EXPECT_TRUE(handler.protocol().isComplete()) << className;
        EXPECT_TRUE(contains(logText(), logged)) << className << " not routed:\n" << logText();
    }
}

TEST_F(DispatchTest, UnservedClassCompletesWithNothing) {
    CollectingInstanceHandler handler;
    instances->enumerateInstances(OperationContext(), classPath("CIM_Fan"), false, false,
                                  CIMPropertyList(), handler);
    EXPECT_TRUE(handler.protocol().isComplete());
    EXPECT_EQ(handler.instances().size(), 0u);
    EXPECT_FALSE(contains(logText(), "IF call for CIM_Fan"));

    CollectingPathHandler names;
    instances->enumerateInstanceNames(OperationContext(), classPath("CIM_Fan"), names);
    EXPECT_TRUE(names.protocol().isComplete());
    EXPECT_EQ(names.paths().size(), 0u);
}

TEST_F(DispatchTest, GetAndEnumerationOfResultsRefreshRunningTests) {
    CollectingInstanceHandler enumeration;
    instances->enumerateInstances(OperationContext(), classPath("VLK_DiagResult"), false, false,
                                  CIMPropertyList(), enumeration);
    auto refreshes = [this] {
        std::string log = logText();
        size_t count = 0;
        for (size_t at = log.find("Update() #running tests"); at != std::string::npos;
             at = log.find("Update() #running tests", at + 1)) {
            count++;
        }
        return count;
    };
    EXPECT_EQ(refreshes(), 1u);

    CIMObjectPath result = classPath("VLK_DiagResult");
    result.setKeyBindings(Array<CIMKeyBinding>(
        1, CIMKeyBinding("DiagnosticName", "VeLkCPU:0:Register", CIMKeyBinding::STRING)));
    CollectingInstanceHandler get(true);
    EXPECT_EQ(thrownMessage<CIMObjectNotFoundException>([&] {
                  instances->getInstance(OperationContext(), result, false, false,
                                         CIMPropertyList(), get);
              }),
              "VLK_DiagResult - result instance not found");
    EXPECT_EQ(refreshes(), 2u);
    EXPECT_FALSE(get.protocol().isComplete());
}

TEST_F(DispatchTest, GetOfAnUnknownTestIsInvalidReference) {
    CIMObjectPath test = classPath("VLK_DiagTest");
    test.setKeyBindings(
        Array<CIMKeyBinding>(1, CIMKeyBinding("Name", "VELkCPU:9:None", CIMKeyBinding::STRING)));
    CollectingInstanceHandler handler(true);
    EXPECT_EQ(thrownMessage<CIMObjectNotFoundException>([&] {
                  instances->getInstance(OperationContext(), test, false, false, CIMPropertyList(),
                                         handler);
              }),
              "Invalid Reference");
}

TEST_F(DispatchTest, ReferenceWithoutHostFailsAnAssertionBeforeRouting) {
    CollectingInstanceHandler handler(true);
    std::string message = thrownMessage<AssertionFailureException>([&] {
        instances->getInstance(OperationContext(), classPath("VLK_DiagTest", ""), false, false,
                               CIMPropertyList(), handler);
    });
    EXPECT_EQ(message.rfind("VLK_DiagProvider(", 0), 0u) << message;
    EXPECT_TRUE(contains(message, "): instanceReference.getHost().size()>0")) << message;
    EXPECT_TRUE(handler.protocol().isProcessing());
    EXPECT_FALSE(handler.protocol().isComplete());
    EXPECT_TRUE(contains(logText(), "Assert Failed"));
    EXPECT_FALSE(contains(logText(), "IF call for VLK_DiagTest"));
}

TEST_F(DispatchTest, ReferenceWithoutNamespaceFailsAndKeepsTheRequestContext) {
    auto getHostName =
        reinterpret_cast<String (*)()>(library->symbol("_ZN7Pegasus15VLK_GetHostNameEv"));
    ASSERT_NE(getHostName, nullptr);

    CollectingPathHandler first;
    instances->enumerateInstanceNames(OperationContext(), classPath("VLK_DiagTest", "hostA"),
                                      first);
    EXPECT_STREQ(getHostName().getCString(), "hostA");

    CollectingPathHandler second;
    EXPECT_THROW(instances->enumerateInstanceNames(OperationContext(),
                                                   classPath("VLK_DiagTest", "hostB", ""), second),
                 AssertionFailureException);
    EXPECT_STREQ(getHostName().getCString(), "hostA");
    EXPECT_FALSE(second.protocol().isComplete());
}

TEST_F(DispatchTest, CreateModifyAndDeleteAreRefused) {
    CIMObjectPath path = classPath("VLK_DiagTest");
    CIMInstance instance(CIMName("VLK_DiagTest"));
    PlainHandler plain;
    CollectingPathHandler paths;
    EXPECT_EQ(thrownMessage<CIMNotSupportedException>(
                  [&] { instances->deleteInstance(OperationContext(), path, plain); }),
              "VLK_DiagProvider::deleteInstance");
    EXPECT_EQ(thrownMessage<CIMNotSupportedException>(
                  [&] { instances->createInstance(OperationContext(), path, instance, paths); }),
              "VLK_DiagProvider::createInstance");
    EXPECT_EQ(thrownMessage<CIMNotSupportedException>([&] {
                  instances->modifyInstance(OperationContext(), path, instance, false,
                                            CIMPropertyList(), plain);
              }),
              "VLK_DiagProvider::modifyInstance");
    std::string text = logText();
    EXPECT_TRUE(contains(text, "In createInstance: not supported\n"));
    EXPECT_TRUE(contains(text, "In modifyInstance: not supported\n"));
    EXPECT_TRUE(contains(text, "In deleteInstance: not supported\n"));
    EXPECT_FALSE(plain.protocol().isProcessing());
}

TEST_F(DispatchTest, ServesSeveralThreadsAtOnce) {
    const std::vector<std::string> classes = {"VLK_DiagTest", "VLK_DiskDrive", "VLK_DiagResult",
                                              "VLK_DiagTestSoftwareAssoc"};
    std::atomic<int> completed{0};
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (size_t t = 0; t < classes.size(); t++) {
        threads.emplace_back([&, t] {
            std::string host = "host" + std::to_string(t);
            for (int i = 0; i < 50; i++) {
                try {
                    CollectingInstanceHandler handler;
                    instances->enumerateInstances(OperationContext(),
                                                  classPath(classes[t].c_str(), host.c_str()),
                                                  false, false, CIMPropertyList(), handler);
                    CollectingPathHandler names;
                    instances->enumerateInstanceNames(
                        OperationContext(), classPath(classes[t].c_str(), host.c_str()), names);
                    if (handler.protocol().isComplete() && names.protocol().isComplete()) {
                        completed++;
                    }
                } catch (...) {
                    failures++;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(completed.load(), 200);
}
