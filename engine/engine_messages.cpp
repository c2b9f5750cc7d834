#include "engine_messages.h"

#include <vector>

#include "gen-str.h"
#include "markup_text.h"
#include "number_text.h"
#include "message-protocol.h"

namespace velk::engine {
namespace {

// Room for the header and the envelope around a body.
constexpr std::size_t kEnvelopeRoom = 512;

std::optional<std::uint32_t> NumberField(const std::string& message, const char* path) {
    std::optional<std::string> text = FieldOf(message, path);
    if (!text) {
        return std::nullopt;
    }
    std::optional<unsigned> value = ParseUnsigned(*text);
    if (!value) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*value);
}

}  // namespace

IncomingMessage ReadIncoming(const std::string& message) {
    // Modules insert their texts unescaped, and a stray '<' in the payload
    // would mislead the tag-path reader: the header is read on its own, and
    // the payload is everything between the first "<DATA>" after the header
    // and the last "</DATA>".
    static constexpr std::string_view kHeaderEnd = "</HDR>";
    static constexpr std::string_view kDataStart = "<DATA>";
    static constexpr std::string_view kDataEnd = "</DATA>";
    std::string::size_type headerEnd = message.find(kHeaderEnd);
    std::string header =
        headerEnd == std::string::npos ? message : message.substr(0, headerEnd + kHeaderEnd.size());
    IncomingMessage incoming;
    incoming.from = NumberField(header, VELK_MSG_PATH_FROM).value_or(0);
    incoming.id = NumberField(header, VELK_MSG_PATH_ID);
    incoming.re = NumberField(header, VELK_MSG_PATH_RE);
    incoming.type = FieldOf(header, VELK_MSG_PATH_TYPE).value_or("");
    std::string::size_type dataStart =
        headerEnd == std::string::npos ? std::string::npos : message.find(kDataStart, headerEnd);
    std::string::size_type dataEnd = message.rfind(kDataEnd);
    if (dataStart != std::string::npos && dataEnd != std::string::npos &&
        dataEnd >= dataStart + kDataStart.size()) {
        dataStart += kDataStart.size();
        incoming.data = message.substr(dataStart, dataEnd - dataStart);
    } else {
        incoming.data = FieldOf(message, VELK_MSG_PATH_DATA).value_or("");
    }
    return incoming;
}

std::string BuildResponse(std::uint32_t requester, std::uint32_t requestId, std::string_view body) {
    std::string text(body);
    std::vector<char> buffer(text.size() + kEnvelopeRoom);
    if (VelkClientCreateResponse(requester, requestId, text.c_str(), buffer.data(),
                                 static_cast<std::uint32_t>(buffer.size())) != VELK_MSG_OK) {
        return {};
    }
    return std::string(buffer.data());
}

std::string BuildNotice(std::uint32_t to, std::string_view type, std::string_view body) {
    std::string addressee = std::to_string(to);
    std::string typeText(type);
    char header[kEnvelopeRoom];
    if (VelkCreateMessageHeader(header, sizeof header, addressee.c_str(), nullptr, typeText.c_str(),
                                nullptr) != VELK_MSG_OK) {
        return {};
    }
    std::string data = Element(VELK_MSG_TAG_DATA, body);
    CGenStr message;
    if (!CGenStrInit(&message)) {
        return {};
    }
    std::string result;
    if (VelkCreateMessageStr(&message, VELK_MSG_TAG_MSG, header, data.c_str(),
                             static_cast<const char*>(nullptr)) == VELK_MSG_OK) {
        result = CGenStrC_Str(&message);
    }
    CGenStrDelete(&message);
    return result;
}

std::string ResultBody(std::string_view word) {
    return Element("RESULT", word);
}

std::string ErrorBody(std::string_view reason) {
    return ResultBody("ERROR") + TextElement("REASON", reason);
}

}  // namespace velk::engine
