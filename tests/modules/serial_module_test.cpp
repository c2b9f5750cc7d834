// The serial-port module on fake machines: ports from the kernel's tty
// classes, the tests on a pseudo-terminal standing in for the port, and the
// module run by the real engine.
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "bxi2.h"
#include "control_lines.h"
#include "recording_session.h"
#include "pty_port.h"
#include "serial_ports.h"
#include "serial_tests.h"

namespace velk::moduletest {
namespace {

using namespace velk::serialmodule;

class FakeSerialTest : public ::testing::Test {
  protected:
    // ttyS0 a 16550A at 0x3f8 whose node is the pseudo-terminal; ttyS1 a
    // slot without a chip; tty0 a virtual terminal; ttyUSB0 a USB adapter.
    void Describe(const PtyPort& pty) {
        machine_.Write("/sys/class/tty/ttyS0/type", "4\n");
        machine_.Write("/sys/class/tty/ttyS0/port", "0x3F8\n");
        machine_.Write("/sys/class/tty/ttyS0/irq", "4\n");
        machine_.Write("/sys/class/tty/ttyS0/device/uevent", "");
        machine_.Write("/sys/class/tty/ttyS1/type", "0\n");
        machine_.Write("/sys/class/tty/ttyS1/device/uevent", "");
        machine_.Write("/sys/class/tty/tty0/dev", "4:0\n");
        machine_.Write("/sys/devices/usb1/1-1/idVendor", "0403\n");
        machine_.Write("/sys/devices/usb1/1-1/manufacturer", "FTDI\n");
        machine_.Write("/sys/devices/usb1/1-1/product", "USB <Serial>\n");
        machine_.Write("/sys/devices/usb1/1-1/serial", "A12345\n");
        machine_.Write("/sys/devices/usb1/1-1/1-1:1.0/ttyUSB0/uevent", "");
        machine_.Link("/sys/class/tty/ttyUSB0/device",
                      machine_.Path("/sys/devices/usb1/1-1/1-1:1.0/ttyUSB0"));
        machine_.Link("/dev/ttyS0", pty.SlavePath());
    }
    SerialPort Port() {
        auto ports = ListSerialPorts();
        EXPECT_FALSE(ports.empty());
        return ports.empty() ? SerialPort() : ports.front();
    }

    LocalMachine machine_;
};

TEST(ControlLineTest, VerdictsOfTheInputsRead) {
    auto wired = [](int driven) {
        int read =
            (driven & TIOCM_RTS ? TIOCM_CTS : 0) | (driven & TIOCM_DTR ? TIOCM_DSR | TIOCM_CAR : 0);
        return LineObservation{driven, read};
    };
    std::vector<LineObservation> adapter, nothing, brokenCarrier;
    for (int step : ControlLineSteps()) {
        adapter.push_back(wired(step));
        nothing.push_back({step, 0});
        LineObservation broken = wired(step);
        broken.read &= ~TIOCM_CAR;
        brokenCarrier.push_back(broken);
    }
    EXPECT_FALSE(JudgeControlLines(adapter));
    ASSERT_TRUE(JudgeControlLines(nothing));
    EXPECT_TRUE(JudgeControlLines(nothing)->noAdapter);
    auto verdict = JudgeControlLines(brokenCarrier);
    ASSERT_TRUE(verdict);
    EXPECT_FALSE(verdict->noAdapter);
    EXPECT_EQ(verdict->input, "DCD");
    EXPECT_EQ(verdict->driven, "DTR");
}

TEST_F(FakeSerialTest, PortsAreTheTtysWithAChipOrAdapterBehindThem) {
    PtyPort pty(PtyPort::Far::kSilent);
    Describe(pty);
    auto ports = ListSerialPorts();
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].name, "ttyS0");
    EXPECT_EQ(ports[0].number, 1u);
    EXPECT_EQ(ports[0].ioPort, 0x3F8u);
    EXPECT_EQ(ports[0].uartName, "16550A");
    EXPECT_EQ(ports[1].name, "ttyUSB0");
    EXPECT_EQ(ports[1].number, 2u);
    EXPECT_EQ(ports[1].manufacturer, "FTDI");
    EXPECT_EQ(ports[1].serialNumber, "A12345");
}

TEST_F(FakeSerialTest, TestsPassOnAPortWithALoopback) {
    PtyPort pty(PtyPort::Far::kEcho);
    Describe(pty);
    for (int test : {kLoopbackDataTest, kPresenceTest, kSettingsTest, kTransmitTest}) {
        RecordingSession session;
        EXPECT_EQ(RunSerialTest(test, Port(), session), BXI2_RESULT_PASS) << test;
        EXPECT_TRUE(session.ErrorIds().empty()) << test << ": " << session.ErrorIds().front();
        EXPECT_EQ(session.percents.back(), 100) << test;
    }
}

TEST_F(FakeSerialTest, LoopbackFailuresSayWhatCameBack) {
    struct Case {
        PtyPort::Far far;
        int test;
        int result;
        const char* error;
    };
    const Case cases[] = {
        {PtyPort::Far::kSilent, kLoopbackDataTest, BXI2_RESULT_FAIL, "szErrNoLoopback"},
        {PtyPort::Far::kCorruptingEcho, kLoopbackDataTest, BXI2_RESULT_FAIL, "szErrLoopbackData"},
        {PtyPort::Far::kSilent, kLoopbackControlTest, BXI2_RESULT_NOTAPPLICABLE,
         "szErrNoControlLines"},
    };
    for (const auto& c : cases) {
        PtyPort pty(c.far);
        Describe(pty);
        RecordingSession session;
        EXPECT_EQ(RunSerialTest(c.test, Port(), session), c.result) << c.error;
        EXPECT_EQ(session.ErrorIds(), std::vector<std::string>{c.error});
    }
}

TEST_F(FakeSerialTest, TransmitNeedsNoLoopbackAndPercentBoundsTheData) {
    PtyPort pty(PtyPort::Far::kSilent);
    Describe(pty);
    RecordingSession session(25.0);
    EXPECT_EQ(RunSerialTest(kTransmitTest, Port(), session), BXI2_RESULT_PASS);
    EXPECT_EQ(session.Variable("szInfoTransmitPassed", "BYTES"), "512");
}

TEST_F(FakeSerialTest, SettingsAPseudoTerminalCannotHoldAreWarningsNotFailures) {
    PtyPort pty(PtyPort::Far::kSilent);
    Describe(pty);
    RecordingSession session;
    EXPECT_EQ(RunSerialTest(kSettingsTest, Port(), session), BXI2_RESULT_PASS);
    EXPECT_EQ(session.Variable("szWarnSettingAdjusted", "SETTING"), "9600-7E1");
}

TEST_F(FakeSerialTest, PortHeldExclusivelyElsewhereIsBusy) {
    PtyPort pty(PtyPort::Far::kEcho);
    Describe(pty);
    ASSERT_EQ(::ioctl(pty.SlaveFd(), TIOCEXCL), 0);
    RecordingSession session;
    EXPECT_EQ(RunSerialTest(kLoopbackDataTest, Port(), session), BXI2_RESULT_BUSY);
    EXPECT_TRUE(session.Find("szWarnDeviceBusy"));
    ASSERT_EQ(::ioctl(pty.SlaveFd(), TIOCNXCL), 0);
    RecordingSession after;
    EXPECT_EQ(RunSerialTest(kLoopbackDataTest, Port(), after), BXI2_RESULT_PASS);
}

TEST_F(FakeSerialTest, MissingNodeFailsThePresenceTest) {
    PtyPort pty(PtyPort::Far::kSilent);
    Describe(pty);
    machine_.Remove("/dev/ttyS0");
    RecordingSession session;
    EXPECT_EQ(RunSerialTest(kPresenceTest, Port(), session), BXI2_RESULT_FAIL);
    EXPECT_EQ(session.ErrorIds(), std::vector<std::string>{"szErrNoDeviceNode"});
}

TEST_F(FakeSerialTest, PortThisUserMayNotOpenIsAPrivilegeError) {
    PtyPort pty(PtyPort::Far::kSilent);
    Describe(pty);
    SerialPort port = Port();
    ::chmod(machine_.Root().c_str(), 0755);
    ::chmod(pty.SlavePath().c_str(), 0600);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Unprivileged: as nobody when this runs as root.
        if (::geteuid() == 0 && ::setuid(65534) != 0) {
            ::_exit(100);
        }
        RecordingSession session;
        int result = RunSerialTest(kPresenceTest, port, session);
        ::_exit(session.Find("szWarnPrivilege") ? result : 101);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), BXI2_RESULT_PRIVILEGEERROR);
}

class SerialModuleEngineTest : public ModuleTest {};

TEST_F(SerialModuleEngineTest, EngineRunsThePortTestsOnTheFakeMachine) {
    PtyPort pty(PtyPort::Far::kSilent);
    Machine().Write("/sys/class/tty/ttyS0/type", "4\n");
    Machine().Write("/sys/class/tty/ttyS0/port", "0x2F8\n");
    Machine().Write("/sys/class/tty/ttyS0/device/uevent", "");
    Machine().Link("/dev/ttyS0", pty.SlavePath());
    AddModule("VELkSerialPort");
    StartOnMachine();
    RunOutcome noAdapter = RunTest("VELkSerialPort", kLoopbackDataTest, "COM:1:02f8");
    EXPECT_EQ(noAdapter.finalResult, kFail);
    EXPECT_TRUE(noAdapter.HasItem("ERROR", "szErrNoLoopback", std::to_string(kEventNoLoopback)))
        << ::testing::PrintToString(noAdapter.logItems);
    EXPECT_EQ(RunTest("VELkSerialPort", kPresenceTest, "COM:1:02f8").finalResult, kPass);
}

}  // namespace
}  // namespace velk::moduletest
