// Message texts shared by the transport tests and their peer program.
#pragma once

#include <string_view>

namespace velk::test {

// A diagnostic-engine command of process 2345, its 17th message, sent at
// 2026-12-04 12:05:02 UTC: 157 bytes.
inline constexpr std::string_view kExampleCommand =
    "<MSG><HDR><FROM>2345</FROM><TO>DIAGENGINE</TO><ID>17</ID><TYPE>DE_COMMAND</TYPE>"
    "<TIME>20261204120502000</TIME></HDR><DATA>GET_TEST_STATUS:4711</DATA></MSG>\r\n";

// Payloads the responder peer understands.
inline constexpr std::string_view kQuitCommand = "QUIT";
inline constexpr std::string_view kBigReplyPrefix = "BIG:";  // BIG:<n>: a body of n bytes
inline constexpr std::string_view kEchoPrefix = "ECHO:";     // reply body: ECHO: + payload

}  // namespace velk::test
