// Which startup messages the broker answers: the FIFO it writes into must be
// the pipe directory's "VELK_" + PID of a live process, a live connection is
// never taken over, and the number of clients is capped with a refusal.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "client-connection-manager.h"
#include "client-messaging-engine.h"
#include "transport_harness.h"

namespace {

using velk::test::ReadRaw;

class BrokerAdmissionTest : public velk::test::TransportTest {
  protected:
    void SetUp() override {
        TransportTest::SetUp();
        StartBroker({}, VELK_FAKE_ENGINE_PATH);
        ASSERT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK);
        bystander_ = Start("/bin/sleep", {"60"}).Pid();  // a live process, no client
    }
    // Sends, through our own connection, the startup of another client; what
    // the broker wrote into a FIFO made at read (nothing without makeFifo).
    std::string Startup(const std::string& read, pid_t pid, bool makeFifo = true) {
        int reader = -1;
        if (makeFifo) {
            EXPECT_EQ(mkfifo(read.c_str(), 0600), 0) << read;
            reader = open(read.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        }
        char startup[VELK_STARTUP_MESSAGE_SIZE];
        EXPECT_EQ(VelkClient_I_BuildStartupMessage(read.c_str(), static_cast<uint32_t>(pid), "x",
                                                   "", "NORMAL", "", startup, sizeof startup),
                  0);
        EXPECT_EQ(VelkClientSendMessage(startup), 0);
        AskFakeEngine("CLIENTS");  // the startup has been handled by its answer
        std::string written = reader >= 0 ? ReadRaw(reader, 4096, 50) : "";
        readers_.push_back(reader);
        if (makeFifo) {
            unlink(read.c_str());
        }
        return written;
    }
    void TearDown() override {
        for (int reader : readers_) {
            close(reader);
        }
        TransportTest::TearDown();
    }
    std::string PipeName(pid_t pid) const { return PipeDir() + "/VELK_" + std::to_string(pid); }

    pid_t bystander_ = -1;
    std::vector<int> readers_;
};

TEST_F(BrokerAdmissionTest, StartupIsIgnoredUnlessReadIsThePipeDirectorysFifoOfALiveProcess) {
    velk::test::ChildProcess& ended = Start("/bin/true", {});
    pid_t endedPid = ended.Pid();
    ASSERT_TRUE(ended.WaitForExit(10000).has_value());
    EXPECT_EQ(Startup(HomeDir() + "/VELK_" + std::to_string(bystander_), bystander_), "")
        << "outside the pipe directory";
    EXPECT_EQ(Startup(PipeName(getpid()), bystander_), "") << "another process's name";
    EXPECT_EQ(Startup(PipeName(endedPid), endedPid), "") << "a process that has ended";
    EXPECT_EQ(Startup(BrokerFifo(), bystander_, false), "") << "the broker's own FIFO";
    ASSERT_EQ(link(BrokerFifo().c_str(), PipeName(bystander_).c_str()), 0);
    EXPECT_EQ(Startup(PipeName(bystander_), bystander_, false), "") << "its FIFO by another name";
    unlink(PipeName(bystander_).c_str());
    close(open(PipeName(bystander_).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
    Startup(PipeName(bystander_), bystander_, false);
    EXPECT_EQ(velk::testsupport::ReadFile(PipeName(bystander_)), "") << "a regular file";
    unlink(PipeName(bystander_).c_str());
    EXPECT_EQ(AskFakeEngine("CLIENTS"), "1");
}

TEST_F(BrokerAdmissionTest, LiveConnectionIsNeverTakenOverByItsProcessId) {
    EXPECT_NE(Startup(PipeName(bystander_), bystander_).find(VELK_ACK), std::string::npos);
    EXPECT_NE(Startup(PipeName(bystander_), bystander_).find("<NAK>ALREADY_CONNECTED</NAK>"),
              std::string::npos);
    // Once nobody reads its first FIFO, the process may connect again.
    close(readers_.front());
    readers_.erase(readers_.begin());
    EXPECT_NE(Startup(PipeName(bystander_), bystander_).find(VELK_ACK), std::string::npos);
    EXPECT_EQ(AskFakeEngine("CLIENTS"), "2");
}

TEST_F(BrokerAdmissionTest, ClientsBeyondTheLimitAreRefusedAtOnce) {
    VelkClientCloseConnection();
    children_.front()->Stop(SIGTERM);
    setenv("VELK_ENGINE_MAX_CLIENTS", "1", 1);
    StartBroker();
    unsetenv("VELK_ENGINE_MAX_CLIENTS");
    ASSERT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK);
    int code = -1;
    StartPeer("hold", &code);
    EXPECT_EQ(code, VELK_OPEN_BAD_ANSWER) << "refused, not left to time out";
    VelkClientCloseConnection();
    StartPeer("hold", &code);
    EXPECT_EQ(code, VELK_OPEN_OK);
}

}  // namespace
