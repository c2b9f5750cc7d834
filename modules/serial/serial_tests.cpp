#include "serial_tests.h"

#include <linux/serial.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "bxi2.h"
#include "control_lines.h"
#include "serial_line.h"

namespace velk::serialmodule {
namespace {

using velk::module::OpenFailure;
using velk::modules::TestSession;
using velk::modules::Text;

constexpr unsigned kTestSpeed = 115200;
constexpr size_t kBlockBytes = 256;
constexpr unsigned kLoopbackBlocks = 8;
constexpr unsigned kTransmitBlocks = 8;
constexpr int kReplyMarginMs = 500;
constexpr auto kLineSettleTime = std::chrono::milliseconds(20);

std::string HexByte(uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", value);
    return text;
}

unsigned Scaled(unsigned full, double percent) {
    return std::max(1u, static_cast<unsigned>(std::ceil(full * percent / 100.0)));
}

// Block k of the loopback data: all zeros, all ones, alternating bits,
// counting bytes, then pseudo-random bytes.
std::vector<uint8_t> Pattern(unsigned block) {
    std::vector<uint8_t> data(kBlockBytes);
    uint32_t state = 0x9E3779B9u * (block + 1);
    for (size_t i = 0; i < data.size(); ++i) {
        switch (block) {
            case 0:
                data[i] = 0x00;
                break;
            case 1:
                data[i] = 0xFF;
                break;
            case 2:
                data[i] = (i & 1) ? 0xAA : 0x55;
                break;
            case 3:
                data[i] = static_cast<uint8_t>(i);
                break;
            default:
                state = state * 1664525u + 1013904223u;
                data[i] = static_cast<uint8_t>(state >> 24);
        }
    }
    return data;
}

// One line setting the settings test applies and reads back.
struct Setting {
    const char* name;
    speed_t speed;
    tcflag_t cflagOn;  // set in c_cflag (besides the size/parity bits)
    tcflag_t iflagOn;  // set in c_iflag
    tcflag_t size;     // CS5 to CS8
    bool extended;     // drivers may legitimately adjust it
};

const Setting kSettings[] = {
    {"1200-8N1", B1200, 0, 0, CS8, false},
    {"9600-8N2", B9600, CSTOPB, 0, CS8, false},
    {"19200-8N1-RTSCTS", B19200, CRTSCTS, 0, CS8, false},
    {"38400-8N1-XONXOFF", B38400, 0, IXON | IXOFF, CS8, false},
    {"57600-8N2", B57600, CSTOPB, 0, CS8, false},
    {"115200-8N1", B115200, 0, 0, CS8, false},
    {"2400-8N1-RTSCTS-XONXOFF", B2400, CRTSCTS, IXON | IXOFF, CS8, false},
    {"9600-7E1", B9600, PARENB, 0, CS7, true},
    {"9600-7O2", B9600, PARENB | PARODD | CSTOPB, 0, CS7, true},
    {"9600-6N1", B9600, 0, 0, CS6, true},
    {"9600-5N2", B9600, CSTOPB, 0, CS5, true},
};

constexpr tcflag_t kComparedCflags = CSIZE | CSTOPB | PARENB | PARODD | CRTSCTS;
constexpr tcflag_t kComparedIflags = IXON | IXOFF;

class SerialTestRun {
  public:
    SerialTestRun(int test, const SerialPort& port, TestSession& session)
        : test_(test), port_(port), session_(session) {}

    int Run() {
        session_.PercentDone(0);
        auto opened = SerialLine::Open(port_.devicePath);
        if (!opened.line) {
            return OpenFailed(opened);
        }
        line_ = std::move(opened.line);
        int result = BXI2_RESULT_PASS;
        switch (test_) {
            case kLoopbackDataTest:
                result = LoopbackData();
                break;
            case kLoopbackControlTest:
                result = LoopbackControl();
                break;
            case kPresenceTest:
                result = Presence();
                break;
            case kSettingsTest:
                result = Settings();
                break;
            default:
                result = Transmit();
        }
        if (result == BXI2_RESULT_PASS && session_.StopRequested()) {
            result = BXI2_RESULT_DISCONTINUED;
        }
        if (result == BXI2_RESULT_PASS) {
            session_.PercentDone(100);
        }
        return result;
    }

  private:
    Text Port(const char* id, std::vector<std::pair<std::string, std::string>> more = {}) const {
        more.insert(more.begin(), {"PORT", port_.devicePath});
        return Text(id, std::move(more));
    }

    int OpenFailed(const SerialLine::Opened& opened) {
        if (test_ == kPresenceTest &&
            (opened.failure == OpenFailure::kMissing || opened.notATerminal)) {
            session_.Error(kEventPortMissing,
                           Port(opened.notATerminal ? "szErrNotATerminal" : "szErrNoDeviceNode"));
            return BXI2_RESULT_FAIL;
        }
        session_.Warning(velk::module::OpenFailureEventCode(opened.failure),
                         Text(velk::module::OpenFailureTextId(opened.failure),
                              {{"DEVICE", port_.devicePath},
                               {"ERROR", opened.error != 0 ? std::strerror(opened.error) : ""}}));
        return velk::module::ResultForOpenFailure(opened.failure);
    }

    bool SetRaw() {
        if (line_->SetRaw(B115200)) {
            return true;
        }
        session_.Error(kEventPortRefused,
                       Port("szErrPortRefused", {{"ERROR", std::strerror(errno)}}));
        return false;
    }

    int LoopbackData() {
        if (!SetRaw()) {
            return BXI2_RESULT_FAIL;
        }
        unsigned blocks = Scaled(kLoopbackBlocks, session_.PercentToTest());
        size_t received = 0;
        for (unsigned block = 0; block < blocks; ++block) {
            if (session_.StopRequested()) {
                return BXI2_RESULT_DISCONTINUED;
            }
            std::vector<uint8_t> sent = Pattern(block);
            std::vector<uint8_t> back(sent.size());
            int waitMs = TransmitMs(sent.size(), kTestSpeed) + kReplyMarginMs;
            size_t written = line_->Write(sent.data(), sent.size(), waitMs);
            size_t got = line_->Read(back.data(), written, waitMs);
            received += got;
            if (received == 0) {
                session_.Error(kEventNoLoopback, Port("szErrNoLoopback"));
                return BXI2_RESULT_FAIL;
            }
            for (size_t i = 0; i < got; ++i) {
                if (back[i] != sent[i]) {
                    session_.Error(kEventLoopbackData,
                                   Port("szErrLoopbackData",
                                        {{"OFFSET", std::to_string(block * kBlockBytes + i)},
                                         {"GOT", HexByte(back[i])},
                                         {"WANT", HexByte(sent[i])}}));
                    return BXI2_RESULT_FAIL;
                }
            }
            if (got < sent.size()) {
                session_.Error(kEventLoopbackData,
                               Port("szErrLoopbackShort", {{"GOT", std::to_string(got)},
                                                           {"WANT", std::to_string(sent.size())}}));
                return BXI2_RESULT_FAIL;
            }
            session_.PercentDone(static_cast<int>((block + 1) * 100 / blocks));
            session_.Progress(
                Port("szProgressBytes", {{"DONE", std::to_string(received)},
                                         {"TOTAL", std::to_string(blocks * kBlockBytes)}}));
        }
        session_.Info(Port("szInfoLoopbackPassed", {{"BYTES", std::to_string(received)}}));
        return BXI2_RESULT_PASS;
    }

    int LoopbackControl() {
        int original = 0;
        if (::ioctl(line_->Fd(), TIOCMGET, &original) != 0) {
            session_.Error(kEventNoControlLines,
                           Port("szErrNoControlLines", {{"ERROR", std::strerror(errno)}}));
            return BXI2_RESULT_NOTAPPLICABLE;
        }
        std::vector<LineObservation> observations;
        std::vector<int> steps = ControlLineSteps();
        for (size_t i = 0; i < steps.size(); ++i) {
            int bits = (original & ~(TIOCM_RTS | TIOCM_DTR)) | steps[i];
            LineObservation observation{steps[i], 0};
            if (::ioctl(line_->Fd(), TIOCMSET, &bits) != 0) {
                session_.Error(kEventNoControlLines,
                               Port("szErrNoControlLines", {{"ERROR", std::strerror(errno)}}));
                return BXI2_RESULT_NOTAPPLICABLE;
            }
            std::this_thread::sleep_for(kLineSettleTime);
            ::ioctl(line_->Fd(), TIOCMGET, &observation.read);
            observations.push_back(observation);
            session_.PercentDone(static_cast<int>((i + 1) * 100 / steps.size()));
        }
        ::ioctl(line_->Fd(), TIOCMSET, &original);
        auto verdict = JudgeControlLines(observations);
        if (!verdict) {
            session_.Info(Port("szInfoControlPassed"));
            return BXI2_RESULT_PASS;
        }
        if (verdict->noAdapter) {
            session_.Error(kEventNoControlLoopback, Port("szErrNoControlLoopback"));
        } else {
            session_.Error(kEventControlLine,
                           Port(verdict->expectedOn ? "szErrControlLineOff" : "szErrControlLineOn",
                                {{"LINE", verdict->input}, {"DRIVEN", verdict->driven}}));
        }
        return BXI2_RESULT_FAIL;
    }

    int Presence() {
        serial_struct serial{};
        if (::ioctl(line_->Fd(), TIOCGSERIAL, &serial) == 0) {
            if (serial.type == PORT_UNKNOWN) {
                session_.Error(kEventPortMissing, Port("szErrUartUnknown"));
                return BXI2_RESULT_FAIL;
            }
            session_.Info(Port("szInfoUart", {{"UART", UartTypeName(serial.type)},
                                              {"IRQ", std::to_string(serial.irq)}}));
        }
        session_.Info(Port("szInfoPresent"));
        return BXI2_RESULT_PASS;
    }

    int Settings() {
        std::vector<Setting> settings(std::begin(kSettings), std::end(kSettings));
        size_t count = std::min(settings.size(),
                                static_cast<size_t>(Scaled(static_cast<unsigned>(settings.size()),
                                                           session_.PercentToTest())));
        size_t adjusted = 0;
        for (size_t i = 0; i < count; ++i) {
            if (session_.StopRequested()) {
                return BXI2_RESULT_DISCONTINUED;
            }
            const Setting& setting = settings[i];
            termios wanted = line_->Original();
            ::cfmakeraw(&wanted);
            wanted.c_cflag = (wanted.c_cflag & ~kComparedCflags) | CLOCAL | CREAD | setting.size |
                             setting.cflagOn;
            wanted.c_iflag = (wanted.c_iflag & ~kComparedIflags) | setting.iflagOn;
            termios got{};
            if (::cfsetispeed(&wanted, setting.speed) != 0 ||
                ::cfsetospeed(&wanted, setting.speed) != 0 ||
                ::tcsetattr(line_->Fd(), TCSANOW, &wanted) != 0 ||
                ::tcgetattr(line_->Fd(), &got) != 0) {
                session_.Error(kEventPortRefused,
                               Port("szErrPortRefused", {{"ERROR", std::strerror(errno)}}));
                return BXI2_RESULT_FAIL;
            }
            bool kept = ::cfgetispeed(&got) == setting.speed &&
                        ::cfgetospeed(&got) == setting.speed &&
                        (got.c_cflag & kComparedCflags) == (wanted.c_cflag & kComparedCflags) &&
                        (got.c_iflag & kComparedIflags) == (wanted.c_iflag & kComparedIflags);
            if (!kept && !setting.extended) {
                session_.Error(kEventSettingNotKept,
                               Port("szErrSettingNotKept", {{"SETTING", setting.name}}));
                return BXI2_RESULT_FAIL;
            }
            if (!kept) {
                ++adjusted;
                session_.Warning(kEventSettingAdjusted,
                                 Port("szWarnSettingAdjusted", {{"SETTING", setting.name}}));
            }
            session_.PercentDone(static_cast<int>((i + 1) * 100 / count));
        }
        session_.Info(Port("szInfoSettingsPassed", {{"COUNT", std::to_string(count - adjusted)},
                                                    {"TOTAL", std::to_string(count)}}));
        return BXI2_RESULT_PASS;
    }

    int Transmit() {
        if (!SetRaw()) {
            return BXI2_RESULT_FAIL;
        }
        unsigned blocks = Scaled(kTransmitBlocks, session_.PercentToTest());
        size_t sent = 0;
        for (unsigned block = 0; block < blocks; ++block) {
            if (session_.StopRequested()) {
                return BXI2_RESULT_DISCONTINUED;
            }
            std::vector<uint8_t> data = Pattern(block);
            int waitMs = 2 * TransmitMs(data.size(), kTestSpeed) + kReplyMarginMs;
            size_t written = line_->Write(data.data(), data.size(), waitMs);
            sent += written;
            if (written < data.size()) {
                session_.Error(
                    kEventTransmit,
                    Port("szErrTransmitStuck", {{"SENT", std::to_string(sent)},
                                                {"WANT", std::to_string(blocks * kBlockBytes)}}));
                return BXI2_RESULT_FAIL;
            }
            session_.PercentDone(static_cast<int>((block + 1) * 90 / blocks));
        }
        // The output queue must empty in about the time its bytes take.
        int queued = line_->OutputQueued();
        auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(2 * TransmitMs(std::max(queued, 0), kTestSpeed) +
                                                  kReplyMarginMs);
        while (queued > 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            queued = line_->OutputQueued();
        }
        if (queued > 0) {
            session_.Error(kEventTransmit,
                           Port("szErrTransmitQueued", {{"LEFT", std::to_string(queued)}}));
            return BXI2_RESULT_FAIL;
        }
        session_.Info(Port("szInfoTransmitPassed", {{"BYTES", std::to_string(sent)}}));
        return BXI2_RESULT_PASS;
    }

    int test_;
    const SerialPort& port_;
    TestSession& session_;
    std::unique_ptr<SerialLine> line_;
};

}  // namespace

int RunSerialTest(int test, const SerialPort& port, TestSession& session) {
    if (test < 0 || test >= kSerialTestCount) {
        session.Error(kEventUnknownTest,
                      Text("szErrUnknownTest", {{"TEST", std::to_string(test)}}));
        return BXI2_RESULT_NOTAPPLICABLE;
    }
    return SerialTestRun(test, port, session).Run();
}

}  // namespace velk::serialmodule
