// The velkcore process as message broker: start-up refusals, launch words,
// clean stops, routing of what nobody serves, and hosting of components.
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

class BrokerTest : public velk::test::TransportTest {
  protected:
    // Starts velkcore without waiting for it; its exit status when it ends.
    std::optional<int> RunToEnd(const std::vector<std::string>& words, std::string* errors) {
        ChildProcess& broker = Start(VELK_CORE_PATH, words);
        std::optional<int> status = broker.WaitForExit(kWaitMs);
        *errors = broker.ErrorOutput();
        return status;
    }

    std::pair<int, std::string> Transact(const std::string& addressee, const std::string& data,
                                         int timeoutMs = kWaitMs) {
        uint32_t id = 0;
        std::string request = Request(addressee, data, &id);
        std::string reply(8192, '\0');
        int result = VelkClientSendTransaction(request.c_str(), reply.data(), 8192, timeoutMs, 0);
        return {result, reply.c_str()};
    }
};

bool ExitedWith(const std::optional<int>& status, int code) {
    return status.has_value() && WIFEXITED(*status) && WEXITSTATUS(*status) == code;
}

TEST_F(BrokerTest, RefusesToStartWhenItsFifoPathHoldsAFileOrALink) {
    close(open(BrokerFifo().c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
    std::string errors;
    EXPECT_TRUE(ExitedWith(RunToEnd({}, &errors), 1));
    EXPECT_NE(errors.find("not a FIFO"), std::string::npos) << errors;
    struct stat status {};
    ASSERT_EQ(lstat(BrokerFifo().c_str(), &status), 0);
    EXPECT_TRUE(S_ISREG(status.st_mode)) << "the file is left as it was";
    unlink(BrokerFifo().c_str());

    ASSERT_EQ(symlink("/dev/null", BrokerFifo().c_str()), 0);
    EXPECT_TRUE(ExitedWith(RunToEnd({}, &errors), 1));
    EXPECT_NE(errors.find("not a FIFO"), std::string::npos) << errors;
    ASSERT_EQ(lstat(BrokerFifo().c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    unlink(BrokerFifo().c_str());
}

TEST_F(BrokerTest, RefusesToStartWhileAnotherBrokerReadsItsFifo) {
    StartBroker();
    std::string errors;
    EXPECT_TRUE(ExitedWith(RunToEnd({}, &errors), 1));
    EXPECT_NE(errors.find("already reading"), std::string::npos) << errors;
    EXPECT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK) << "the first broker still serves";
}

TEST_F(BrokerTest, WarnsAboutUnknownLaunchWordsAndServesAnyway) {
    ChildProcess& broker = StartBroker({"-dew", "--bogus", ""});
    EXPECT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK);
    VelkClientCloseConnection();
    EXPECT_TRUE(ExitedWith(broker.Stop(SIGTERM), 0));
    EXPECT_NE(broker.ErrorOutput().find("ignoring unknown launch word '--bogus'"),
              std::string::npos);
}

TEST_F(BrokerTest, TermAndIntStopItCleanlyAndRemoveItsFifo) {
    for (int signal : {SIGTERM, SIGINT}) {
        ChildProcess& broker = StartBroker();
        ASSERT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK);
        EXPECT_TRUE(ExitedWith(broker.Stop(signal), 0)) << "signal " << signal;
        EXPECT_EQ(PipeDirEntries(), std::vector<std::string>{});
        VelkClientCloseConnection();
    }
}

TEST_F(BrokerTest, MessagesNobodyServesAreDroppedAndServiceGoesOn) {
    StartBroker();
    int ready = -1;
    ChildProcess& responder = StartPeer("responder", &ready);
    ASSERT_EQ(ready, VELK_OPEN_OK);
    ASSERT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK);

    EXPECT_EQ(Transact("NOSUCHENGINE", "LIST_DEVICES", 300).first, VELK_TRANS_TIMEOUT);
    EXPECT_EQ(Transact("2147483000", "nobody", 300).first, VELK_TRANS_TIMEOUT);
    EXPECT_EQ(VelkClientSendMessage("no envelope at all\r\n"), 0);
    EXPECT_EQ(VelkClientSendMessage("<MSG><HDR></HDR></MSG>\r\n"), 0);

    auto [result, reply] = Transact(std::to_string(responder.Pid()), "after all that");
    EXPECT_EQ(result, VELK_TRANS_OK);
    EXPECT_EQ(FieldOf(reply, VELK_MSG_PATH_DATA), "ECHO:after all that");
}

TEST_F(BrokerTest, StartupNamingSomethingOtherThanAFifoIsNotAnswered) {
    StartBroker();
    std::string decoy = HomeDir() + "/decoy";
    close(open(decoy.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
    char startup[VELK_STARTUP_MESSAGE_SIZE];
    ASSERT_EQ(VelkClient_I_BuildStartupMessage(decoy.c_str(), 4242, "decoy", "", "NORMAL", "",
                                               startup, sizeof startup),
              0);
    ASSERT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK);
    EXPECT_EQ(VelkClientSendMessage(startup), 0);

    // A transaction through the broker orders us behind its handling.
    ASSERT_EQ(VelkClientCloseConnection(), 0);
    ASSERT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK);
    struct stat status {};
    ASSERT_EQ(stat(decoy.c_str(), &status), 0);
    EXPECT_EQ(status.st_size, 0) << "the broker wrote into a regular file";
}

TEST_F(BrokerTest, ComponentsServeTheirDestinationAndLearnWhoLeft) {
    StartBroker({}, VELK_FAKE_ENGINE_PATH);
    int ready = -1;
    ChildProcess& responder = StartPeer("responder", &ready);
    ASSERT_EQ(ready, VELK_OPEN_OK);
    ASSERT_EQ(VelkClient_I_OpenConnectionEx(0, "test", "API", "", nullptr), VELK_OPEN_OK);

    auto [clients, clientsReply] = Transact("DIAGENGINE", "CLIENTS");
    ASSERT_EQ(clients, VELK_TRANS_OK);
    EXPECT_EQ(FieldOf(clientsReply, VELK_MSG_PATH_DATA), "2");

    auto [enumerated, reply] = Transact("DIAGENGINE", "ENUMERATE");
    ASSERT_EQ(enumerated, VELK_TRANS_OK);
    EXPECT_EQ(FieldOf(reply, VELK_MSG_PATH_DATA), "DONE");
    EXPECT_EQ(VelkClientWaitForEnumCompleteMessage(kWaitMs, 0), 0);

    VelkClientCloseConnection();
    EXPECT_EQ(VelkClient_I_OpenConnectionEx(0, "test", "API", "", nullptr),
              VELK_OPEN_ENUM_COMPLETE);
    VelkClientCloseConnection();
    EXPECT_EQ(VelkClientOpenConnectionEx("test", "API", "", nullptr), VELK_OPEN_OK);

    std::string responderPid = std::to_string(responder.Pid());
    uint32_t id = 0;
    EXPECT_EQ(VelkClientSendMessage(
                  Request(responderPid, std::string(velk::test::kQuitCommand), &id).c_str()),
              0);
    std::optional<int> status = responder.WaitForExit(kWaitMs);
    EXPECT_TRUE(ExitedWith(status, 0));
    auto [left, leftReply] = Transact("DIAGENGINE", "LEFT");
    ASSERT_EQ(left, VELK_TRANS_OK);
    std::string leftPids = FieldOf(leftReply, VELK_MSG_PATH_DATA);
    EXPECT_NE(leftPids.find(std::to_string(getpid())), std::string::npos) << leftPids;
    EXPECT_NE(leftPids.find(responderPid), std::string::npos) << leftPids;
}

TEST_F(BrokerTest, ClientKilledWithoutClosingIsNoticedAndDropped) {
    StartBroker({}, VELK_FAKE_ENGINE_PATH);
    int ready = -1;
    ChildProcess& doomed = StartPeer("hold", &ready);
    ASSERT_EQ(ready, VELK_OPEN_OK);
    ASSERT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK);
    std::string doomedPid = std::to_string(doomed.Pid());
    doomed.Stop(SIGKILL);

    std::string left;
    for (int attempt = 0; attempt < 100 && left.find(doomedPid) == std::string::npos; ++attempt) {
        auto [result, reply] = Transact("DIAGENGINE", "LEFT");
        ASSERT_EQ(result, VELK_TRANS_OK);
        left = FieldOf(reply, VELK_MSG_PATH_DATA);
        usleep(50000);
    }
    EXPECT_NE(left.find(doomedPid), std::string::npos) << left;
    auto [result, reply] = Transact("DIAGENGINE", "CLIENTS");
    ASSERT_EQ(result, VELK_TRANS_OK);
    EXPECT_EQ(FieldOf(reply, VELK_MSG_PATH_DATA), "1");
}

TEST_F(BrokerTest, ClientThatStopsReadingIsDroppedInsteadOfBufferedWithoutLimit) {
    StartBroker({}, VELK_FAKE_ENGINE_PATH);
    int ready = -1;
    ChildProcess& deaf = StartPeer("deaf", &ready);
    ASSERT_EQ(ready, VELK_OPEN_OK);
    ASSERT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK);
    std::string deafPid = std::to_string(deaf.Pid());

    // 48 MiB for a client that reads nothing: more than the broker holds.
    std::string payload(1024 * 1024, 'x');
    for (int message = 0; message < 48; ++message) {
        uint32_t id = 0;
        ASSERT_EQ(VelkClientSendMessage(Request(deafPid, payload, &id).c_str()), 0);
    }
    std::string left;
    for (int attempt = 0; attempt < 400 && left.find(deafPid) == std::string::npos; ++attempt) {
        auto [result, reply] = Transact("DIAGENGINE", "LEFT");
        ASSERT_EQ(result, VELK_TRANS_OK);
        left = FieldOf(reply, VELK_MSG_PATH_DATA);
        usleep(50000);
    }
    EXPECT_NE(left.find(deafPid), std::string::npos) << "the deaf client was never dropped";
    EXPECT_TRUE(deaf.Running());
    auto [result, reply] = Transact("DIAGENGINE", "CLIENTS");
    ASSERT_EQ(result, VELK_TRANS_OK);
    EXPECT_EQ(FieldOf(reply, VELK_MSG_PATH_DATA), "1");
}

TEST_F(BrokerTest, LaunchedLikeClientsDoItServesItsNumberedFifoAndTraces) {
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
    bool ready = velk::test::WaitForReader(fifo, kWaitMs);
    int opened = ready ? VelkClient_I_OpenConnectionEx(pid, "launcher", "API", "", nullptr) : -1;
    char command[500];
    ASSERT_EQ(VelkClientCreateMessageBrokerCommand("STOP_MESSAGE_BROKER", command, sizeof command),
              0);
    EXPECT_EQ(VelkClientSendMessage(command), opened == VELK_OPEN_OK ? 0 : 1);
    if (opened != VELK_OPEN_OK) {
        kill(pid, SIGTERM);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(ready);
    EXPECT_EQ(opened, VELK_OPEN_OK);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(velk::test::WaitForReader(fifo, 0));
    VelkClientCloseConnection();
    VelkSetServerFifoNameEx(nullptr);

    std::string traceFile = HomeDir() + "/velkcore" + std::to_string(pid) + "_trace";
    struct stat trace {};
    ASSERT_EQ(stat(traceFile.c_str(), &trace), 0) << traceFile;
    EXPECT_GT(trace.st_size, 0);
}

TEST(BrokerLaunchWords, AreParsedAndUnknownOnesCollected) {
    auto options = velk::engine::ParseLaunchWords({"trace", "--multi", "", "-dew", "-x"});
    EXPECT_TRUE(options.trace);
    EXPECT_TRUE(options.multiInstance);
    EXPECT_TRUE(options.clientDrivenEnumeration);
    EXPECT_EQ(options.unknownWords, std::vector<std::string>{"-x"});
    EXPECT_EQ(velk::engine::BrokerFifoPath("/p", options, 42), "/p/VELKFIFO_42");
    EXPECT_EQ(velk::engine::BrokerFifoPath("/p", velk::engine::BrokerOptions{}, 42), "/p/VELKFIFO");
}

TEST(BrokerWireMessages, AreSplitAtCrLfAndReadForRouting) {
    auto messages = velk::engine::SplitMessages("<A>\r\n<B>\r\nrest");
    EXPECT_EQ(messages, (std::vector<std::string>{"<A>\r\n", "<B>\r\n"}));
    EXPECT_EQ(velk::engine::ParseProcessId("0"), std::nullopt);
    EXPECT_EQ(velk::engine::ParseProcessId("12a"), std::nullopt);
    EXPECT_EQ(velk::engine::ParseProcessId("99999999999"), std::nullopt);
    EXPECT_EQ(velk::engine::ParseProcessId("2345"), 2345u);
    auto startup = velk::engine::ParseStartup(
        "<STARTUP><READ>/p/VELK_7</READ><PID>7</PID><NAME>n</NAME></STARTUP>\r\n");
    ASSERT_TRUE(startup.has_value());
    EXPECT_EQ(startup->readFifo, "/p/VELK_7");
    EXPECT_EQ(startup->pid, 7u);
    EXPECT_FALSE(velk::engine::ParseStartup("<STARTUP><PID>7</PID></STARTUP>\r\n").has_value());
    EXPECT_EQ(velk::engine::ParseClosePid("<STOP><PID>2345</PID></STOP>\r\n"), 2345u);
}

}  // namespace
