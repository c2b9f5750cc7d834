// Reading the messages that reach the broker: cutting received text into
// messages, telling handshake messages from enveloped ones, and reading the
// fields the broker routes by.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velk::engine {

inline constexpr std::string_view kMessageEnd = "\r\n";
inline constexpr const char* kBrokerAddress = "MESSAGEBROKER";
inline constexpr const char* kStopBrokerCommand = "STOP_MESSAGE_BROKER";

// Cuts text at each CR LF; every message keeps its CR LF.  A rest without
// CR LF is dropped.
std::vector<std::string> SplitMessages(std::string_view text);

enum class MessageKind { kStartup, kClose, kEnvelope, kUnknown };
MessageKind ClassifyMessage(std::string_view message);

struct StartupRequest {
    std::string readFifo;
    std::uint32_t pid = 0;
    std::string name;
    std::string nlsFile;
    std::string clientClass;
    std::string exeFileName;
};

// The fields of "<STARTUP>...</STARTUP>"; nothing when READ or PID is
// missing or PID is not a process id.
std::optional<StartupRequest> ParseStartup(const std::string& message);
// The PID of "<STOP><PID>..</PID></STOP>".
std::optional<std::uint32_t> ParseClosePid(const std::string& message);

// MSG/HDR/TO, the addressee the broker routes by.
std::optional<std::string> EnvelopeAddressee(const std::string& message);
// MSG/DATA, empty when absent.
std::string EnvelopeData(const std::string& message);

// A decimal process id: digits only, above 0, within 32 bits.
std::optional<std::uint32_t> ParseProcessId(std::string_view text);

}  // namespace velk::engine
