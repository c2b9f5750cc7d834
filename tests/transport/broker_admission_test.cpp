// Which startup messages the broker answers: the FIFO it writes into must be
// the pipe directory's "VELK_" + PID of a live process, a live connection is
// never taken over, and the number of clients is capped with a refusal.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "client-connection-manager.h"
#include "client-messaging-engine.h"
#include "transport_harness.h"

namespace {

using velk::test::ChildProcess;
using velk::test::ReadRaw;

constexpr int kWaitMs = 10000;

class BrokerAdmissionTest : public velk::test::TransportTest {
  protected:
    // Sends, through our own connection, the startup of another client.
    void SendStartup(const std::string& readFifo, pid_t pid) {
        char startup[VELK_STARTUP_MESSAGE_SIZE];
        ASSERT_EQ(
            VelkClient_I_BuildStartupMessage(readFifo.c_str(), static_cast<uint32_t>(pid), "forged",
                                             "", "NORMAL", "", startup, sizeof startup),
            0);
        ASSERT_EQ(VelkClientSendMessage(startup), 0);
    }

    // A FIFO at path with a reader of ours; the reader's descriptor.
    int FifoWithReader(const std::string& path) {
        EXPECT_EQ(mkfifo(path.c_str(), 0600), 0) << path;
        return open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }

    // A live process that is no client.
    pid_t Bystander() { return Start("/bin/sleep", {"60"}).Pid(); }
    std::string PipeName(pid_t pid) const { return PipeDir() + "/VELK_" + std::to_string(pid); }
};

TEST_F(BrokerAdmissionTest, StartupIsIgnoredUnlessReadIsThePipeDirectorysFifoOfALiveProcess) {
    StartBroker({}, VELK_FAKE_ENGINE_PATH);
    ASSERT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK);
    pid_t bystander = Bystander();
    ChildProcess& ended = Start("/bin/true", {});
    pid_t endedPid = ended.Pid();
    ASSERT_TRUE(ended.WaitForExit(kWaitMs).has_value());

    struct Case {
        const char* what;
        std::string read;
        pid_t pid;
        bool regularFile;
    };
    const Case cases[] = {
        {"outside the pipe directory", HomeDir() + "/VELK_" + std::to_string(bystander), bystander,
         false},
        {"another process's name", PipeName(getpid()), bystander, false},
        {"a process that has ended", PipeName(endedPid), endedPid, false},
        {"a regular file", PipeName(bystander), bystander, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int reader = -1;
        if (c.regularFile) {
            close(open(c.read.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
        } else {
            reader = FifoWithReader(c.read);
            ASSERT_GE(reader, 0);
        }
        SendStartup(c.read, c.pid);
        EXPECT_EQ(AskFakeEngine("CLIENTS"), "1");
        if (reader >= 0) {
            EXPECT_EQ(ReadRaw(reader, 1, 50), "") << "the broker wrote into it";
            close(reader);
        } else {
            struct stat status {};
            ASSERT_EQ(stat(c.read.c_str(), &status), 0);
            EXPECT_EQ(status.st_size, 0) << "the broker wrote into it";
        }
        unlink(c.read.c_str());
    }
}

TEST_F(BrokerAdmissionTest, StartupNamingTheBrokersOwnFifoIsIgnored) {
    StartBroker({}, VELK_FAKE_ENGINE_PATH);
    ASSERT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK);
    pid_t bystander = Bystander();
    SendStartup(BrokerFifo(), bystander);
    ASSERT_EQ(link(BrokerFifo().c_str(), PipeName(bystander).c_str()), 0);
    SendStartup(PipeName(bystander), bystander);
    EXPECT_EQ(AskFakeEngine("CLIENTS"), "1") << "the broker took itself for a client";
    unlink(PipeName(bystander).c_str());
}

TEST_F(BrokerAdmissionTest, LiveConnectionIsNeverTakenOverByItsProcessId) {
    StartBroker({}, VELK_FAKE_ENGINE_PATH);
    ASSERT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK);
    pid_t bystander = Bystander();
    int first = FifoWithReader(PipeName(bystander));
    SendStartup(PipeName(bystander), bystander);
    EXPECT_EQ(AskFakeEngine("CLIENTS"), "2");
    EXPECT_NE(ReadRaw(first, 4096, 200).find(VELK_ACK), std::string::npos);
    unlink(PipeName(bystander).c_str());

    int second = FifoWithReader(PipeName(bystander));
    SendStartup(PipeName(bystander), bystander);
    EXPECT_EQ(AskFakeEngine("CLIENTS"), "2");
    EXPECT_NE(ReadRaw(second, 4096, 200).find("<NAK>ALREADY_CONNECTED</NAK>"), std::string::npos);
    unlink(PipeName(bystander).c_str());

    // Once nobody reads the first FIFO, the process may connect again.
    close(first);
    close(second);
    int third = FifoWithReader(PipeName(bystander));
    SendStartup(PipeName(bystander), bystander);
    EXPECT_EQ(AskFakeEngine("CLIENTS"), "2");
    EXPECT_NE(ReadRaw(third, 4096, 200).find(VELK_ACK), std::string::npos);
    unlink(PipeName(bystander).c_str());
    close(third);
}

TEST_F(BrokerAdmissionTest, ClientsBeyondTheLimitAreRefusedAtOnce) {
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
