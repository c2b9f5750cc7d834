// The parallel-port module on fake machines: ports from the parport layer's
// lists, the checks on simulated port registers (with and without a wrap
// plug, with a faulty line), device nodes that are missing or no parallel
// port, and the module run by the real engine.
#include "bxi2.h"
#include "recording_session.h"
#include "parallel_ports.h"
#include "parallel_tests.h"

namespace velk::moduletest {
namespace {

using namespace velk::parallelmodule;

// Port registers as the hardware keeps them: the data latch reads back what
// was written (less any stuck bits); the status lines follow a wrap plug
// when one is attached (less a broken wire), else they float high.
class SimulatedPort : public PortAccess {
  public:
    bool plug = false;
    uint8_t stuckDataBits = 0;
    uint8_t brokenStatusBits = 0;

    bool ReadStatus(uint8_t& value) override {
        value = plug ? WrappedStatus(control_, data_) : 0x78;
        value = static_cast<uint8_t>((value & ~brokenStatusBits) | 0x07);
        return true;
    }
    bool WriteControl(uint8_t value) override {
        control_ = value;
        return true;
    }
    bool WriteData(uint8_t value) override {
        data_ = value;
        return true;
    }
    bool ReadData(uint8_t& value) override {
        value = static_cast<uint8_t>(data_ & ~stuckDataBits);
        return true;
    }

  private:
    uint8_t control_ = 0;
    uint8_t data_ = 0;
};

TEST(DeviceIdTest, FieldsOfAnIeee1284DeviceId) {
    auto fields = ParseDeviceId("MANUFACTURER:Acme;MODEL:Jet 1;cls:PRINTER; CMD : PCL;junk");
    EXPECT_EQ(fields["MFG"], "Acme");
    EXPECT_EQ(fields["MDL"], "Jet 1");
    EXPECT_EQ(fields["CLS"], "PRINTER");
    EXPECT_EQ(fields["CMD"], "PCL");
    EXPECT_EQ(fields.size(), 4u);
}

TEST(ParallelCheckTest, RegisterAndLoopbackVerdicts) {
    struct Case {
        const char* name;
        bool plug;
        uint8_t stuckData;
        uint8_t brokenStatus;
        int presence;
        int loopback;
        const char* error;
        const char* line;
    };
    const Case cases[] = {
        {"plugged", true, 0, 0, BXI2_RESULT_PASS, BXI2_RESULT_PASS, nullptr, ""},
        {"no plug", false, 0, 0, BXI2_RESULT_PASS, BXI2_RESULT_FAIL, "szErrNoLoopback", ""},
        {"broken busy wire", true, 0, 0x80, BXI2_RESULT_PASS, BXI2_RESULT_FAIL, "szErrLoopbackLine",
         "BUSY"},
        {"stuck data bit", true, 0x10, 0, BXI2_RESULT_FAIL, BXI2_RESULT_PASS, "szErrDataRegister",
         ""},
    };
    for (const auto& c : cases) {
        SimulatedPort port;
        port.plug = c.plug;
        port.stuckDataBits = c.stuckData;
        port.brokenStatusBits = c.brokenStatus;
        RecordingSession presence, loopback;
        EXPECT_EQ(CheckDataRegister(port, "/dev/parport0", presence), c.presence) << c.name;
        EXPECT_EQ(CheckLoopback(port, "/dev/parport0", loopback), c.loopback) << c.name;
        std::vector<std::string> errors = presence.ErrorIds();
        for (const auto& id : loopback.ErrorIds()) {
            errors.push_back(id);
        }
        EXPECT_EQ(errors, c.error ? std::vector<std::string>{c.error} : std::vector<std::string>{})
            << c.name;
        EXPECT_EQ(loopback.Variable("szErrLoopbackLine", "LINE"), c.line) << c.name;
    }
}

class FakeParallelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        machine_.Write("/sys/bus/parport/devices/parport0/uevent", "");
        machine_.Write("/proc/sys/dev/parport/parport0/base-addr", "888\t1912\n");
        machine_.Write("/proc/sys/dev/parport/parport0/irq", "7\n");
        machine_.Write("/proc/sys/dev/parport/parport0/modes", "PCSPP,TRISTATE,EPP\n");
        machine_.Write("/proc/sys/dev/parport/parport0/autoprobe", "MFG:Acme;MDL:Jet 1;\n");
        machine_.Write("/proc/sys/dev/parport/default/timeslice", "200\n");
    }
    ParallelPort Port() {
        auto ports = ListParallelPorts();
        EXPECT_EQ(ports.size(), 1u);
        return ports.empty() ? ParallelPort() : ports.front();
    }
    LocalMachine machine_;
};

TEST_F(FakeParallelTest, PortsComeFromTheParportLists) {
    ParallelPort port = Port();
    EXPECT_EQ(port.name, "parport0");
    EXPECT_EQ(port.devicePath, "/dev/parport0");
    EXPECT_EQ(port.base, 0x378u);
    EXPECT_EQ(port.irq, 7);
    EXPECT_EQ(port.probed["MDL"], "Jet 1");
}

TEST_F(FakeParallelTest, NodesThatAreNoPortFailWithTheReason) {
    struct Case {
        bool node;
        int test;
        int result;
        const char* item;
    };
    const Case cases[] = {
        {false, kPresenceTest, BXI2_RESULT_FAIL, "szErrNoDeviceNode"},
        {false, kLoopbackTest, BXI2_RESULT_SETUPERROR, "szWarnGeneric"},
        {true, kPresenceTest, BXI2_RESULT_FAIL, "szErrNotAParallelPort"},
    };
    for (const auto& c : cases) {
        machine_.Remove("/dev");
        if (c.node) {
            machine_.Write("/dev/parport0", "not a port");
        }
        RecordingSession session;
        EXPECT_EQ(RunParallelTest(c.test, Port(), session), c.result) << c.item;
        EXPECT_TRUE(session.Find(c.item)) << c.item;
    }
}

class ParallelModuleEngineTest : public ModuleTest {};

TEST_F(ParallelModuleEngineTest, EngineListsThePortAndReportsWhyItFailed) {
    Machine().Write("/sys/class/ppdev/parport0/dev", "99:0\n");
    Machine().Write("/proc/sys/dev/parport/parport0/base-addr", "888\t1912\n");
    Machine().Write("/dev/parport0", "not a port");
    AddModule("VELkParallelPort");
    StartOnMachine();
    RunOutcome end = RunTest("VELkParallelPort", kPresenceTest, "LPT:1:0378");
    EXPECT_EQ(end.finalResult, kFail);
    EXPECT_TRUE(
        end.HasItem("ERROR", "szErrNotAParallelPort", std::to_string(kEventNotAParallelPort)))
        << ::testing::PrintToString(end.logItems);
}

}  // namespace
}  // namespace velk::moduletest
