#include "transport_harness.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "TestProcess.h"

#include "client-connection-manager.h"
#include "client-fifo-access.h"
#include "client-messaging-engine.h"
#include "message-protocol.h"
#include "pipe-lowlevel.h"

namespace velk::test {
namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point start, int timeoutMs) {
    return timeoutMs -
           static_cast<int>(
               std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

constexpr int kPollMs = 5;

}  // namespace

std::string ReadRaw(int fd, size_t count, int timeoutMs, const std::string& terminator) {
    std::string bytes;
    Clock::time_point start = Clock::now();
    while (bytes.size() < count &&
           (terminator.empty() || bytes.find(terminator) == std::string::npos)) {
        int left = MillisecondsLeft(start, timeoutMs);
        struct pollfd watched = {fd, POLLIN, 0};
        if (left <= 0 || poll(&watched, 1, std::min(left, kPollMs)) < 0) {
            break;
        }
        // Byte by byte while looking for a terminator: nothing read past it.
        char buffer[4096];
        size_t want = terminator.empty() ? std::min(sizeof buffer, count - bytes.size()) : 1;
        ssize_t got = read(fd, buffer, want);
        if (got > 0) {
            bytes.append(buffer, static_cast<size_t>(got));
        }
    }
    return bytes;
}

void WriteRaw(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written > 0) {
            done += static_cast<size_t>(written);
            continue;
        }
        ASSERT_TRUE(errno == EAGAIN || errno == EINTR) << std::strerror(errno);
        struct pollfd watched = {fd, POLLOUT, 0};
        poll(&watched, 1, 100);
    }
}

std::string Delimiter(unsigned long sequence, int pid, int piece, int count,
                      unsigned long pieceLength, unsigned long totalLength) {
    return "|\x01\x01\x01H:" + std::to_string(sequence) + ":" + std::to_string(pid) + ":" +
           std::to_string(piece) + ":" + std::to_string(count) + ":" + std::to_string(pieceLength) +
           ":" + std::to_string(totalLength) + ":\x01\x01\x01|";
}

std::string Frame(unsigned long sequence, int pid, const std::string& message) {
    return Delimiter(sequence, pid, 1, 1, message.size(), message.size()) + message;
}

std::string Request(const std::string& addressee, const std::string& data, uint32_t* id) {
    char header[400];
    EXPECT_EQ(VelkCreateMessageHeader(header, sizeof header, addressee.c_str(), nullptr,
                                      VELK_MSG_TYPE_DE_COMMAND, nullptr),
              0);
    std::string message = "<MSG>" + std::string(header) + "<DATA>" + data + "</DATA></MSG>\r\n";
    EXPECT_EQ(VelkMessageGetMessageId(message.c_str(), id), 0);
    return message;
}

std::string FieldOf(const std::string& message, const char* path) {
    std::vector<char> value(message.size() + 2);
    if (VelkXmlGetField(message.c_str(), path, 0, value.data(),
                        static_cast<uint32_t>(value.size())) != 0) {
        return "";
    }
    return value.data();
}

void PipeLayerTest::SetUp() {
    dir_ = testsupport::MakePrivateDirectory("velk-pipes");
    ASSERT_FALSE(dir_.empty());
    VelkInitPipes();
    VelkPipeSignalHandle();
}

void PipeLayerTest::TearDown() {
    for (int fd : rawDescriptors_) {
        close(fd);
    }
    VelkCleanupPipes();
    testsupport::RemoveTree(dir_);
}

std::string PipeLayerTest::MakeFifo(const std::string& name) {
    EXPECT_EQ(VelkPipeMkFifo(Child(name).c_str()), 0);
    return Child(name);
}

int PipeLayerTest::OpenRaw(const std::string& path, int flags) {
    int fd = open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC);
    EXPECT_GE(fd, 0) << path;
    rawDescriptors_.push_back(fd);
    return fd;
}

PipeLayerTest::FedReader PipeLayerTest::MakeFedReader(const std::string& name) {
    std::string path = MakeFifo(name);
    int reader = VelkPipeOpen(path.c_str(), 0);
    EXPECT_GE(reader, 0);
    return {reader, OpenRaw(path, O_WRONLY)};
}

std::string PipeLayerTest::ReadMessages(int fd) {
    char* text = nullptr;
    int length = VelkPipeRead(fd, &text);
    std::string result = length > 0 ? std::string(text, static_cast<size_t>(length)) : "";
    EXPECT_TRUE(length > 0 ? text[length] == '\0' : text == nullptr);
    std::free(text);
    return result;
}

void TransportTest::SetUp() {
    root_ = testsupport::MakePrivateDirectory("velk-transport");
    ASSERT_FALSE(root_.empty());
    ASSERT_EQ(mkdir(PipeDir().c_str(), 0700), 0);
    ASSERT_EQ(mkdir(HomeDir().c_str(), 0700), 0);
    setenv("VELK_TMP", PipeDir().c_str(), 1);
    VelkSetServerFifoNameEx(nullptr);
    VelkInitPipes();
    ASSERT_EQ(VelkInitReadWriteThread(), 0);
}

void TransportTest::TearDown() {
    VelkClientCloseConnection();
    while (VelkClientMessage* left = VelkClientGetNextMessage(nullptr)) {
        VelkClientFreeMessage(left);
    }
    // Brokers last, so that clients can still say goodbye.  A broker that
    // still runs must end cleanly on SIGTERM; no process may have reported a
    // sanitizer finding.
    for (auto child = children_.rbegin(); child != children_.rend(); ++child) {
        bool runningBroker = (*child)->Running() && std::find(brokers_.begin(), brokers_.end(),
                                                              (*child)->Pid()) != brokers_.end();
        int status = (*child)->Stop(SIGTERM);
        std::string errors = (*child)->ErrorOutput();
        EXPECT_EQ(errors.find("Sanitizer"), std::string::npos) << errors;
        EXPECT_EQ(errors.find("runtime error"), std::string::npos) << errors;
        EXPECT_TRUE(!runningBroker || (WIFEXITED(status) && WEXITSTATUS(status) == 0))
            << "broker status " << status << ": " << errors;
    }
    children_.clear();
    brokers_.clear();
    VelkStopReadWriteThread();
    VelkCleanupPipes();
    EXPECT_EQ(PipeDirEntries(), std::vector<std::string>{}) << "FIFOs left in the pipe directory";
    unsetenv("VELK_TMP");
    testsupport::RemoveTree(root_);
}

ChildProcess& TransportTest::Start(const std::string& program,
                                   const std::vector<std::string>& arguments) {
    std::vector<std::string> environment =
        testsupport::EnvironmentWithout({"VELK_TMP=", "HOME=", "VELKOR_HOME="});
    environment.push_back("VELK_TMP=" + PipeDir());
    environment.push_back("HOME=" + HomeDir());
    // The private home holds no module: the build's bin directory holds the
    // real device modules, which these tests must not start.
    environment.push_back("VELKOR_HOME=" + HomeDir());
    std::string output = root_ + "/child" + std::to_string(children_.size());
    children_.push_back(std::make_unique<ChildProcess>(program, arguments, environment, output));
    return *children_.back();
}

ChildProcess& TransportTest::StartBroker(const std::vector<std::string>& words,
                                         const std::string& program) {
    ChildProcess& broker = Start(program, words);
    brokers_.push_back(broker.Pid());
    bool multi = std::find(words.begin(), words.end(), "--multi") != words.end();
    std::string fifo = multi ? BrokerFifo() + "_" + std::to_string(broker.Pid()) : BrokerFifo();
    EXPECT_TRUE(testsupport::WaitForReader(fifo, 10000, kPollMs))
        << "velkcore did not start: " << broker.ErrorOutput();
    return broker;
}

ChildProcess& TransportTest::StartPeer(const std::string& mode, int* readyCode) {
    ChildProcess& peer = Start(VELK_PEER_PATH, {mode});
    std::optional<std::string> line = peer.FirstLine(15000);
    *readyCode = line && line->rfind("READY ", 0) == 0 ? std::atoi(line->c_str() + 6) : -1;
    return peer;
}

std::pair<int, std::string> TransportTest::Transact(const std::string& addressee,
                                                    const std::string& data, int timeoutMs,
                                                    uint32_t bufferSize, uint32_t* requestId) {
    uint32_t id = 0;
    std::string request = Request(addressee, data, &id);
    if (requestId != nullptr) {
        *requestId = id;
    }
    std::string reply(bufferSize, '\0');
    int result = VelkClientSendTransaction(request.c_str(), reply.data(), bufferSize, timeoutMs, 0);
    return {result, reply.c_str()};
}

std::string TransportTest::AskFakeEngine(const std::string& command) {
    auto [result, reply] = Transact(VELK_MSG_TO_DIAGENGINE, command);
    EXPECT_EQ(result, VELK_TRANS_OK) << command;
    return FieldOf(reply, VELK_MSG_PATH_DATA);
}

}  // namespace velk::test
