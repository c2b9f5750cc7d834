// The processor module on fake machines: the kernel's CPU lists and cache
// sizes, the tests on the real CPUs this process may use as the fake machine
// describes them, a processor whose reported features lack what a test
// needs, and the module run by the real engine.
#include <algorithm>

#include "bxi2.h"
#include "cache_check.h"
#include "core_runner.h"
#include "cpu_tests.h"
#include "cpu_topology.h"
#include "recording_session.h"
#include "self_checks.h"

namespace velk::moduletest {
namespace {

using namespace velk::cpumodule;

// Small amounts of work: the tests check outcomes, not endurance.
constexpr CpuTestWork kQuickWork{2000, 2000, 500, 2};

// A fake machine whose one processor has the CPUs this process may run on.
class FakeProcessorTest : public ::testing::Test {
  protected:
    void Describe(const std::string& flags, bool levelTwoCache) {
        std::string cpuinfo;
        std::string online;
        for (int cpu : AllowedCpus()) {
            cpuinfo += "processor\t: " + std::to_string(cpu) +
                       "\nvendor_id\t: FakeVendor\nmodel name\t: Fake <CPU> @ 1.00GHz\n"
                       "physical id\t: 0\nflags\t\t: " +
                       flags + "\n\n";
            online += (online.empty() ? "" : ",") + std::to_string(cpu);
            std::string dir = "/sys/devices/system/cpu/cpu" + std::to_string(cpu);
            machine_.Write(dir + "/topology/physical_package_id", "0\n");
            machine_.Write(dir + "/cache/index0/level", "1\n");
            machine_.Write(dir + "/cache/index0/type", "Data\n");
            machine_.Write(dir + "/cache/index0/size", "32K\n");
            if (levelTwoCache) {
                machine_.Write(dir + "/cache/index2/level", "2\n");
                machine_.Write(dir + "/cache/index2/type", "Unified\n");
                machine_.Write(dir + "/cache/index2/size", "256K\n");
            }
        }
        machine_.Write("/proc/cpuinfo", cpuinfo);
        machine_.Write("/sys/devices/system/cpu/online", online + "\n");
    }
    Processor OnlyProcessor() {
        auto processors = ReadProcessors();
        EXPECT_EQ(processors.size(), 1u);
        return processors.empty() ? Processor() : processors.front();
    }

    LocalMachine machine_;
};

TEST(CpuListTest, KernelListsParseOrAreRefused) {
    struct Case {
        const char* text;
        std::optional<std::vector<int>> cpus;
    };
    const Case cases[] = {
        {"0-3,6\n", std::vector<int>{0, 1, 2, 3, 6}},
        {"5", std::vector<int>{5}},
        {"", std::vector<int>{}},
        {"3-1", std::nullopt},
        {"0-x", std::nullopt},
        {"1,,2", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseCpuList(c.text), c.cpus) << c.text;
    }
}

TEST(CacheSizeTest, UnitsOfSysfsSizes) {
    EXPECT_EQ(ParseCacheSize("512K\n"), 512u << 10);
    EXPECT_EQ(ParseCacheSize("8M"), 8u << 20);
    EXPECT_EQ(ParseCacheSize("4096"), 4096u);
    EXPECT_EQ(ParseCacheSize("12Q"), 0u);
    EXPECT_EQ(ParseCacheSize("K"), 0u);
}

TEST(SelfCheckTest, AWrongKnownAnswerIsReportedWithTheCheckAndBothValues) {
    std::vector<IntegerVector> vectors = IntegerVectors();
    ASSERT_FALSE(CheckIntegerVectors(vectors));
    vectors.push_back({"mul", IntegerOp::kMul, 3, 5, 16});
    auto mismatch = CheckIntegerVectors(vectors);
    ASSERT_TRUE(mismatch);
    EXPECT_EQ(mismatch->check, "mul(0x3,0x5)");
    EXPECT_EQ(mismatch->got, "0xf");
    EXPECT_EQ(mismatch->want, "0x10");
}

TEST(CacheTimingTest, OnlyACacheSlowerThanMemoryFails) {
    EXPECT_FALSE(JudgeCacheTiming({0.05, 0.2}));
    EXPECT_FALSE(JudgeCacheTiming({0.35, 0.2}));
    EXPECT_FALSE(JudgeCacheTiming({0.9, 0}));
    EXPECT_TRUE(JudgeCacheTiming({0.45, 0.2}));
}

TEST_F(FakeProcessorTest, ProcessorsComeFromTheMachineTheRootDescribes) {
    Describe("fpu mmx sse", true);
    Processor processor = OnlyProcessor();
    EXPECT_EQ(processor.cpus.size(), AllowedCpus().size());
    EXPECT_EQ(processor.ModelName(), "Fake <CPU> @ 1.00GHz");
    ASSERT_TRUE(processor.LevelTwoCache());
    EXPECT_EQ(processor.LevelTwoCache()->sizeBytes, 256u << 10);
    EXPECT_TRUE(processor.cpus.front().info.HasFlag("mmx"));
}

TEST_F(FakeProcessorTest, EveryTestPassesOnAHealthyProcessor) {
    Describe("fpu mmx sse", true);
    Processor processor = OnlyProcessor();
    for (int test = 0; test < kCpuTestCount; ++test) {
        RecordingSession session;
        EXPECT_EQ(RunCpuTest(test, processor, session, kQuickWork), BXI2_RESULT_PASS) << test;
        EXPECT_TRUE(session.ErrorIds().empty()) << test << ": " << session.ErrorIds().front();
        EXPECT_EQ(session.percents.back(), 100) << test;
        EXPECT_TRUE(session.Find("szInfoCpuPassed")) << test;
    }
}

TEST_F(FakeProcessorTest, MissingFeatureFailsItsTestWithTheReason) {
    struct Case {
        const char* flags;
        bool cache;
        int test;
        const char* error;
    };
    const Case cases[] = {
        {"fpu sse", true, kMmxTest, "szErrNoMmx"},
        {"fpu mmx sse", false, kCacheTest, "szErrNoLevelTwoCache"},
    };
    for (const auto& c : cases) {
        Describe(c.flags, c.cache);
        RecordingSession session;
        EXPECT_EQ(RunCpuTest(c.test, OnlyProcessor(), session, kQuickWork), BXI2_RESULT_FAIL);
        EXPECT_EQ(session.ErrorIds(), std::vector<std::string>{c.error});
        machine_.Remove("/sys");
    }
}

TEST_F(FakeProcessorTest, PercentToTestScalesTheWork) {
    Describe("fpu mmx", true);
    RecordingSession full(100.0), half(50.0);
    ASSERT_EQ(RunCpuTest(kIntegerTest, OnlyProcessor(), full, kQuickWork), BXI2_RESULT_PASS);
    ASSERT_EQ(RunCpuTest(kIntegerTest, OnlyProcessor(), half, kQuickWork), BXI2_RESULT_PASS);
    size_t cpus = AllowedCpus().size();
    EXPECT_EQ(full.Variable("szProgressWork", "TOTAL"), std::to_string(2000 * cpus));
    EXPECT_EQ(half.Variable("szProgressWork", "TOTAL"), std::to_string(1000 * cpus));
}

TEST_F(FakeProcessorTest, CpusThisProcessMayNotUseAreReportedAndSkipped) {
    Describe("fpu mmx", true);
    Processor processor = OnlyProcessor();
    LogicalCpu absent = processor.cpus.front();
    absent.index = CPU_SETSIZE - 1;
    processor.cpus.push_back(absent);
    RecordingSession session;
    EXPECT_EQ(RunCpuTest(kIntegerTest, processor, session, kQuickWork), BXI2_RESULT_PASS);
    EXPECT_EQ(session.Variable("szWarnCpuNotAllowed", "CPU"), std::to_string(CPU_SETSIZE - 1));
}

class CpuModuleEngineTest : public ModuleTest {};

TEST_F(CpuModuleEngineTest, EngineListsTheProcessorAndRunsItsTests) {
    std::string cpuinfo;
    for (int cpu : AllowedCpus()) {
        cpuinfo += "processor\t: " + std::to_string(cpu) +
                   "\nvendor_id\t: FakeVendor\nmodel name\t: Fake CPU\nflags\t\t: fpu sse\n\n";
    }
    Machine().Write("/proc/cpuinfo", cpuinfo);
    AddModule("VELkCPU");
    StartOnMachine();
    std::vector<std::string> devices = DevicesOf("VELkCPU");
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(velk::enginetest::Field(devices[0], "DEVTYPE"), "CPU");
    EXPECT_EQ(velk::enginetest::Field(devices[0], "FRU_MANUFACTURER"), "FakeVendor");
    EXPECT_EQ(velk::enginetest::Field(devices[0], "FRU_MODELNUMBER"), "Fake CPU");
    RunOutcome noMmx = RunTest("VELkCPU", kMmxTest, "CPU:0");
    EXPECT_EQ(noMmx.finalResult, kFail);
    EXPECT_TRUE(noMmx.HasItem("ERROR", "szErrNoMmx", std::to_string(kEventNoMmx)))
        << ::testing::PrintToString(noMmx.logItems);
    RunOutcome integer =
        RunTest("VELkCPU", kIntegerTest, "CPU:0", {std::string(BXI2_PERCENT_TO_TEST_ID) + ",1"});
    EXPECT_EQ(integer.finalResult, kPass);
    EXPECT_TRUE(integer.HasItem("INFO", "szInfoCpuPassed"));
}

TEST_F(CpuModuleEngineTest, StopRequestAndUnknownParametersEndTheRun) {
    AddModule("VELkCPU");
    StartOnMachine(true);
    std::string locator = Locators(DevicesOf("VELkCPU")).at(0);
    EXPECT_EQ(Finish(Start("VELkCPU", kIntegerTest, locator, {"ROUNDS,5"})).finalResult,
              kBadParams);
    std::string id = Start("VELkCPU", kFloatTest, locator);
    ASSERT_TRUE(WaitUntilRunning(id));
    Transact("STOP_TEST:" + id);
    RunOutcome stopped = Finish(id);
    EXPECT_EQ(stopped.finalResult, kDiscontinued);
    EXPECT_EQ(::testing::PrintToString(stopped.logItems).find("szRunKilled"), std::string::npos)
        << "it stopped by itself";
}

TEST_F(CpuModuleEngineTest, ThisMachinesProcessorsAreListedAndPassTheIntegerTest) {
    AddModule("VELkCPU");
    StartOnMachine(true);
    std::vector<std::string> locators = Locators(DevicesOf("VELkCPU"));
    EXPECT_EQ(locators.size(), ReadProcessors().size());
    ASSERT_FALSE(locators.empty());
    RunOutcome end = RunTest("VELkCPU", kIntegerTest, locators.front(),
                             {std::string(BXI2_PERCENT_TO_TEST_ID) + ",5"});
    EXPECT_EQ(end.finalResult, kPass) << ::testing::PrintToString(end.logItems);
}

}  // namespace
}  // namespace velk::moduletest
