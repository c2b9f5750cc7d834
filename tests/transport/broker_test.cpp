// The velkcore process as message broker: start-up refusals, launch words,
// clean stops, routing of what nobody serves, and clients that close, die or
// stop reading (as the components it hosts learn them).
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "broker_options.h"
#include "client-connection-manager.h"
#include "client-fifo-access.h"
#include "client-messaging-engine.h"
#include "message-protocol.h"
#include "process-helpers.h"
#include "transport_harness.h"
#include "transport_samples.h"
#include "wire_message.h"

namespace {

using velk::test::ChildProcess;
using velk::test::FieldOf;
using velk::test::Request;

constexpr int kWaitMs = 10000;

bool ExitedWith(const std::optional<int>& status, int code) {
    return status.has_value() && WIFEXITED(*status) && WEXITSTATUS(*status) == code;
}

class BrokerTest : public velk::test::TransportTest {
  protected:
    // Polls the fake engine until it reports pid as a client that left.
    bool LeftInTime(pid_t pid) {
        std::string left;
        for (int attempt = 0; attempt < 400; ++attempt) {
            left = AskFakeEngine("LEFT");
            if (left.find(std::to_string(pid)) != std::string::npos) {
                return true;
            }
            usleep(50000);
        }
        ADD_FAILURE() << "left: " << left;
        return false;
    }
};

TEST_F(BrokerTest, RefusesToStartOnAFileOrALinkAndLeavesItAlone) {
    for (bool link : {false, true}) {
        if (link) {
            ASSERT_EQ(symlink("/dev/null", BrokerFifo().c_str()), 0);
        } else {
            close(open(BrokerFifo().c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
        }
        ChildProcess& broker = Start(VELK_CORE_PATH, {});
        EXPECT_TRUE(ExitedWith(broker.WaitForExit(kWaitMs), 1));
        EXPECT_NE(broker.ErrorOutput().find("not a FIFO"), std::string::npos);
        struct stat status {};
        ASSERT_EQ(lstat(BrokerFifo().c_str(), &status), 0);
        EXPECT_TRUE(link ? S_ISLNK(status.st_mode) : S_ISREG(status.st_mode));
        unlink(BrokerFifo().c_str());
    }
}

TEST_F(BrokerTest, RefusesToStartWhileAnotherBrokerReadsItsFifo) {
    StartBroker();
    ChildProcess& second = Start(VELK_CORE_PATH, {});
    EXPECT_TRUE(ExitedWith(second.WaitForExit(kWaitMs), 1));
    EXPECT_NE(second.ErrorOutput().find("already reading"), std::string::npos);
    EXPECT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK) << "the first broker still serves";
}

TEST_F(BrokerTest, TermAndIntStopItCleanlyAndUnknownLaunchWordsOnlyWarn) {
    for (int signal : {SIGTERM, SIGINT}) {
        ChildProcess& broker = StartBroker({"-dew", "--bogus", ""});
        ASSERT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK);
        EXPECT_TRUE(ExitedWith(broker.Stop(signal), 0)) << "signal " << signal;
        EXPECT_EQ(PipeDirEntries(), std::vector<std::string>{});
        EXPECT_NE(broker.ErrorOutput().find("ignoring unknown launch word '--bogus'"),
                  std::string::npos);
        VelkClientCloseConnection();
    }
}

TEST_F(BrokerTest, MessagesNobodyServesAndClientsThatDieAreDroppedAndServiceGoesOn) {
    StartBroker({}, VELK_FAKE_ENGINE_PATH);
    int ready = -1;
    ChildProcess& doomed = StartPeer("hold", &ready);
    ASSERT_EQ(ready, VELK_OPEN_OK);
    std::string responder = std::to_string(StartPeer("responder", &ready).Pid());
    ASSERT_EQ(ready, VELK_OPEN_OK);
    ASSERT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK);
    pid_t doomedPid = doomed.Pid();
    doomed.Stop(SIGKILL);  // without closing its connection

    EXPECT_EQ(Transact("NOSUCHENGINE", "LIST_DEVICES", 300).first, VELK_TRANS_TIMEOUT);
    EXPECT_EQ(Transact("2147483000", "nobody", 300).first, VELK_TRANS_TIMEOUT);
    EXPECT_EQ(Transact(std::to_string(doomedPid), "there?", 300).first, VELK_TRANS_TIMEOUT);
    EXPECT_EQ(VelkClientSendMessage("no envelope at all\r\n"), 0);
    EXPECT_EQ(VelkClientSendMessage("<MSG><HDR></HDR></MSG>\r\n"), 0);
    EXPECT_EQ(FieldOf(Transact(responder, "after all that").second, VELK_MSG_PATH_DATA),
              "ECHO:after all that");
    EXPECT_TRUE(LeftInTime(doomedPid));
    EXPECT_EQ(AskFakeEngine("CLIENTS"), "2");
}

TEST_F(BrokerTest, ClientThatStopsReadingIsDroppedInsteadOfBufferedWithoutLimit) {
    StartBroker({}, VELK_FAKE_ENGINE_PATH);
    int ready = -1;
    ChildProcess& deaf = StartPeer("deaf", &ready);
    ASSERT_EQ(ready, VELK_OPEN_OK);
    ASSERT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK);

    // 48 MiB for a client that reads nothing: more than the broker holds.
    std::string payload(1024 * 1024, 'x');
    for (int message = 0; message < 48; ++message) {
        uint32_t id = 0;
        ASSERT_EQ(VelkClientSendMessage(Request(std::to_string(deaf.Pid()), payload, &id).c_str()),
                  0);
    }
    EXPECT_TRUE(LeftInTime(deaf.Pid()));
    EXPECT_TRUE(deaf.Running());
    EXPECT_EQ(AskFakeEngine("CLIENTS"), "1");
}

TEST_F(BrokerTest, LaunchedLikeClientsDoItServesItsNumberedFifoTracesAndStopsOnCommand) {
    // Clients start it with VelkVerboseExec and an argument text that ends in
    // a blank; the trace file lands in the current directory.
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(HomeDir().c_str()), 0);
    int detail = 0;
    int pid = VelkVerboseExec(VELK_CORE_PATH, "trace --multi -dew ", &detail);
    ASSERT_EQ(chdir(previous), 0);
    ASSERT_GT(pid, 0) << "detail " << detail;

    std::string fifo = BrokerFifo() + "_" + std::to_string(pid);
    bool ready = velk::testsupport::WaitForReader(fifo, kWaitMs);
    EXPECT_EQ(VelkClientOpenConnection(), VELK_OPEN_NO_BROKER) << "no broker reads VELKFIFO";
    int opened = ready ? VelkClient_I_OpenConnectionEx(pid, "launcher", "API", "", nullptr) : -1;
    EXPECT_EQ(std::string(g_szMainFifo), fifo);
    char command[500];
    ASSERT_EQ(VelkClientCreateMessageBrokerCommand("STOP_MESSAGE_BROKER", command, sizeof command),
              0);
    EXPECT_EQ(VelkClientSendMessage(command), opened == VELK_OPEN_OK ? 0 : 1);
    if (opened != VELK_OPEN_OK) {
        kill(pid, SIGTERM);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_EQ(opened, VELK_OPEN_OK);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(PipeDirEntries(), std::vector<std::string>{});
    EXPECT_EQ(VelkClientSendMessage(command), 1) << "the broker has gone";
    VelkClientCloseConnection();
    VelkSetServerFifoNameEx(nullptr);

    struct stat trace {};
    ASSERT_EQ(stat((HomeDir() + "/velkcore" + std::to_string(pid) + "_trace").c_str(), &trace), 0);
    EXPECT_GT(trace.st_size, 0);
    EXPECT_EQ(trace.st_mode & 0777, 0600u) << "trace files are private";
}

TEST(BrokerLaunchWords, AreParsedAndUnknownOnesCollected) {
    auto options = velk::engine::ParseLaunchWords({"trace", "--multi", "", "-dew", "-x"});
    EXPECT_TRUE(options.trace && options.multiInstance && options.clientDrivenEnumeration);
    EXPECT_EQ(options.unknownWords, std::vector<std::string>{"-x"});
    EXPECT_EQ(velk::engine::BrokerFifoPath("/p", options, 42), "/p/VELKFIFO_42");
    EXPECT_EQ(velk::engine::BrokerFifoPath("/p", velk::engine::BrokerOptions{}, 42), "/p/VELKFIFO");
}

TEST(BrokerWireMessages, AreSplitAtCrLfAndReadForRouting) {
    using namespace velk::engine;
    EXPECT_EQ(SplitMessages("<A>\r\n<B>\r\nrest"),
              (std::vector<std::string>{"<A>\r\n", "<B>\r\n"}));
    for (const char* bad : {"0", "12a", "99999999999", "2147483648"}) {
        EXPECT_EQ(ParseProcessId(bad), std::nullopt) << bad;
    }
    EXPECT_EQ(ParseProcessId("2345"), 2345u);
    auto startup = ParseStartup("<STARTUP><READ>/p/VELK_7</READ><PID>7</PID></STARTUP>\r\n");
    ASSERT_TRUE(startup.has_value());
    EXPECT_EQ(startup->readFifo, "/p/VELK_7");
    EXPECT_EQ(startup->pid, 7u);
    EXPECT_FALSE(ParseStartup("<STARTUP><PID>7</PID></STARTUP>\r\n").has_value());
    EXPECT_EQ(ParseClosePid("<STOP><PID>2345</PID></STOP>\r\n"), 2345u);
}

}  // namespace
