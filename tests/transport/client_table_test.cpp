// The client's message table, the handshake texts, the transaction deadline
// and the FIFO names: everything that needs no broker.
#include <string>

#include <gtest/gtest.h>

#include "client-connection-manager.h"
#include "client-fifo-access.h"
#include "client-messaging-engine.h"
#include "message-protocol.h"

namespace {

std::string Message(const std::string& from, const std::string& re, const std::string& type,
                    const std::string& data) {
    std::string header = "<HDR><FROM>" + from + "</FROM><TO>1</TO><ID>5</ID>";
    if (!re.empty()) {
        header += "<RE>" + re + "</RE>";
    }
    header += "<TYPE>" + type + "</TYPE><TIME>20260101000000000</TIME></HDR>";
    return "<MSG>" + header + "<DATA>" + data + "</DATA></MSG>";
}

void Add(const std::string& message) {
    std::string copy = message;
    ASSERT_EQ(VelkClient_I_MoveMessagesToTable(copy.data()), 0);
}

class ClientTableTest : public ::testing::Test {
  protected:
    void TearDown() override {
        while (VelkClientMessage* node = VelkClientGetNextMessage(nullptr)) {
            VelkClientFreeMessage(node);
        }
    }
};

TEST(TransactionDeadline, NeverPassesMidnightAndNeverWrapsTheStart) {
    const uint32_t noon = 12u * 3600u * 1000u;
    struct Case {
        uint32_t now, timeout, start, deadline;
    };
    const Case cases[] = {
        {noon, 5000, noon, noon + 5000u},
        {86399500, 5000, 86394000, 86399000},  // half a second before midnight: no wait at all
        {1000, 0xFFFFFFFFu, 0, 86399000},      // a timeout beyond a day
    };
    for (const Case& c : cases) {
        uint32_t start = 1;
        uint32_t deadline = 1;
        VelkClient_I_ComputeDeadline(c.now, c.timeout, &start, &deadline);
        EXPECT_EQ(start, c.start) << c.now;
        EXPECT_EQ(deadline, c.deadline) << c.now;
    }
}

TEST(HandshakeMessages, EachElementThatDoesNotFitHasItsOwnCode) {
    char message[VELK_STARTUP_MESSAGE_SIZE];
    const std::string longPath(300, 'r');
    const std::string longName(80, 'n');
    const std::string longExe(4300, 'e');
    const std::string fits(250, 'f');
    auto build = [&](const std::string& read, const std::string& name, const std::string& nls,
                     const std::string& cls, const std::string& exe) {
        return VelkClient_I_BuildStartupMessage(read.c_str(), 1, name.c_str(), nls.c_str(),
                                                cls.c_str(), exe.c_str(), message, sizeof message);
    };
    EXPECT_EQ(build(longPath, "n", "", "c", "e"), VELK_OPEN_BAD_READ);
    EXPECT_EQ(build("r", longName, "", "c", "e"), VELK_OPEN_BAD_NAME);
    EXPECT_EQ(build("r", "n", longPath, "c", "e"), VELK_OPEN_BAD_NLSDATA);
    EXPECT_EQ(build("r", "n", "", longName, "e"), VELK_OPEN_BAD_CLASS);
    EXPECT_EQ(build("r", "n", "", "c", longExe), VELK_OPEN_BAD_EXE_FILENAME);
    EXPECT_EQ(build(fits, "n", fits, "c", fits), VELK_OPEN_BAD_EXE_FILENAME) << "whole > 800";
}

TEST_F(ClientTableTest, MessagesAreFoundByReTypeAndSender) {
    Add(Message("10", "", "DE_EVENT", "one"));
    Add(Message("20", "7", "TRANSACTION_RESPONSE", "two"));
    Add(Message("30", "", "DE_EVENT", "three"));
    Add("<garbage without header>");
    EXPECT_EQ(VelkClient_I_GetWaitingMessageCount(), 4);

    VelkClientMessage* reply = VelkClientFindMessageWithReField(7);
    ASSERT_NE(reply, nullptr);
    EXPECT_NE(std::string(reply->pMessage).find("two"), std::string::npos);
    EXPECT_EQ(VelkClientFindMessageWithReField(8), nullptr);

    VelkClientMessage* firstEvent = VelkClientFindMessageWithTypeField("DE_EVENT");
    ASSERT_NE(firstEvent, nullptr);
    EXPECT_EQ(firstEvent, VelkClientPeekMessage(nullptr));
    VelkClientMessage* fromThirty = VelkClientFindMessageWithTypeFieldAndFromPid(30, "DE_EVENT");
    ASSERT_NE(fromThirty, nullptr);
    EXPECT_NE(std::string(fromThirty->pMessage).find("three"), std::string::npos);
    EXPECT_EQ(VelkClientFindMessageWithTypeFieldAndFromPid(20, "DE_EVENT"), nullptr);
    EXPECT_EQ(VelkClientFindMessageWithTypeField("NO_SUCH_TYPE"), nullptr);

    VelkClientMessage* taken = VelkClientGetNextMessage(reply);
    EXPECT_EQ(VelkClientPeekMessage(taken), nullptr) << "a taken node is no longer in the table";
    EXPECT_EQ(VelkClient_I_GetWaitingMessageCount(), 3);
    VelkClientFreeMessage(taken);
}

TEST_F(ClientTableTest, WaitForMessageTakesWhatIsThereAndChecksTheBufferSize) {
    const std::string event = Message("10", "", "DE_EVENT", "payload");
    Add(event);
    std::string buffer(event.size() + 1, '\0');
    EXPECT_EQ(VelkClientWaitForMessage(buffer.data(), static_cast<uint32_t>(buffer.size()), 0,
                                       "DE_EVENT", 0),
              VELK_TRANS_TOO_LONG)
        << "a message of size - 1 characters does not fit";
    EXPECT_EQ(VelkClient_I_GetWaitingMessageCount(), 1) << "a message that does not fit stays";

    buffer.resize(event.size() + 2);
    EXPECT_EQ(VelkClientWaitForMessage(buffer.data(), static_cast<uint32_t>(buffer.size()), 0,
                                       "DE_EVENT", 10),
              VELK_TRANS_OK);
    EXPECT_STREQ(buffer.c_str(), event.c_str());
    EXPECT_EQ(VelkClient_I_GetWaitingMessageCount(), 0);
    EXPECT_EQ(VelkClientWaitForMessage(buffer.data(), 10, 0, nullptr, 0), VELK_TRANS_NO_TYPE);
}

TEST_F(ClientTableTest, EnumCompleteWaitConsumesTheWholeTable) {
    Add(Message("10", "3", "TRANSACTION_RESPONSE", "status"));
    Add(Message("10", "", "DE_ENUM_NOTIFY", "ENUM_COMPLETE"));
    Add(Message("10", "", "DE_EVENT", "later"));
    EXPECT_EQ(VelkClientWaitForEnumCompleteMessage(1000, 0), 0);
    EXPECT_EQ(VelkClient_I_GetWaitingMessageCount(), 1) << "messages behind the notice stay";

    Add(Message("10", "", "DE_ENUM_NOTIFY", "ENUM_STARTED"));
    EXPECT_EQ(VelkClientWaitForEnumCompleteMessage(0, 0), 1);
    EXPECT_EQ(VelkClient_I_GetWaitingMessageCount(), 0);
}

TEST_F(ClientTableTest, TransactionsFailCleanlyWithoutIdOrConnection) {
    char reply[256] = "untouched";
    EXPECT_EQ(VelkClientSendTransaction("<MSG><HDR></HDR></MSG>\r\n", reply, sizeof reply, 100, 0),
              VELK_TRANS_BAD_ID_BASE + VELK_XML_NOT_FOUND);
    int errorsBefore = VelkClientGetWriteErrorCount();
    EXPECT_EQ(VelkClientSendTransaction(Message("1", "", "DE_COMMAND", "x").c_str(), reply,
                                        sizeof reply, 100, 0),
              VELK_TRANS_SEND_FAILED_BASE + 1);
    EXPECT_EQ(VelkClientGetWriteErrorCount(), errorsBefore + 1);
    EXPECT_STREQ(reply, "untouched");
}

TEST(FifoNames, OwnNumberNamedAndEmptyNameForTheBrokerFifo) {
    setenv("VELK_TMP", "/tmp", 1);
    VelkSetServerFifoNameEx(nullptr);
    std::string own = "/tmp/VELKFIFO_" + std::to_string(getpid());
    EXPECT_EQ(VelkSetServerFifoName(0), own);
    EXPECT_STREQ(VelkSetServerFifoNameEx("/elsewhere/FIFO"), "/elsewhere/FIFO");
    EXPECT_STREQ(VelkSetServerFifoNameEx(""), "/tmp/VELKFIFO");
    EXPECT_EQ(std::string(VelkGetClientFifoName()), "/tmp/VELK_" + std::to_string(getpid()));
    unsetenv("VELK_TMP");
}

}  // namespace
