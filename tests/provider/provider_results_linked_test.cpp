// The result store: creation, reset, busy results and removal, read back
// through the provider loaded with dlopen.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <Pegasus/Provider/CIMOMHandleBackend.h>

#include "CollectingHandlers.h"
#include "ProviderFixture.h"
#include "ProviderTestText.h"
#include "VLK_DiagResult.h"

using namespace Pegasus;

namespace {
const char* const TEST_NAME = "VeLkTest:0:Quick test";
}

class ResultStoreTest : public ProviderFixture {
  protected:
    void SetUp() override {
        ProviderFixture::SetUp();
        addComputerSystem();
        writeLogConfiguration();
        createAndInitialize();
        cimom = CIMOMHandle(repository);
        resultsOf("");  // a request records the host and namespace of results
    }

    // The results the provider lists whose ExecutionID starts with prefix.
    std::vector<CIMInstance> resultsOf(const std::string& prefix) {
        velk::cimserver::CollectingInstanceHandler all;
        instances->enumerateInstances(OperationContext(), classPath("VLK_DiagResult"), false, false,
                                      CIMPropertyList(), all);
        std::vector<CIMInstance> found;
        for (Uint32 i = 0; i < all.instances().size(); i++) {
            if (propertyText(all.instances()[i], "ExecutionID").rfind(prefix, 0) == 0) {
                found.push_back(all.instances()[i]);
            }
        }
        return found;
    }

    CIMOMHandle cimom;
};

TEST_F(ResultStoreTest, FirstCreationMakesRunZeroWithDefaultProperties) {
    VLK_DiagResult handle(cimom);
    ASSERT_TRUE(handle.createResult(cimom, TEST_NAME, "first:0"));
    std::vector<CIMInstance> results = resultsOf("first:0:");
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].getPropertyCount(), 28u);
    EXPECT_EQ(propertyText(results[0], "DiagnosticName"), TEST_NAME);
    EXPECT_EQ(propertyText(results[0], "ExecutionID"), "first:0:run0");
    EXPECT_EQ(propertyText(results[0], "DiagSystemName"), "testsystem");
    EXPECT_EQ(propertyText(results[0], "TestState"), "0");
    EXPECT_EQ(propertyText(results[0], "OtherLoopControlDescription"), "TRUE");
    EXPECT_EQ(keyText(handle.getTestResultReference(TEST_NAME, "first:0"), "ExecutionID"),
              "first:0:run0");
}

TEST_F(ResultStoreTest, InProgressResultGetsABusyNeighbourAndAFinishedOneIsReset) {
    VLK_DiagResult running(cimom);
    ASSERT_TRUE(running.createResult(cimom, TEST_NAME, "busy:0"));
    running.setResultProperty(TEST_NAME, "busy:0", "TestState", CIMValue(Uint16(4)));
    running.setResultProperty(TEST_NAME, "busy:0", "PercentComplete", CIMValue(Uint8(40)));

    VLK_DiagResult busy(cimom);
    ASSERT_TRUE(busy.createResult(cimom, TEST_NAME, "busy:0"));
    ASSERT_GT(busy.getRunNumber(), 0);
    std::vector<CIMInstance> results = resultsOf("busy:0:");
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(propertyText(results[0], "PercentComplete"), "40");
    EXPECT_EQ(propertyText(results[1], "ExecutionID"),
              "busy:0:run" + std::to_string(busy.getRunNumber()));
    EXPECT_EQ(propertyText(results[1], "TestState"), "5");
    // One entry: a 25-character time, then test name and text.
    EXPECT_EQ(propertyText(results[1], "TestResults").substr(25),
              " | VeLkTest:0:Quick test | DEVICEINUSE ");

    running.setResultProperty(TEST_NAME, "busy:0", "TestState", CIMValue(Uint16(3)));
    ASSERT_TRUE(VLK_DiagResult(cimom).createResult(cimom, TEST_NAME, "busy:0"));
    results = resultsOf("busy:0:");
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(propertyText(results[0], "ExecutionID"), "busy:0:run0");
    EXPECT_EQ(propertyText(results[0], "PercentComplete"), "0");
}

TEST_F(ResultStoreTest, ResetRemovesOnlyThatDevicesResults) {
    VLK_DiagResult handle(cimom);
    ASSERT_TRUE(handle.createResult(cimom, TEST_NAME, "dev1"));
    ASSERT_TRUE(handle.createResult(cimom, TEST_NAME, "dev10"));
    ASSERT_TRUE(handle.createResult(cimom, "VeLkTest:1:Timed test", "dev1"));
    ASSERT_TRUE(handle.createResult(cimom, TEST_NAME, "dev1"));
    EXPECT_EQ(resultsOf("dev1:").size(), 2u);
    EXPECT_EQ(resultsOf("dev10:").size(), 1u);
}

TEST_F(ResultStoreTest, ConcurrentCreationsKeepOneResultPerTestAndDevice) {
    std::atomic<int> created{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; t++) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 20; i++) {
                created += VLK_DiagResult(cimom).createResult(
                    cimom, TEST_NAME, ("many:" + std::to_string(t)).c_str());
                created += VLK_DiagResult(cimom).createResult(cimom, TEST_NAME, "shared");
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(created.load(), 8 * 40);
    EXPECT_EQ(resultsOf("many:").size(), 8u);
    EXPECT_EQ(resultsOf("shared:").size(), 1u);
}
