// A second process for the transport tests.
//
//   transport_peer write-example <fifo>  writes the 157-byte example command
//                                         into <fifo> as its first message
//   transport_peer responder             connects, prints "READY <code>" and
//                                         answers every request until QUIT
//   transport_peer hold                  connects, prints "READY <code>" and
//                                         waits to be killed
//   transport_peer deaf                  as hold, but stops reading its FIFO
//                                         (which it keeps open)
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "client-connection-manager.h"
#include "client-messaging-engine.h"
#include "message-protocol.h"
#include "pipe-lowlevel.h"
#include "transport_samples.h"

namespace {

using velk::test::kExampleCommand;

int WriteExample(const char* fifoPath) {
    VelkInitPipes();
    int fd = VelkPipeOpen(fifoPath, 1);
    int length = static_cast<int>(kExampleCommand.size());
    bool written = fd >= 0 && VelkPipeWrite(fd, kExampleCommand.data(), length) == length;
    return written && VelkFlushWritePipe(fd, 5000) == 0 ? 0 : 1;
}

// Answers one request: ECHO: + payload, or BIG:<n> with n bytes; false on QUIT.
bool Answer(const char* message) {
    uint32_t sender = 0;
    uint32_t id = 0;
    std::vector<char> payload(std::strlen(message) + 1);
    if (VelkParsePacketHeaderAndData(message, &sender, &id, nullptr, payload.data(),
                                     static_cast<uint32_t>(payload.size())) < 0) {
        return true;
    }
    std::string data = payload.data();
    if (data == velk::test::kQuitCommand) {
        return false;
    }
    std::string body = data.rfind(velk::test::kBigReplyPrefix, 0) == 0
                           ? std::string(std::strtoul(data.c_str() + 4, nullptr, 10), 'x')
                           : std::string(velk::test::kEchoPrefix) + data;
    std::vector<char> reply(body.size() + 512);
    VelkClientCreateResponse(sender, id, body.c_str(), reply.data(),
                             static_cast<uint32_t>(reply.size()));
    return VelkClientSendMessage(reply.data()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "write-example" && argc > 2) {
        return WriteExample(argv[2]);
    }
    if (mode != "responder" && mode != "hold" && mode != "deaf") {
        std::fprintf(stderr,
                     "usage: transport_peer write-example <fifo> | responder | hold | deaf\n");
        return 64;
    }
    VelkInitPipes();
    VelkInitReadWriteThread();
    int code = VelkClientOpenConnectionEx("transport_peer", "NORMAL", "", nullptr);
    if (mode == "deaf") {
        VelkStopReadWriteThread();  // the FIFO fills up; the broker holds the rest
    }
    std::printf("READY %d\n", code);
    std::fflush(stdout);
    if (code != 0) {
        return 1;
    }
    for (bool serving = mode == "responder"; serving;) {
        VelkClientWaitForMessages(1000, 0);
        while (VelkClientMessage* message = VelkClientGetNextMessage(nullptr)) {
            serving = serving && Answer(message->pMessage);
            VelkClientFreeMessage(message);
        }
    }
    if (mode == "responder") {
        VelkClientCloseConnection();
        VelkStopReadWriteThread();
        VelkCleanupPipes();
        return 0;
    }
    for (;;) {
        pause();
    }
}
