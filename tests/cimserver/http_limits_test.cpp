// End to end: the real velk-cimserver's answers to broken, oversized and
// slow requests on raw sockets, its keep-alive and 100-continue, while it
// goes on serving wbemcli.
#include <gtest/gtest.h>

#include <regex>

#include "CimServerProcess.h"
#include "RawHttp.h"

using velk::testsupport::CimPost;
using velk::testsupport::CimServerProcess;
using velk::testsupport::CommandResult;
using velk::testsupport::RawAnswer;
using velk::testsupport::RawHttpConnection;

namespace {

const std::string kEnumerateNames =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?><CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\">"
    "<MESSAGE ID=\"4711\" PROTOCOLVERSION=\"1.0\"><SIMPLEREQ>"
    "<IMETHODCALL NAME=\"EnumerateInstanceNames\"><LOCALNAMESPACEPATH>"
    "<NAMESPACE NAME=\"root\"></NAMESPACE><NAMESPACE NAME=\"korva\"></NAMESPACE>"
    "</LOCALNAMESPACEPATH><IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"VLK_Processor\"/>"
    "</IPARAMVALUE></IMETHODCALL></SIMPLEREQ></MESSAGE></CIM>";

class HttpLimitsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(
            server.start({"--max-body-bytes", "2000", "--max-headers", "16", "--workers", "2"}));
    }
    CimServerProcess server;
};

TEST_F(HttpLimitsTest, BrokenRequestsGetTheirHttpErrorAndEndTheirConnection) {
    const std::string request = CimPost(kEnumerateNames);
    const std::string head = "POST /cimom HTTP/1.1\r\nHost: x\r\n";
    auto withLength = [&](const std::string& length) {
        return std::regex_replace(request, std::regex("Content-Length: \\d+"), length);
    };
    std::string manyHeaders;
    for (int i = 0; i < 20; i++) {
        manyHeaders += "X-Filler-" + std::to_string(i) + ": x\r\n";
    }
    struct Case {
        const char* name;
        std::string request;
        int status;
    };
    const Case cases[] = {
        {"GET", "GET /cimom HTTP/1.1\r\nHost: x\r\n\r\n", 405},
        {"malformed XML", CimPost("<CIM><MESSAGE ID=\"4711\"></CIM>"), 400},
        {"length shorter than the body", withLength("Content-Length: 40"), 400},
        {"letters as length", withLength("Content-Length: 12a"), 400},
        {"negative length", withLength("Content-Length: -6"), 400},
        {"two lengths", withLength("Content-Length: 6\r\nContent-Length: 7"), 400},
        {"no length", std::regex_replace(request, std::regex("Content-Length: \\d+\r\n"), ""), 411},
        {"chunked body", head + "Transfer-Encoding: chunked\r\n\r\n5\r\n<CIM>\r\n0\r\n\r\n", 411},
        {"body over the limit", CimPost(std::string(2001, ' ') + kEnumerateNames), 413},
        {"huge length, body never sent", head + "Content-Length: 99999999999999999999\r\n\r\n",
         413},
        {"too many header lines", CimPost(kEnumerateNames, manyHeaders), 431},
        {"garbage request line", "HELLO\r\n\r\n", 400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawHttpConnection connection(server.port());
        ASSERT_TRUE(connection.send(c.request));
        std::optional<RawAnswer> answer = connection.receive();
        ASSERT_TRUE(answer.has_value());
        EXPECT_EQ(answer->status, c.status) << answer->body;
        EXPECT_FALSE(answer->header("Content-Length").empty());
        EXPECT_TRUE(connection.closedByServer());
    }
}

TEST_F(HttpLimitsTest, KeptAliveConnectionAnswersInTurnAndExpectContinueIsAnswered) {
    RawHttpConnection connection(server.port());
    std::string request = CimPost(kEnumerateNames, "Expect: 100-continue\r\n");
    size_t bodyStart = request.size() - kEnumerateNames.size();
    ASSERT_TRUE(connection.send(request.substr(0, bodyStart)));
    std::optional<RawAnswer> interim = connection.receive();
    ASSERT_TRUE(interim.has_value());
    EXPECT_EQ(interim->status, 100);
    ASSERT_TRUE(connection.send(request.substr(bodyStart)));
    for (int turn = 0; turn < 2; turn++) {
        std::optional<RawAnswer> answer = connection.receive();
        ASSERT_TRUE(answer.has_value());
        EXPECT_EQ(answer->status, 200);
        EXPECT_EQ(answer->header("Content-Length"), std::to_string(answer->body.size()));
        EXPECT_EQ(answer->header("CIMOperation"), "MethodResponse");
        EXPECT_NE(answer->body.find("CPU:0"), std::string::npos) << answer->body;
        ASSERT_TRUE(connection.send(CimPost(kEnumerateNames)));
    }
}

TEST_F(HttpLimitsTest, HalfSentRequestDoesNotHoldUpOtherClients) {
    std::string request = CimPost(kEnumerateNames);
    RawHttpConnection slow(server.port());
    ASSERT_TRUE(slow.send(request.substr(0, request.size() / 2)));
    CommandResult served = server.wbemcli({"ein", server.url() + ":VLK_Processor"});
    EXPECT_EQ(served.status, 0) << served.output;
    EXPECT_NE(served.output.find("DeviceID=\"CPU:0\""), std::string::npos) << served.output;
}

}  // namespace
