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

std::string EventData(Bxi2_EventType type, int number, const char* text) {
    char data[BXI2_EVENT_DATA_SIZE];
    EXPECT_EQ(Bxi2_I_FormatEventData(data, sizeof data, type, "PID7", number,
                                     text != nullptr ? "%s" : nullptr, text),
              BXI2_OK);
    return data;
}

TEST_F(Events, DataOfEachEventType) {
    EXPECT_EQ(EventData(BXI2_EVENT_PROGRESS, 0, "Pass 1"),
              "<DATA><EVENT><TYPE>PROGRESS</TYPE><TESTPROCESSID>PID7</TESTPROCESSID><TEXT>Pass "
              "1</TEXT></EVENT></DATA>");
    EXPECT_EQ(EventData(BXI2_EVENT_PERCENTDONE, 42, nullptr),
              "<DATA><EVENT><TYPE>PERCENTDONE</TYPE><TESTPROCESSID>PID7</"
              "TESTPROCESSID><TEXT>42</TEXT></EVENT></DATA>");
    EXPECT_EQ(EventData(BXI2_EVENT_INFO, -1, "hello"),
              "<DATA><EVENT><TYPE>INFO</TYPE><TESTPROCESSID>PID7</TESTPROCESSID><TEXT>hello</"
              "TEXT><EVENTCODE>-1</EVENTCODE></EVENT></DATA>");
    EXPECT_EQ(EventData(BXI2_EVENT_WARN, 150, "busy"),
              "<DATA><EVENT><TYPE>WARN</TYPE><TESTPROCESSID>PID7</TESTPROCESSID><TEXT>busy</"
              "TEXT><EVENTCODE>150</EVENTCODE></EVENT></DATA>");
    EXPECT_EQ(EventData(BXI2_EVENT_ERROR, 7, "bad"),
              "<DATA><EVENT><TYPE>ERROR</TYPE><TESTPROCESSID>PID7</TESTPROCESSID><TEXT>bad</"
              "TEXT><EVENTCODE>7</EVENTCODE></EVENT></DATA>");
    EXPECT_EQ(EventData(BXI2_EVENT_SET_TIMEOUT, 300, nullptr),
              "<DATA><EVENT><TYPE>SET_TIMEOUT</TYPE><TESTPROCESSID>PID7</"
              "TESTPROCESSID><TIMEOUT_VALUE>300</TIMEOUT_VALUE></EVENT></DATA>");
    EXPECT_EQ(EventData(BXI2_EVENT_GET_TIMEOUT, 0, nullptr),
              "<DATA><EVENT><TYPE>GET_TIMEOUT</TYPE><TESTPROCESSID>PID7</TESTPROCESSID></EVENT></"
              "DATA>");
    EXPECT_EQ(EventData(BXI2_EVENT_CLEAR_TIMEOUT, 0, nullptr),
              "<DATA><EVENT><TYPE>CLEAR_TIMEOUT</TYPE><TESTPROCESSID>PID7</TESTPROCESSID></"
              "EVENT></DATA>");
}

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

TEST_F(Events, NotificationTexts) {
    Bxi2_Version(2, 5, 11);
    std::string type;
    EXPECT_EQ(Notification(BXI2_NOTIFY_STARTUP, "REF42", 0, &type),
              "<DATA><STARTUP>REF42</STARTUP><VERSION>2.5.11</VERSION></DATA>");
    EXPECT_EQ(type, "REF42");
    EXPECT_EQ(Notification(BXI2_NOTIFY_STARTUP, "", 0, &type),
              "<DATA><STARTUP></STARTUP><VERSION>2.5.11</VERSION></DATA>");
    EXPECT_EQ(type, "DE_NOTIFY");
    EXPECT_EQ(Notification(BXI2_NOTIFY_SHUTDOWN, nullptr, 0, &type), "<DATA>SHUTDOWN</DATA>");
    EXPECT_EQ(type, "DE_NOTIFY");
    std::snprintf(g_Bxi2.processId, sizeof g_Bxi2.processId, "%s", "TP-9");
    EXPECT_EQ(Notification(BXI2_NOTIFY_RESULT, nullptr, BXI2_RESULT_NOMEDIA, &type),
              "<DATA><TESTRESULT>NOMEDIA</TESTRESULT><TESTPROCESSID>TP-9</TESTPROCESSID></DATA>");
    char typeBuffer[BXI2_NOTIFY_HEADER_SIZE];
    char data[BXI2_NOTIFY_DATA_SIZE];
    EXPECT_EQ(
        Bxi2_I_BuildNotification(3, nullptr, 0, typeBuffer, sizeof typeBuffer, data, sizeof data),
        BXI2_E_BAD_ARGUMENT);
    EXPECT_EQ(Bxi2_SendNotification(7), BXI2_E_BAD_ARGUMENT);
}

TEST_F(Events, ResultNames) {
    const char* names[] = {"PASS",      "SETUPERROR",     "FAIL",
                           "BUSY",      "PRIVILEGEERROR", "NOTAPPLICABLE",
                           "BADPARAMS", "NOMEDIA",        "DISCONTINUED"};
    for (int code = 0; code < 9; ++code) {
        EXPECT_STREQ(Bxi2_ResultCodeToName(code), names[code]);
    }
    EXPECT_STREQ(Bxi2_ResultCodeToName(9), "SETUPERROR");
    EXPECT_STREQ(Bxi2_ResultCodeToName(42), "SETUPERROR");
    EXPECT_STREQ(Bxi2_ResultCodeToName(-1), "SETUPERROR");
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
