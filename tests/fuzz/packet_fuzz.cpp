// Fuzzes the receiving side of commands.  The first byte chooses the size of
// the data buffer.
#include "fuzz-text.h"
#include "message-protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    uint32_t dataSize = data[0] % 64;
    FuzzText message(data + 1, size - 1);

    static const char* const commands[] = {"START_TEST", "GET_TEST_STATUS", "STOP_TEST", "",
                                           nullptr};
    static const char* const types[] = {"MBCMD", "DE_COMMAND", "NLS_COMMAND",
                                        "TRANSACTION_RESPONSE", nullptr};
    char buffer[64];
    memset(buffer, 'X', sizeof buffer);
    uint32_t sender = 0;
    uint32_t id = 0;
    int command = VelkParsePacketHeaderAndData(message.get(), &sender, &id, commands,
                                               dataSize > 0 ? buffer : nullptr, dataSize);
    FUZZ_CHECK(command >= -1 && command <= 4);
    if (dataSize > 0) {
        FUZZ_CHECK(memchr(buffer, '\0', dataSize) != nullptr);
    }
    int type = VelkParsePacketType(message.get(), types);
    FUZZ_CHECK(type >= 0 && type <= 4);

    char* typeCopy = nullptr;
    if (VelkMessageGetMessageType(message.get(), &typeCopy) == 0) {
        FUZZ_CHECK(typeCopy != nullptr);
    }
    free(typeCopy);
    uint32_t re = 0;
    VelkMessageGetMessageRe(message.get(), &re);
    return 0;
}
