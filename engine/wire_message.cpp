#include "wire_message.h"

#include "gen-str.h"
#include "message-protocol.h"
#include "number_text.h"

namespace velk::engine {
namespace {

// The content of the element at path, or nothing when it is absent.
std::optional<std::string> Field(const std::string& message, const char* path) {
    CGenStr content;
    if (!CGenStrInit(&content)) {
        return std::nullopt;
    }
    std::optional<std::string> value;
    if (VelkXmlGetFieldStr(message.c_str(), path, 0, &content) == 0) {
        value = std::string(CGenStrC_Str(&content));
    }
    CGenStrDelete(&content);
    return value;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

std::vector<std::string> SplitMessages(std::string_view text) {
    std::vector<std::string> messages;
    std::string_view::size_type start = 0;
    for (;;) {
        std::string_view::size_type end = text.find(kMessageEnd, start);
        if (end == std::string_view::npos) {
            return messages;
        }
        end += kMessageEnd.size();
        messages.emplace_back(text.substr(start, end - start));
        start = end;
    }
}

MessageKind ClassifyMessage(std::string_view message) {
    if (StartsWith(message, "<STARTUP>")) {
        return MessageKind::kStartup;
    }
    if (StartsWith(message, "<STOP>")) {
        return MessageKind::kClose;
    }
    if (StartsWith(message, "<MSG>")) {
        return MessageKind::kEnvelope;
    }
    return MessageKind::kUnknown;
}

std::optional<std::uint32_t> ParseProcessId(std::string_view text) {
    std::optional<unsigned> value = ParseUnsigned(text);
    if (!value || *value == 0 || *value > 0x7fffffffu) {
        return std::nullopt;
    }
    return *value;
}

std::optional<StartupRequest> ParseStartup(const std::string& message) {
    std::optional<std::string> read = Field(message, "STARTUP/READ");
    std::optional<std::string> pidText = Field(message, "STARTUP/PID");
    if (!read || read->empty() || !pidText) {
        return std::nullopt;
    }
    std::optional<std::uint32_t> pid = ParseProcessId(*pidText);
    if (!pid) {
        return std::nullopt;
    }
    StartupRequest request;
    request.readFifo = *read;
    request.pid = *pid;
    request.name = Field(message, "STARTUP/NAME").value_or("");
    request.nlsFile = Field(message, "STARTUP/NLSDATA").value_or("");
    request.clientClass = Field(message, "STARTUP/CLASS").value_or("");
    request.exeFileName = Field(message, "STARTUP/EXE_FILENAME").value_or("");
    return request;
}

std::optional<std::uint32_t> ParseClosePid(const std::string& message) {
    std::optional<std::string> pidText = Field(message, "STOP/PID");
    if (!pidText) {
        return std::nullopt;
    }
    return ParseProcessId(*pidText);
}

std::optional<std::string> EnvelopeAddressee(const std::string& message) {
    return Field(message, VELK_MSG_PATH_TO);
}

std::string EnvelopeData(const std::string& message) {
    return Field(message, VELK_MSG_PATH_DATA).value_or("");
}

}  // namespace velk::engine
