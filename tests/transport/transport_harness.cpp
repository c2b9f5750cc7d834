#include "transport_harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "TestProcess.h"

#include "client-connection-manager.h"
#include "client-fifo-access.h"
#include "client-messaging-engine.h"
#include "message-protocol.h"
#include "pipe-lowlevel.h"

namespace velk::test {
namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsSince(Clock::time_point start) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// The polling interval of this harness.
constexpr int kPollMs = 5;

}  // namespace

TempDir::TempDir() : path_(testsupport::MakePrivateDirectory("velk-transport")) {
    if (path_.empty()) {
        ADD_FAILURE() << "mkdtemp: " << std::strerror(errno);
    }
}

TempDir::~TempDir() {
    testsupport::RemoveTree(path_);
}

std::vector<std::string> TempDir::Entries() const {
    return ListDirectory(path_);
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment) {
    int outputPipe[2];
    int errorPipe[2];
    if (pipe2(outputPipe, O_CLOEXEC) != 0 || pipe2(errorPipe, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe2: " << std::strerror(errno);
        return;
    }
    int result = testsupport::Spawn(program, arguments, environment,
                                    {testsupport::Redirect::Dup(STDOUT_FILENO, outputPipe[1]),
                                     testsupport::Redirect::Dup(STDERR_FILENO, errorPipe[1])},
                                    &pid_);
    close(outputPipe[1]);
    close(errorPipe[1]);
    output_ = outputPipe[0];
    errors_ = errorPipe[0];
    if (result != 0) {
        ADD_FAILURE() << "posix_spawn " << program << ": " << std::strerror(result);
    }
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        Stop(SIGTERM);
    }
    if (output_ >= 0) {
        close(output_);
    }
    if (errors_ >= 0) {
        close(errors_);
    }
}

std::optional<std::string> ChildProcess::ReadLine(int timeoutMs) {
    Clock::time_point start = Clock::now();
    for (;;) {
        std::string::size_type end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return line;
        }
        int left = timeoutMs - MillisecondsSince(start);
        if (left <= 0) {
            return std::nullopt;
        }
        struct pollfd watched = {output_, POLLIN, 0};
        if (poll(&watched, 1, left) <= 0) {
            continue;
        }
        char bytes[256];
        ssize_t got = read(output_, bytes, sizeof bytes);
        if (got <= 0) {
            return std::nullopt;
        }
        pending_.append(bytes, static_cast<size_t>(got));
    }
}

std::string ChildProcess::ErrorOutput() {
    std::string text;
    char bytes[256];
    int flags = fcntl(errors_, F_GETFL);
    fcntl(errors_, F_SETFL, flags | O_NONBLOCK);
    ssize_t got;
    while ((got = read(errors_, bytes, sizeof bytes)) > 0) {
        text.append(bytes, static_cast<size_t>(got));
    }
    return text;
}

std::optional<int> ChildProcess::WaitForExit(int timeoutMs) {
    std::optional<int> status = testsupport::WaitForExit(pid_, timeoutMs, kPollMs);
    if (status) {
        pid_ = -1;
    }
    return status;
}

int ChildProcess::Stop(int signal) {
    pid_t pid = pid_;
    testsupport::StopResult result = testsupport::StopProcess(pid, signal, 10000, kPollMs);
    pid_ = -1;
    if (result.forced) {
        ADD_FAILURE() << "process " << pid << " did not end on signal " << signal;
    }
    return result.status;
}

std::vector<std::string> ChildEnvironment(const std::string& pipeDirectory,
                                          const std::string& homeDirectory) {
    std::vector<std::string> entries =
        testsupport::EnvironmentWithout({"VELK_TMP=", "HOME=", "VELKOR_HOME="});
    entries.push_back("VELK_TMP=" + pipeDirectory);
    entries.push_back("HOME=" + homeDirectory);
    entries.push_back("VELKOR_HOME=" + homeDirectory);
    return entries;
}

bool WaitForReader(const std::string& path, int timeoutMs) {
    return testsupport::WaitForReader(path, timeoutMs, kPollMs);
}

bool WaitForRemoval(const std::string& path, int timeoutMs) {
    return testsupport::WaitForRemoval(path, timeoutMs, kPollMs);
}

std::string ReadRaw(int fd, size_t count, int timeoutMs) {
    std::string bytes;
    Clock::time_point start = Clock::now();
    while (bytes.size() < count) {
        int left = timeoutMs - MillisecondsSince(start);
        if (left <= 0) {
            break;
        }
        struct pollfd watched = {fd, POLLIN, 0};
        if (poll(&watched, 1, left) <= 0) {
            continue;
        }
        char buffer[4096];
        size_t want = std::min(sizeof buffer, count - bytes.size());
        ssize_t got = read(fd, buffer, want);
        if (got > 0) {
            bytes.append(buffer, static_cast<size_t>(got));
        } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
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
    return std::string("|\x01\x01\x01") + "H:" + std::to_string(sequence) + ":" +
           std::to_string(pid) + ":" + std::to_string(piece) + ":" + std::to_string(count) + ":" +
           std::to_string(pieceLength) + ":" + std::to_string(totalLength) + ":" +
           std::string("\x01\x01\x01|");
}

std::string Frame(unsigned long sequence, int pid, const std::string& message) {
    return Delimiter(sequence, pid, 1, 1, message.size(), message.size()) + message;
}

std::string ReadUntil(int fd, const std::string& terminator, int timeoutMs) {
    std::string bytes;
    Clock::time_point start = Clock::now();
    while (bytes.find(terminator) == std::string::npos) {
        int left = timeoutMs - MillisecondsSince(start);
        if (left <= 0) {
            break;
        }
        bytes += ReadRaw(fd, 1, left);
    }
    return bytes;
}

std::string Request(const std::string& addressee, const std::string& data, uint32_t* id) {
    char header[400];
    EXPECT_EQ(VelkCreateMessageHeader(header, sizeof header, addressee.c_str(), nullptr,
                                      VELK_MSG_TYPE_DE_COMMAND, nullptr),
              0);
    std::string payload = "<DATA>" + data + "</DATA>";
    std::vector<char> message(payload.size() + sizeof header + 32);
    EXPECT_EQ(VelkCreateMessage(message.data(), static_cast<uint32_t>(message.size()), "MSG",
                                header, payload.c_str(), static_cast<const char*>(nullptr)),
              0);
    EXPECT_EQ(VelkMessageGetMessageId(message.data(), id), 0);
    return message.data();
}

std::string FieldOf(const std::string& message, const char* path) {
    std::vector<char> value(message.size() + 2);
    if (VelkXmlGetField(message.c_str(), path, 0, value.data(),
                        static_cast<uint32_t>(value.size())) != 0) {
        return "";
    }
    return value.data();
}

void TransportTest::SetUp() {
    root_ = std::make_unique<TempDir>();
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
        bool wasRunning = (*child)->Running();
        int status = (*child)->Stop(SIGTERM);
        std::string errors = (*child)->ErrorOutput();
        EXPECT_EQ(errors.find("Sanitizer"), std::string::npos) << errors;
        EXPECT_EQ(errors.find("runtime error"), std::string::npos) << errors;
        if (wasRunning && (*child)->IsBroker()) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
                << "broker status " << status << ": " << errors;
        }
    }
    children_.clear();
    VelkStopReadWriteThread();
    VelkCleanupPipes();
    EXPECT_EQ(PipeDirEntries(), std::vector<std::string>{}) << "FIFOs left in the pipe directory";
    unsetenv("VELK_TMP");
    root_.reset();
}

ChildProcess& TransportTest::Start(const std::string& program,
                                   const std::vector<std::string>& arguments) {
    children_.push_back(std::make_unique<ChildProcess>(program, arguments, Environment()));
    return *children_.back();
}

ChildProcess& TransportTest::StartBroker(const std::vector<std::string>& words,
                                         const std::string& program) {
    ChildProcess& broker = Start(program, words);
    broker.MarkAsBroker();
    bool multi = false;
    for (const std::string& word : words) {
        multi = multi || word == "--multi";
    }
    std::string fifo = multi ? BrokerFifo() + "_" + std::to_string(broker.Pid()) : BrokerFifo();
    EXPECT_TRUE(WaitForReader(fifo, 10000)) << "velkcore did not start: " << broker.ErrorOutput();
    return broker;
}

ChildProcess& TransportTest::StartPeer(const std::string& mode, int* readyCode) {
    ChildProcess& peer = Start(VELK_PEER_PATH, {mode});
    std::optional<std::string> line = peer.ReadLine(15000);
    *readyCode = -1;
    if (line && line->rfind("READY ", 0) == 0) {
        *readyCode = std::atoi(line->c_str() + 6);
    }
    return peer;
}

}  // namespace velk::test
