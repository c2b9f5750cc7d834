// The envelopes of what the engine components receive and send, built and
// read with the message layer (global/message-protocol.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velk::engine {

// Header fields and payload of a received message.
struct IncomingMessage {
    std::uint32_t from = 0;  // 0 when FROM is missing or not a number
    std::optional<std::uint32_t> id;
    std::optional<std::uint32_t> re;
    std::string type;
    std::string data;  // MSG/DATA, raw
};

IncomingMessage ReadIncoming(const std::string& message);

// A TRANSACTION_RESPONSE to requester answering requestId, body as DATA
// (VelkClientCreateResponse).  Empty when it cannot be built.
std::string BuildResponse(std::uint32_t requester, std::uint32_t requestId, std::string_view body);

// A message of type to the client pid (no RE), body as DATA.  Empty when it
// cannot be built.
std::string BuildNotice(std::uint32_t to, std::string_view type, std::string_view body);

// "<RESULT>" + word + "</RESULT>".
std::string ResultBody(std::string_view word);
// An ERROR result with the reason a person reads in traces and tools.
std::string ErrorBody(std::string_view reason);

}  // namespace velk::engine
