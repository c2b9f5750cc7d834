// Event and notification texts, the engine's commands to the module and the
// sending paths without a connection.
#include <gtest/gtest.h>

#include <string>

#include "bxi2-internal.h"
#include "message-protocol.h"

namespace {

class Events : public ::testing::Test {
  protected:
    void SetUp() override { Bxi2_I_ResetModuleState(); }
    void TearDown() override { Bxi2_I_ResetModuleState(); }
};

TEST_F(Events, TextIsInsertedUnescapedAndFormatted) {
    char data[BXI2_EVENT_DATA_SIZE];
    ASSERT_EQ(Bxi2_I_FormatEventData(data, sizeof data, BXI2_EVENT_INFO, "1", -1,
                                     "Drive <b>%d</b> at %s", 3, "IDE:0:0"),
              BXI2_OK);
    EXPECT_NE(std::string(data).find("<TEXT>Drive <b>3</b> at IDE:0:0</TEXT>"), std::string::npos);
}

TEST_F(Events, OverlongTextIsCutAndTheElementStaysWhole) {
    std::string text(20000, 'x');
    char data[BXI2_EVENT_DATA_SIZE];
    ASSERT_EQ(
        Bxi2_I_FormatEventData(data, sizeof data, BXI2_EVENT_WARN, "1", 5, "%s", text.c_str()),
        BXI2_OK);
    std::string result = data;
    EXPECT_EQ(result.size(), sizeof data - 1);
    const std::string suffix = "</TEXT><EVENTCODE>5</EVENTCODE></EVENT></DATA>";
    ASSERT_GT(result.size(), suffix.size());
    EXPECT_EQ(result.substr(result.size() - suffix.size()), suffix);
    char tiny[16];
    EXPECT_EQ(Bxi2_I_FormatEventData(tiny, sizeof tiny, BXI2_EVENT_INFO, "1", 0, "%s", "x"),
              BXI2_E_BAD_ARGUMENT);
}

TEST_F(Events, WithoutConnectionSendsFailAndRepeatedPercentIsNotSent) {
    // Nothing is open: the send itself fails.
    EXPECT_EQ(Bxi2_SetPercentDone(50), BXI2_E_COMMS);
    // The same value again is not sent at all.
    EXPECT_EQ(Bxi2_SetPercentDone(50), BXI2_OK);
    EXPECT_EQ(Bxi2_SetPercentDone(51), BXI2_E_COMMS);
    EXPECT_EQ(Bxi2_Informative("text %d", 1), BXI2_E_COMMS);
    // An event whose message cannot fit its 2048-byte area is not built.
    std::string longText(3000, 'y');
    EXPECT_EQ(Bxi2_Warning(1, "%s", longText.c_str()), BXI2_E_MESSAGE);
    EXPECT_EQ(Bxi2_GetTimeOut(nullptr), BXI2_E_COMMS);
}

TEST_F(Events, TimedProgressIsDueAfterItsInterval) {
    EXPECT_EQ(Bxi2_I_TimedSendDue(1000, 0, 0, 500), 1);
    EXPECT_EQ(Bxi2_I_TimedSendDue(1400, 1000, 1, 500), 0);
    EXPECT_EQ(Bxi2_I_TimedSendDue(1500, 1000, 1, 500), 0);
    EXPECT_EQ(Bxi2_I_TimedSendDue(1501, 1000, 1, 500), 1);
    // Across midnight the time of day starts again from 0.
    EXPECT_EQ(Bxi2_I_TimedSendDue(200, 86399900, 1, 500), 0);
    EXPECT_EQ(Bxi2_I_TimedSendDue(600, 86399900, 1, 500), 1);
}

std::string Notification(int kind, const char* reference, int code, std::string* type) {
    char typeBuffer[BXI2_NOTIFY_HEADER_SIZE];
    char data[BXI2_NOTIFY_DATA_SIZE];
    EXPECT_EQ(Bxi2_I_BuildNotification(kind, reference, code, typeBuffer, sizeof typeBuffer, data,
                                       sizeof data),
              BXI2_OK);
    *type = typeBuffer;
    return data;
}

TEST_F(Events, StartupWithoutReferenceAndUnknownKinds) {
    Bxi2_Version(2, 5, 11);
    std::string type;
    EXPECT_EQ(Notification(BXI2_NOTIFY_STARTUP, "", 0, &type),
              "<DATA><STARTUP></STARTUP><VERSION>2.5.11</VERSION></DATA>");
    EXPECT_EQ(type, "DE_NOTIFY");
    char typeBuffer[BXI2_NOTIFY_HEADER_SIZE];
    char data[BXI2_NOTIFY_DATA_SIZE];
    EXPECT_EQ(
        Bxi2_I_BuildNotification(3, nullptr, 0, typeBuffer, sizeof typeBuffer, data, sizeof data),
        BXI2_E_BAD_ARGUMENT);
    EXPECT_EQ(Bxi2_SendNotification(7), BXI2_E_BAD_ARGUMENT);
}

std::string Command(const char* type, const char* data) {
    return std::string("<MSG><HDR><FROM>1</FROM><TO>2</TO><ID>3</ID><TYPE>") + type +
           "</TYPE></HDR><DATA>" + data + "</DATA></MSG>";
}

TEST_F(Events, EngineCommands) {
    Bxi2_I_HandleIncomingMessage(
        Command("DE_EVENT", "<BXICOMMANDTYPE>STOPTESTING</BXICOMMANDTYPE>").c_str());
    EXPECT_EQ(g_Bxi2.stopRequested, 0);
    Bxi2_I_HandleIncomingMessage(
        Command("BXI_COMMAND",
                "<BXICOMMANDTYPE>SENDINGTIMEOUT</BXICOMMANDTYPE><TIMEOUT_VALUE>90</TIMEOUT_VALUE>")
            .c_str());
    EXPECT_EQ(g_Bxi2.receivedTimeout, 90);
    EXPECT_EQ(g_Bxi2.stopRequested, 0);
    Bxi2_I_HandleIncomingMessage(
        Command("BXI_COMMAND", "<BXICOMMANDTYPE>REBOOT</BXICOMMANDTYPE>").c_str());
    EXPECT_EQ(g_Bxi2.stopRequested, 0);
    Bxi2_I_HandleIncomingMessage(
        Command("BXI_COMMAND", "<BXICOMMANDTYPE>STOPTESTING</BXICOMMANDTYPE>").c_str());
    EXPECT_EQ(g_Bxi2.stopRequested, 1);
    Bxi2_I_HandleIncomingMessage(nullptr);
    Bxi2_I_HandleIncomingMessage("garbage <MSG");
    EXPECT_EQ(g_Bxi2.stopRequested, 1);
}

}  // namespace
