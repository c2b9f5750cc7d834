#include "parallel_tests.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <thread>

#include "bxi2.h"

namespace velk::parallelmodule {
namespace {

using velk::modules::TestSession;
using velk::modules::Text;

constexpr uint8_t kStrobe = 0x01, kAutoFeed = 0x02, kInit = 0x04, kSelectIn = 0x08;
constexpr uint8_t kError = 0x08, kSelect = 0x10, kPaperOut = 0x20, kAck = 0x40, kBusy = 0x80;
constexpr auto kSettleTime = std::chrono::milliseconds(1);

// One wire of the plug: the status bit and the output line that drives it.
struct Wire {
    uint8_t status;
    const char* input;
    const char* output;
};
const Wire kWires[] = {
    {kError, "ERROR", "D0"}, {kSelect, "SELECT", "STROBE"}, {kPaperOut, "PAPEROUT", "AUTOFD"},
    {kAck, "ACK", "INIT"},   {kBusy, "BUSY", "SELECTIN"},
};

const uint8_t kDataPatterns[] = {0x00, 0xFF, 0x55, 0xAA, 0x01, 0x02,
                                 0x04, 0x08, 0x10, 0x20, 0x40, 0x80};

std::string HexByte(uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", value);
    return text;
}

int Refused(TestSession& session, const std::string& device) {
    session.Error(kEventPortRefused,
                  Text("szErrPortRefused", {{"PORT", device}, {"ERROR", std::strerror(errno)}}));
    return BXI2_RESULT_FAIL;
}

}  // namespace

uint8_t WrappedStatus(uint8_t control, uint8_t data) {
    uint8_t status = 0;
    // The hardware inverts STROBE, AUTOFD and SELECT IN at the connector and
    // BUSY on the way in; INIT and the data lines are not inverted.
    if (data & 0x01) {
        status |= kError;
    }
    if (!(control & kStrobe)) {
        status |= kSelect;
    }
    if (!(control & kAutoFeed)) {
        status |= kPaperOut;
    }
    if (control & kInit) {
        status |= kAck;
    }
    if (control & kSelectIn) {
        status |= kBusy;
    }
    return status;
}

int CheckDataRegister(PortAccess& port, const std::string& device, TestSession& session) {
    uint8_t status = 0;
    if (!port.ReadStatus(status)) {
        return Refused(session, device);
    }
    session.Info(Text("szInfoStatus", {{"PORT", device}, {"STATUS", HexByte(status)}}));
    size_t count = sizeof kDataPatterns;
    for (size_t i = 0; i < count; ++i) {
        uint8_t read = 0;
        if (!port.WriteData(kDataPatterns[i]) || !port.ReadData(read)) {
            return Refused(session, device);
        }
        if (read != kDataPatterns[i]) {
            session.Error(kEventDataRegister,
                          Text("szErrDataRegister", {{"PORT", device},
                                                     {"WROTE", HexByte(kDataPatterns[i])},
                                                     {"READ", HexByte(read)}}));
            return BXI2_RESULT_FAIL;
        }
        session.PercentDone(static_cast<int>((i + 1) * 100 / count));
    }
    session.Info(Text("szInfoPresent", {{"PORT", device}}));
    return BXI2_RESULT_PASS;
}

int CheckLoopback(PortAccess& port, const std::string& device, TestSession& session) {
    // A line follows its wire when it read right both on and off.
    bool rightOn[std::size(kWires)] = {};
    bool rightOff[std::size(kWires)] = {};
    const Wire* firstWrong = nullptr;
    uint8_t wrongControl = 0, wrongData = 0;
    constexpr int kSteps = 32;
    for (int step = 0; step < kSteps; ++step) {
        if (session.StopRequested()) {
            return BXI2_RESULT_DISCONTINUED;
        }
        uint8_t control = static_cast<uint8_t>(step & 0x0F);
        uint8_t data = static_cast<uint8_t>(step >> 4);
        uint8_t status = 0;
        if (!port.WriteControl(control) || !port.WriteData(data)) {
            return Refused(session, device);
        }
        std::this_thread::sleep_for(kSettleTime);
        if (!port.ReadStatus(status)) {
            return Refused(session, device);
        }
        uint8_t want = WrappedStatus(control, data);
        for (size_t w = 0; w < std::size(kWires); ++w) {
            const Wire& wire = kWires[w];
            bool on = (status & wire.status) != 0;
            if (on == ((want & wire.status) != 0)) {
                (on ? rightOn : rightOff)[w] = true;
            } else if (firstWrong == nullptr) {
                firstWrong = &wire;
                wrongControl = control;
                wrongData = data;
            }
        }
        session.PercentDone((step + 1) * 100 / kSteps);
    }
    if (firstWrong == nullptr) {
        session.Info(Text("szInfoLoopbackPassed", {{"PORT", device}}));
        return BXI2_RESULT_PASS;
    }
    bool anyFollowed = false;
    for (size_t w = 0; w < std::size(kWires); ++w) {
        anyFollowed = anyFollowed || (rightOn[w] && rightOff[w]);
    }
    if (!anyFollowed) {
        session.Error(kEventNoLoopback, Text("szErrNoLoopback", {{"PORT", device}}));
    } else {
        session.Error(kEventLoopbackLine,
                      Text("szErrLoopbackLine", {{"PORT", device},
                                                 {"LINE", firstWrong->input},
                                                 {"DRIVER", firstWrong->output},
                                                 {"CONTROL", HexByte(wrongControl)},
                                                 {"DATA", HexByte(wrongData)}}));
    }
    return BXI2_RESULT_FAIL;
}

int RunParallelTest(int test, const ParallelPort& port, TestSession& session) {
    if (test < 0 || test >= kParallelTestCount) {
        session.Error(kEventUnknownTest,
                      Text("szErrUnknownTest", {{"TEST", std::to_string(test)}}));
        return BXI2_RESULT_NOTAPPLICABLE;
    }
    session.PercentDone(0);
    auto opened = PpdevPort::Open(port.devicePath);
    if (!opened.port) {
        if (opened.notAParallelPort) {
            session.Error(kEventNotAParallelPort,
                          Text("szErrNotAParallelPort", {{"PORT", port.devicePath}}));
            return BXI2_RESULT_FAIL;
        }
        if (test == kPresenceTest && opened.failure == velk::module::OpenFailure::kMissing) {
            session.Error(kEventPortMissing,
                          Text("szErrNoDeviceNode", {{"PORT", port.devicePath}}));
            return BXI2_RESULT_FAIL;
        }
        session.Warning(velk::module::OpenFailureEventCode(opened.failure),
                        Text(velk::module::OpenFailureTextId(opened.failure),
                             {{"DEVICE", port.devicePath},
                              {"ERROR", opened.error != 0 ? std::strerror(opened.error) : ""}}));
        return velk::module::ResultForOpenFailure(opened.failure);
    }
    int result = test == kPresenceTest ? CheckDataRegister(*opened.port, port.devicePath, session)
                                       : CheckLoopback(*opened.port, port.devicePath, session);
    if (result == BXI2_RESULT_PASS && session.StopRequested()) {
        result = BXI2_RESULT_DISCONTINUED;
    }
    return result;
}

}  // namespace velk::parallelmodule
