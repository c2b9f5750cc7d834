#include "EngineText.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "AutoMutex.h"
#include "client-messaging-engine.h"
#include "message-protocol.h"
#include "test-common.h"

namespace VELKCORE::detail {

GenStr::GenStr(int line, const char* file) {
    if (!CGenStrInit(&str_)) {
        VelkVerifyFailed(line, file);
    }
}

GenStr::~GenStr() {
    CGenStrDelete(&str_);
}

bool ReadField(const char* text, const char* path, int skip, GenStr& out) {
    if (text == nullptr) {
        CGenStrClear(out.Get());
        return false;
    }
    return VelkXmlGetFieldStr(text, path, skip, out.Get()) == VELK_MSG_OK;
}

std::optional<std::string> FieldText(const char* text, const char* path, int skip) {
    GenStr content;
    if (!ReadField(text, path, skip, content)) {
        return std::nullopt;
    }
    return content.Str();
}

std::optional<std::string> BoundedField(const char* text, const char* path, uint32_t size,
                                        int skip) {
    if (text == nullptr || size < 2) {
        return std::nullopt;
    }
    std::vector<char> area(size, '\0');
    if (VelkXmlGetField(text, path, skip, area.data(), size) != VELK_MSG_OK) {
        return std::nullopt;
    }
    return std::string(area.data());
}

std::optional<int32_t> ParseInt(const std::string& text) {
    const char* start = text.c_str();
    while (*start == ' ' || *start == '\t') {
        ++start;
    }
    if (*start == '\0') {
        return std::nullopt;
    }
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(start, &end, 10);
    if (end == start || errno == ERANGE || value < INT32_MIN || value > INT32_MAX) {
        return std::nullopt;
    }
    while (*end == ' ' || *end == '\t') {
        ++end;
    }
    if (*end != '\0') {
        return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

bool ElementWalker::Next(GenStr& out) {
    if (pos_ == nullptr) {
        CGenStrClear(out.Get());
        return false;
    }
    const char* end = nullptr;
    if (VelkXmlGetFieldStrAndTagStartEnd(pos_, nullptr, &end, name_, 0, out.Get()) != VELK_MSG_OK ||
        end == nullptr) {
        pos_ = nullptr;
        return false;
    }
    pos_ = end;
    return true;
}

int BufferTransaction(Addressee to, const std::string& command, uint32_t bufferSize, int waitMs,
                      std::string& reply) {
    std::vector<char> buffer(bufferSize, '\0');
    int built = 0;
    switch (to) {
        case Addressee::DIAGNOSTIC_ENGINE:
            built = VelkClientCreateDiagnosticEngineCommand(command.c_str(), nullptr, buffer.data(),
                                                            bufferSize);
            break;
        case Addressee::MESSAGE_BROKER:
            built =
                VelkClientCreateMessageBrokerCommand(command.c_str(), buffer.data(), bufferSize);
            break;
        case Addressee::NLS_ENGINE:
            built = VelkClientCreateNlsEngineCommand(command.c_str(), buffer.data(), bufferSize);
            break;
    }
    uint32_t id = 0;
    if (built != VELK_MSG_OK || VelkMessageGetMessageId(buffer.data(), &id) != VELK_MSG_OK) {
        return TX_NO_COMMAND;
    }
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::ENGINE_COMMAND);
    int result = VelkClientSendTransaction(buffer.data(), buffer.data(), bufferSize, waitMs, 0);
    if (result == VELK_TRANS_TOO_LONG) {
        // Nobody asks for it again: left in the message table, every such
        // reply would stay there for the life of the process.
        if (VelkClientMessage* tooLong = VelkClientFindMessageWithReField(id)) {
            VelkClientFreeMessage(VelkClientGetNextMessage(tooLong));
        }
    }
    if (result != VELK_TRANS_OK) {
        return TX_NO_ANSWER;
    }
    reply.assign(buffer.data());
    return TX_OK;
}

int DiagnosticEngineTransactionStr(const std::string& command, const char* lang, int waitMs,
                                   GenStr& reply) {
    GenStr message;
    if (VelkClientCreateDiagnosticEngineCommandStr(command.c_str(), lang, message.Get()) !=
        VELK_MSG_OK) {
        return TX_NO_COMMAND;
    }
    CAutoMutex lock(__FILE__, __LINE__, CAutoMutex::ENGINE_COMMAND);
    if (VelkClientSendTransactionStr(message.CStr(), reply.Get(), waitMs, 0) != VELK_TRANS_OK) {
        return TX_NO_ANSWER;
    }
    return TX_OK;
}

}  // namespace VELKCORE::detail
