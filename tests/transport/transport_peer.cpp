// A second process for the transport tests and the benchmark's checks.
//
//   transport_peer write-example <fifo>  writes the 157-byte example command
//                                         into <fifo> as this process's first
//                                         message, then exits
//   transport_peer responder             connects to the broker, prints
//                                         "READY <code>", answers every request
//                                         until it receives QUIT
//   transport_peer hold                  connects, prints "READY <code>" and
//                                         waits to be killed
//   transport_peer deaf                  connects, stops reading its FIFO
//                                         (which it keeps open), prints
//                                         "READY <code>" and waits to be killed
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

using velk::test::kBigReplyPrefix;
using velk::test::kEchoPrefix;
using velk::test::kExampleCommand;
using velk::test::kQuitCommand;

int WriteExample(const char* fifoPath) {
    VelkInitPipes();
    int fd = VelkPipeOpen(fifoPath, 1);
    if (fd < 0) {
        return 2;
    }
    int length = static_cast<int>(kExampleCommand.size());
    int written = VelkPipeWrite(fd, kExampleCommand.data(), length);
    int left = VelkFlushWritePipe(fd, 5000);
    VelkPipeClose(fd);
    return written == length && left == 0 ? 0 : 1;
}

int Connect() {
    VelkInitPipes();
    VelkInitReadWriteThread();
    int code = VelkClientOpenConnectionEx("transport_peer", "NORMAL", "", nullptr);
    std::printf("READY %d\n", code);
    std::fflush(stdout);
    return code;
}

std::string ReplyBody(const std::string& payload) {
    if (payload.rfind(kBigReplyPrefix, 0) == 0) {
        return std::string(std::strtoul(payload.c_str() + kBigReplyPrefix.size(), nullptr, 10),
                           'x');
    }
    return std::string(kEchoPrefix) + payload;
}

// Answers one request; false when the peer should end.
bool Answer(const char* message) {
    uint32_t sender = 0;
    uint32_t id = 0;
    std::vector<char> payload(std::strlen(message) + 1);
    if (VelkParsePacketHeaderAndData(message, &sender, &id, nullptr, payload.data(),
                                     static_cast<uint32_t>(payload.size())) < 0) {
        return true;
    }
    if (kQuitCommand == payload.data()) {
        return false;
    }
    std::string body = ReplyBody(payload.data());
    std::vector<char> reply(body.size() + 512);
    if (VelkClientCreateResponse(sender, id, body.c_str(), reply.data(),
                                 static_cast<uint32_t>(reply.size())) != 0) {
        return true;
    }
    return VelkClientSendMessage(reply.data()) == 0;
}

int Respond() {
    if (Connect() != 0) {
        return 1;
    }
    bool serving = true;
    while (serving) {
        VelkClientWaitForMessages(1000, 0);
        while (VelkClientMessage* message = VelkClientGetNextMessage(nullptr)) {
            serving = serving && Answer(message->pMessage);
            VelkClientFreeMessage(message);
        }
    }
    VelkClientCloseConnection();
    VelkStopReadWriteThread();
    VelkCleanupPipes();
    return 0;
}

int Hold() {
    if (Connect() != 0) {
        return 1;
    }
    for (;;) {
        pause();
    }
}

// Keeps its FIFO open but reads nothing more: the FIFO fills up and the
// broker is left holding what is sent to it.
int Deaf() {
    VelkInitPipes();
    VelkInitReadWriteThread();
    int code = VelkClientOpenConnectionEx("transport_peer", "NORMAL", "", nullptr);
    VelkStopReadWriteThread();
    std::printf("READY %d\n", code);
    std::fflush(stdout);
    if (code != 0) {
        return 1;
    }
    for (;;) {
        pause();
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "write-example" && argc > 2) {
        return WriteExample(argv[2]);
    }
    if (mode == "responder") {
        return Respond();
    }
    if (mode == "hold") {
        return Hold();
    }
    if (mode == "deaf") {
        return Deaf();
    }
    std::fprintf(stderr, "usage: transport_peer write-example <fifo> | responder | hold | deaf\n");
    return 64;
}
