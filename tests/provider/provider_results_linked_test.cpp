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
using velk::cimserver::CollectingInstanceHandler;

namespace {

const char* const TEST_NAME = "VeLkTest:0:Quick test";

}  // namespace

class ResultStoreTest : public ProviderFixture {
  protected:
    void SetUp() override {
        ProviderFixture::SetUp();
        addComputerSystem();
        writeLogConfiguration();
        createAndInitialize();
        cimom = CIMOMHandle(repository);
        // A request records the host and namespace the results are made for.
        resultsOf("");
    }

    // The results the provider lists whose ExecutionID starts with prefix.
    std::vector<CIMInstance> resultsOf(const std::string& prefix) {
        CollectingInstanceHandler all;
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
    const CIMInstance& result = results[0];
    EXPECT_EQ(result.getPropertyCount(), 28u);
    EXPECT_EQ(propertyText(result, "DiagnosticName"), TEST_NAME);
    EXPECT_EQ(propertyText(result, "ExecutionID"), "first:0:run0");
    EXPECT_EQ(propertyText(result, "DiagSystemName"), "testsystem");
    EXPECT_EQ(propertyText(result, "TestState"), "0");
    EXPECT_EQ(propertyText(result, "TestResults"), "");
    EXPECT_EQ(propertyText(result, "OtherLoopControlDescription"), "TRUE");
    EXPECT_EQ(propertyText(result, "TimeStamp"), "00000000000000.000000:000");

    const CIMObjectPath path = handle.getTestResultReference(TEST_NAME, "first:0");
    EXPECT_EQ(keyText(path, "DiagnosticCreationClassName"), "VLK_DiagTest");
    EXPECT_EQ(keyText(path, "ExecutionID"), "first:0:run0");
    CollectingInstanceHandler got(true);
    instances->getInstance(OperationContext(), path, false, false, CIMPropertyList(), got);
    ASSERT_EQ(got.instances().size(), 1u);
    EXPECT_EQ(propertyText(got.instances()[0], "ExecutionID"), "first:0:run0");
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
    EXPECT_EQ(propertyText(results[0], "TestState"), "4");
    EXPECT_EQ(propertyText(results[0], "PercentComplete"), "40");
    EXPECT_EQ(propertyText(results[1], "ExecutionID"),
              "busy:0:run" + std::to_string(busy.getRunNumber()));
    EXPECT_EQ(propertyText(results[1], "TestState"), "5");
    std::string entry = propertyText(results[1], "TestResults");
    EXPECT_EQ(entry.size(), 25u + std::string(" | VeLkTest:0:Quick test | DEVICEINUSE ").size())
        << entry;
    EXPECT_EQ(entry.substr(25), " | VeLkTest:0:Quick test | DEVICEINUSE ");

    // The test ends; the next creation replaces both with a fresh run 0.
    running.setResultProperty(TEST_NAME, "busy:0", "TestState", CIMValue(Uint16(3)));
    VLK_DiagResult again(cimom);
    ASSERT_TRUE(again.createResult(cimom, TEST_NAME, "busy:0"));
    results = resultsOf("busy:0:");
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(propertyText(results[0], "ExecutionID"), "busy:0:run0");
    EXPECT_EQ(propertyText(results[0], "TestState"), "0");
    EXPECT_EQ(propertyText(results[0], "PercentComplete"), "0");
}

TEST_F(ResultStoreTest, ResetRemovesOnlyThatDevicesResults) {
    VLK_DiagResult handle(cimom);
    ASSERT_TRUE(handle.createResult(cimom, TEST_NAME, "dev1"));
    ASSERT_TRUE(handle.createResult(cimom, TEST_NAME, "dev10"));
    ASSERT_TRUE(handle.createResult(cimom, "VeLkTest:1:Timed test", "dev1"));
    handle.setResultPropertyTestResults(TEST_NAME, "dev10", "kept");

    ASSERT_TRUE(handle.createResult(cimom, TEST_NAME, "dev1"));
    EXPECT_EQ(resultsOf("dev1:").size(), 2u);
    std::vector<CIMInstance> other = resultsOf("dev10:");
    ASSERT_EQ(other.size(), 1u);
    EXPECT_NE(propertyText(other[0], "TestResults").find(" | kept"), std::string::npos);
}

TEST_F(ResultStoreTest, ConcurrentCreationsKeepOneResultPerTestAndDevice) {
    const int kThreads = 8;
    std::atomic<int> created{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; t++) {
        threads.emplace_back([&, t] {
            VLK_DiagResult own(cimom);
            VLK_DiagResult shared(cimom);
            for (int i = 0; i < 20; i++) {
                created +=
                    own.createResult(cimom, TEST_NAME, ("many:" + std::to_string(t)).c_str());
                created += shared.createResult(cimom, TEST_NAME, "shared");
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(created.load(), kThreads * 40);
    EXPECT_EQ(resultsOf("many:").size(), static_cast<size_t>(kThreads));
    EXPECT_EQ(resultsOf("shared:").size(), 1u);
}
