// The client connection against the real broker, a hand-made broker and no
// broker at all: handshake codes, FIFO hygiene and transactions between
// processes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <future>
#include <string>

#include <gtest/gtest.h>

#include "client-connection-manager.h"
#include "client-fifo-access.h"
#include "client-messaging-engine.h"
#include "message-protocol.h"
#include "pipe-lowlevel.h"
#include "transport_harness.h"

namespace {

using velk::test::ChildProcess;
using velk::test::FieldOf;
using velk::test::ReadRaw;
using velk::test::Request;

constexpr int kReplyWaitMs = 10000;

const std::string kOurPid = std::to_string(getpid());

class ClientConnectionTest : public velk::test::TransportTest {
  protected:
    std::string OurFifo() const { return PipeDir() + "/VELK_" + kOurPid; }
};

// Plays the broker by hand: reads raw from VELKFIFO and answers (or not)
// through the client's FIFO.
class HandMadeBroker {
  public:
    explicit HandMadeBroker(const std::string& fifo) : fifo_(fifo) {
        EXPECT_EQ(VelkPipeMkFifo(fifo.c_str()), 0);
        reader_ = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    ~HandMadeBroker() {
        close(writer_);
        close(reader_);
        unlink(fifo_.c_str());
    }
    std::string Read(const std::string& until = "</STARTUP>\r\n") {
        return ReadRaw(reader_, 1 << 16, kReplyWaitMs, until);
    }
    void Answer(const std::string& clientFifo, const std::string& text) {
        writer_ = open(clientFifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        velk::test::WriteRaw(writer_, velk::test::Frame(1, 99, text));
    }

  private:
    std::string fifo_;
    int reader_ = -1;
    int writer_ = -1;
};

TEST_F(ClientConnectionTest, WithoutBrokerOpeningGivesElevenAndLeavesNoFifo) {
    EXPECT_EQ(VelkClientOpenConnection(), VELK_OPEN_NO_BROKER);
    EXPECT_EQ(PipeDirEntries(), std::vector<std::string>{});
    EXPECT_EQ(VelkClient_I_GetOpenCount(), 0);
}

TEST_F(ClientConnectionTest, BrokerThatDoesNotAcknowledgeLeavesNoClientFifo) {
    for (const char* answer : {"", "<NAK></NAK>\r\n"}) {
        HandMadeBroker broker(BrokerFifo());
        auto opened = std::async(std::launch::async, [] { return VelkClientOpenConnection(); });
        EXPECT_NE(broker.Read().find("<STARTUP><READ>" + OurFifo() + "</READ>"), std::string::npos);
        if (answer[0] != '\0') {
            broker.Answer(OurFifo(), answer);
        }
        EXPECT_EQ(opened.get(), answer[0] == '\0' ? VELK_OPEN_NO_ANSWER : VELK_OPEN_BAD_ANSWER);
        EXPECT_EQ(PipeDirEntries(), std::vector<std::string>{"VELKFIFO"});
        EXPECT_EQ(VelkClient_I_GetOpenCount(), 0);
    }
}

TEST_F(ClientConnectionTest, HandshakeKeepsTheMaskGivesMode0660AndKeepsWhatFollowsTheAnswer) {
    HandMadeBroker broker(BrokerFifo());
    mode_t previous = umask(077);
    auto opened = std::async(std::launch::async, [] {
        return VelkClient_I_OpenConnectionEx(0, "hand", "NORMAL", nullptr, "/usr/bin/prog");
    });
    EXPECT_NE(broker.Read().find("<PID>" + kOurPid +
                                 "</PID><NAME>hand</NAME><NLSDATA></NLSDATA>"
                                 "<CLASS>NORMAL</CLASS><EXE_FILENAME>prog</EXE_FILENAME>"),
              std::string::npos);
    struct stat status {};
    ASSERT_EQ(lstat(OurFifo().c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    EXPECT_EQ(status.st_mode & 07777, 0660u) << "mode set explicitly despite umask 077";

    broker.Answer(OurFifo(), std::string(VELK_ACK_ENUM_COMPLETE) +
                                 "\r\n<MSG><HDR><FROM>99</FROM><TYPE>DE_ENUM_NOTIFY</TYPE></HDR>"
                                 "<DATA>ENUM_COMPLETE</DATA></MSG>\r\n");
    EXPECT_EQ(opened.get(), VELK_OPEN_ENUM_COMPLETE);
    EXPECT_EQ(umask(previous), 077u) << "opening must not change the process mask";
    EXPECT_EQ(PipeDirEntries(), std::vector<std::string>{"VELKFIFO"});
    EXPECT_EQ(VelkClientWaitForEnumCompleteMessage(0, 0), 0) << "the notice behind the answer";

    VelkClientCloseConnection();
    std::string close = "<STOP><PID>" + kOurPid + "</PID></STOP>\r\n";
    EXPECT_NE(broker.Read(close).find(close), std::string::npos);
}

TEST_F(ClientConnectionTest, OpeningTwiceGivesOneAndTheClientFifoNameIsGone) {
    StartBroker();
    ASSERT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK);
    EXPECT_EQ(PipeDirEntries(), std::vector<std::string>{"VELKFIFO"});
    int write = g_hFifoWrite;
    EXPECT_EQ(VelkClientOpenConnection(), VELK_OPEN_ALREADY_OPEN);
    EXPECT_EQ(g_hFifoWrite, write);
    EXPECT_EQ(VelkClient_I_GetOpenCount(), 1);
    for (int close = 0; close < 2; ++close) {
        EXPECT_EQ(VelkClientCloseConnection(), 0);
        EXPECT_EQ(VelkClient_I_GetOpenCount(), 0);
    }
}

TEST_F(ClientConnectionTest, TransactionsBetweenTwoProcessesThroughTheBroker) {
    StartBroker();
    int ready = -1;
    std::string responder = std::to_string(StartPeer("responder", &ready).Pid());
    ASSERT_EQ(ready, VELK_OPEN_OK);
    ASSERT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK);

    uint32_t id = 0;
    auto [result, reply] = Transact(responder, "hello", kReplyWaitMs, 8192, &id);
    ASSERT_EQ(result, VELK_TRANS_OK);
    EXPECT_EQ(FieldOf(reply, VELK_MSG_PATH_RE), std::to_string(id));
    EXPECT_EQ(FieldOf(reply, VELK_MSG_PATH_TO), kOurPid);
    EXPECT_EQ(FieldOf(reply, VELK_MSG_PATH_FROM), responder);
    EXPECT_EQ(FieldOf(reply, VELK_MSG_PATH_DATA), "ECHO:hello");
    EXPECT_EQ(VelkClient_I_GetWaitingMessageCount(), 0);

    // Long messages travel in pieces both ways.
    std::string big(9000, 'q');
    EXPECT_EQ(FieldOf(Transact(responder, big, kReplyWaitMs, 16384).second, VELK_MSG_PATH_DATA),
              "ECHO:" + big);

    // The string-object flavour takes replies of any length.
    CGenStr text;
    ASSERT_TRUE(CGenStrInit(&text));
    std::string request = Request(responder, "BIG:20000", &id);
    EXPECT_EQ(VelkClientSendTransactionStr(request.c_str(), &text, kReplyWaitMs, 0), VELK_TRANS_OK);
    EXPECT_EQ(FieldOf(CGenStrC_Str(&text), VELK_MSG_PATH_DATA), std::string(20000, 'x'));
    CGenStrDelete(&text);

    // A reply too long for the buffer stays in the table.
    auto [tooLong, nothing] = Transact(responder, "BIG:2000", kReplyWaitMs, 1000, &id);
    EXPECT_EQ(tooLong, VELK_TRANS_TOO_LONG);
    EXPECT_EQ(nothing, "");
    VelkClientMessage* kept = VelkClientFindMessageWithReField(id);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(FieldOf(kept->pMessage, VELK_MSG_PATH_DATA), std::string(2000, 'x'));
    VelkClientFreeMessage(VelkClientGetNextMessage(kept));
}

TEST_F(ClientConnectionTest, BrokerKilledMakesSendsFailAndReconnectWorksAfterRestart) {
    ChildProcess& broker = StartBroker();
    ASSERT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK);
    broker.Stop(SIGKILL);

    uint32_t id = 0;
    std::string request = Request("MESSAGEBROKER", "PING", &id);
    int errors = VelkClientGetWriteErrorCount();
    EXPECT_EQ(VelkClientSendMessage(request.c_str()), 1);
    EXPECT_EQ(VelkClientSendMessage(request.c_str()), 1);
    EXPECT_EQ(VelkClientGetWriteErrorCount(), errors + 2);
    VelkClientCloseConnection();

    StartBroker();  // reuses the FIFO the killed broker left behind
    ASSERT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK);
    EXPECT_EQ(VelkClientSendMessage(request.c_str()), 0);
    EXPECT_EQ(VelkClientGetWriteErrorCount(), 0);
}

TEST_F(ClientConnectionTest, ReadFifoThatCannotBeMadeSafelyGivesTwelve) {
    StartBroker();
    ASSERT_EQ(chmod(PipeDir().c_str(), 0777), 0);
    EXPECT_EQ(VelkClientOpenConnection(), VELK_OPEN_NO_READ_FIFO) << "others may write there";
    ASSERT_EQ(chmod(PipeDir().c_str(), 01777), 0);
    EXPECT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK) << "the sticky bit makes it safe";
    VelkClientCloseConnection();
    ASSERT_EQ(chmod(PipeDir().c_str(), 0700), 0);

    // Whatever is planted under the client FIFO's name is left alone.
    for (bool link : {true, false}) {
        if (link) {
            ASSERT_EQ(symlink("/dev/null", OurFifo().c_str()), 0);
        } else {
            close(open(OurFifo().c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
        }
        EXPECT_EQ(VelkClientOpenConnection(), VELK_OPEN_NO_READ_FIFO);
        struct stat status {};
        ASSERT_EQ(lstat(OurFifo().c_str(), &status), 0);
        EXPECT_TRUE(link ? S_ISLNK(status.st_mode)
                         : S_ISREG(status.st_mode) && status.st_size == 0);
        unlink(OurFifo().c_str());
    }
    EXPECT_EQ(PipeDirEntries(), std::vector<std::string>{"VELKFIFO"});
}

}  // namespace
