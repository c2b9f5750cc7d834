// A module's messages that reached the engine before the module ended are
// handled before its end: the result of a run whose module floods events and
// exits at once, and the devices of a module whose device list comes behind
// a flood, are never lost, however many such modules run at the same time.
#include "engine_harness.h"

namespace velk::enginetest {
namespace {

constexpr int kRounds = 3;
// Far more than one pass of the engine's event loop takes from its FIFO.
constexpr const char* kEvents = "1500";

// A module's startup notice may wait behind the floods of the others.
constexpr const char* kSlowConnect = "VELK_ENGINE_CONNECT_MS=60000";

using ResultOrderTest = EngineTest;

TEST_F(ResultOrderTest, FloodingRunsThatEndAtOnceAllKeepTheirResults) {
    StartEngine({}, {"VELK_ENGINE_LOG_LIMIT=3", kSlowConnect});
    ConnectAndWaitForDevices();
    const std::vector<std::string> devices = {"IDE:0:0", "IDE:0:1", "CPU:0", "COM:1:03f8"};
    const std::string last = std::string("Flood event ") + kEvents + " of " + kEvents;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<std::string> ids;
        for (const std::string& device : devices) {
            ids.push_back(StartTest(0, device, {"MODE,flood", std::string("COUNT,") + kEvents}));
            ASSERT_FALSE(ids.back().empty()) << device;
        }
        for (const std::string& id : ids) {
            EXPECT_EQ(Field(WaitForEnd(id), "FINALRESULT"), "0") << "round " << round << " " << id;
            // The dropped-items warning, the last three events, the end.
            std::vector<std::string> items = LogItems(id);
            ASSERT_EQ(items.size(), 5u) << id;
            EXPECT_EQ(Field(items[3], "TEXT"), last) << id;
            EXPECT_EQ(Transact("FREE_TEST_PROCESS:" + id).Data(), "<RESULT>OK</RESULT>");
        }
    }
}

TEST_F(ResultOrderTest, DeviceListsBehindFloodsAreAllKept) {
    constexpr int kModules = 4;
    for (int m = 0; m < kModules; ++m) {
        std::string name = "flood" + std::to_string(m);
        Box().WriteFile(name + ".data", "<DEVICE><DID>1</DID><NAME>Flooded</NAME><HWLOCATOR>" +
                                            name + ":1</HWLOCATOR></DEVICE>");
        Box().AddFakeModule(
            name, "[Module]\nszModuleId=VeLk" + name +
                      "\niNumTests=0\n[Fake]\nBehaviour=enumdata\nEventsBefore=" + kEvents +
                      "\nDataFile=" + Box().Root() + "/" + name + ".data\n");
    }
    StartEngine({}, {kSlowConnect});
    ConnectAndWaitForDevices();
    EXPECT_EQ(Devices().size(), 4u + kModules);
    for (int round = 0; round < kRounds; ++round) {
        Reply rescan = Transact("RESCAN_DEVICES", "DIAGENGINE", 60000);
        EXPECT_EQ(Field(rescan.message, "MSG/DATA/NUMDEVICES"), std::to_string(4 + kModules))
            << "round " << round;
    }
}

}  // namespace
}  // namespace velk::enginetest
