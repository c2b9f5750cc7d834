// The client connection against the real broker, a hand-made broker and no
// broker at all: handshake codes, FIFO hygiene and transactions between
// processes.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
using velk::test::Frame;
using velk::test::ReadRaw;
using velk::test::Request;
using velk::test::WriteRaw;

constexpr int kReplyWaitMs = 10000;

std::string OurPid() {
    return std::to_string(getpid());
}

class ClientConnectionTest : public velk::test::TransportTest {
  protected:
    std::string OurFifo() const { return PipeDir() + "/VELK_" + OurPid(); }
};

// Plays the broker by hand: reads the startup message raw from VELKFIFO and
// answers (or not) through the client's FIFO.
class HandMadeBroker {
  public:
    explicit HandMadeBroker(const std::string& fifo) : fifo_(fifo) {
        EXPECT_EQ(VelkPipeMkFifo(fifo.c_str()), 0);
        reader_ = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        EXPECT_GE(reader_, 0);
    }
    ~HandMadeBroker() {
        if (writer_ >= 0) {
            close(writer_);
        }
        close(reader_);
        unlink(fifo_.c_str());
    }
    std::string ReadStartup() { return ReadRaw(reader_, 1 << 16, kReplyWaitMs, "</STARTUP>\r\n"); }
    std::string ReadRest(const std::string& terminator) {
        return ReadRaw(reader_, 1 << 16, kReplyWaitMs, terminator);
    }
    void Answer(const std::string& clientFifo, const std::string& text) {
        writer_ = open(clientFifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(writer_, 0);
        WriteRaw(writer_, Frame(1, 99, text));
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

TEST_F(ClientConnectionTest, SilentBrokerGivesThirtyAndLeavesNoClientFifo) {
    HandMadeBroker silent(BrokerFifo());
    EXPECT_EQ(VelkClientOpenConnection(), VELK_OPEN_NO_ANSWER);
    EXPECT_EQ(PipeDirEntries(), std::vector<std::string>{"VELKFIFO"});
    EXPECT_NE(silent.ReadStartup().find("<STARTUP><READ>" + OurFifo() + "</READ>"),
              std::string::npos);
}

TEST_F(ClientConnectionTest, HandshakeKeepsTheMaskGivesMode0660AndKeepsWhatFollowsTheAnswer) {
    HandMadeBroker broker(BrokerFifo());
    mode_t previous = umask(077);
    auto opened = std::async(std::launch::async, [] {
        return VelkClient_I_OpenConnectionEx(0, "hand", "NORMAL", nullptr, "/usr/bin/prog");
    });
    std::string startup = broker.ReadStartup();
    EXPECT_NE(startup.find("<PID>" + OurPid() +
                           "</PID><NAME>hand</NAME><NLSDATA></NLSDATA>"
                           "<CLASS>NORMAL</CLASS><EXE_FILENAME>prog</EXE_FILENAME>"),
              std::string::npos);
    struct stat status {};
    ASSERT_EQ(lstat(OurFifo().c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    EXPECT_EQ(status.st_mode & 07777, 0660u) << "mode set explicitly despite umask 077";

    const std::string notice =
        "<MSG><HDR><FROM>99</FROM><TYPE>DE_ENUM_NOTIFY</TYPE></HDR><DATA>ENUM_COMPLETE</DATA>"
        "</MSG>";
    broker.Answer(OurFifo(), std::string(VELK_ACK_ENUM_COMPLETE) + "\r\n" + notice + "\r\n");
    EXPECT_EQ(opened.get(), VELK_OPEN_ENUM_COMPLETE);
    EXPECT_EQ(umask(previous), 077u) << "opening must not change the process mask";
    EXPECT_EQ(PipeDirEntries(), std::vector<std::string>{"VELKFIFO"});
    EXPECT_EQ(VelkClientWaitForEnumCompleteMessage(0, 0), 0) << "the notice behind the answer";

    VelkClientCloseConnection();
    std::string close = "<STOP><PID>" + OurPid() + "</PID></STOP>\r\n";
    EXPECT_NE(broker.ReadRest(close).find(close), std::string::npos);
    EXPECT_EQ(VelkClient_I_GetOpenCount(), 0);
}

TEST_F(ClientConnectionTest, AnswerThatIsNoAcknowledgementGivesThirtyOne) {
    HandMadeBroker broker(BrokerFifo());
    auto opened = std::async(std::launch::async, [] { return VelkClientOpenConnection(); });
    broker.ReadStartup();
    broker.Answer(OurFifo(), "<NAK></NAK>\r\n");
    EXPECT_EQ(opened.get(), VELK_OPEN_BAD_ANSWER);
    EXPECT_EQ(PipeDirEntries(), std::vector<std::string>{"VELKFIFO"});
    EXPECT_EQ(VelkClient_I_GetOpenCount(), 0);
}

TEST_F(ClientConnectionTest, OpeningTwiceGivesOneAndTheClientFifoNameIsGone) {
    StartBroker();
    mode_t previous = umask(022);
    ASSERT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK);
    EXPECT_EQ(umask(previous), 022u);
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

TEST_F(ClientConnectionTest, TransactionBetweenTwoProcessesThroughTheBroker) {
    StartBroker();
    int ready = -1;
    ChildProcess& responder = StartPeer("responder", &ready);
    ASSERT_EQ(ready, VELK_OPEN_OK);
    ASSERT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK);

    uint32_t id = 0;
    auto [result, reply] =
        Transact(std::to_string(responder.Pid()), "hello", kReplyWaitMs, 8192, &id);
    ASSERT_EQ(result, VELK_TRANS_OK);
    EXPECT_EQ(FieldOf(reply, VELK_MSG_PATH_RE), std::to_string(id));
    EXPECT_EQ(FieldOf(reply, VELK_MSG_PATH_TO), OurPid());
    EXPECT_EQ(FieldOf(reply, VELK_MSG_PATH_FROM), std::to_string(responder.Pid()));
    EXPECT_EQ(FieldOf(reply, VELK_MSG_PATH_DATA), "ECHO:hello");
    EXPECT_EQ(VelkClient_I_GetWaitingMessageCount(), 0);

    // The string-object flavour takes replies of any length.
    CGenStr text;
    ASSERT_TRUE(CGenStrInit(&text));
    uint32_t strId = 0;
    std::string request = Request(std::to_string(responder.Pid()), "BIG:20000", &strId);
    EXPECT_EQ(VelkClientSendTransactionStr(request.c_str(), &text, kReplyWaitMs, 0), VELK_TRANS_OK);
    EXPECT_EQ(FieldOf(CGenStrC_Str(&text), VELK_MSG_PATH_DATA), std::string(20000, 'x'));
    CGenStrDelete(&text);

    // Long messages travel in pieces both ways.
    std::string big(9000, 'q');
    auto [bigResult, bigReply] =
        Transact(std::to_string(responder.Pid()), big, kReplyWaitMs, 16384);
    ASSERT_EQ(bigResult, VELK_TRANS_OK);
    EXPECT_EQ(FieldOf(bigReply, VELK_MSG_PATH_DATA), "ECHO:" + big);
}

TEST_F(ClientConnectionTest, ReplyTooLongForTheBufferStaysInTheTable) {
    StartBroker();
    int ready = -1;
    ChildProcess& responder = StartPeer("responder", &ready);
    ASSERT_EQ(ready, VELK_OPEN_OK);
    ASSERT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK);

    uint32_t id = 0;
    auto [result, reply] =
        Transact(std::to_string(responder.Pid()), "BIG:2000", kReplyWaitMs, 1000, &id);
    EXPECT_EQ(result, VELK_TRANS_TOO_LONG);
    EXPECT_EQ(reply, "");
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

TEST_F(ClientConnectionTest, UnsafePipeDirectoryGivesTwelve) {
    StartBroker();
    ASSERT_EQ(chmod(PipeDir().c_str(), 0777), 0);
    EXPECT_EQ(VelkClientOpenConnection(), VELK_OPEN_NO_READ_FIFO);
    EXPECT_EQ(PipeDirEntries(), std::vector<std::string>{"VELKFIFO"});

    ASSERT_EQ(chmod(PipeDir().c_str(), 01777), 0);
    EXPECT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK) << "the sticky bit makes it safe";
    ASSERT_EQ(chmod(PipeDir().c_str(), 0700), 0);
}

TEST_F(ClientConnectionTest, PlantedClientFifoNameGivesTwelveAndIsLeftAlone) {
    StartBroker();
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
}

}  // namespace
