// The HTTP side of the CIM server with a stand-in operation handler that
// echoes what it was handed: framing faults, limits, keep-alive,
// 100-continue, slow clients and Basic authentication, over raw sockets.
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "CimHttpServer.h"
#include "RawHttp.h"

using velk::cimserver::CimHttpRequest;
using velk::cimserver::CimHttpResponse;
using velk::cimserver::CimHttpServer;
using velk::cimserver::HttpServerSettings;
using velk::cimserver::PasswordFile;
using velk::testsupport::CimPost;
using velk::testsupport::RawAnswer;
using velk::testsupport::RawHttpConnection;

namespace {

// "openssl passwd -6 -salt velktest secret"
const char* kUsers =
    "# test users\n"
    "alice:$6$velktest$6T7rArgJAdMleGEJO6wB.9PQZl4cgGvoXWn6UJ9t0j98rXr6RFGfOUTjPsxQyd138oxpn8555"
    "1DQ0Eysm8dkp/\n";

CimHttpResponse echo(const CimHttpRequest& request) {
    CimHttpResponse response;
    response.headers = {{"Content-Type", "application/xml; charset=\"utf-8\""},
                        {"CIMOperation", "MethodResponse"}};
    response.body = request.cimOperation + "|" + request.cimMethod + "|" + request.cimObject + "|" +
                    request.user + "|" + request.body;
    return response;
}

class HttpFramingTest : public ::testing::Test {
  protected:
    void start(HttpServerSettings settings, std::optional<PasswordFile> users = std::nullopt) {
        settings.port = 0;
        server = std::make_unique<CimHttpServer>(settings, echo, std::move(users));
        port = server->bind();
        serving = std::thread([this] { server->serve(); });
    }
    void TearDown() override {
        if (server) {
            server->stop();
            serving.join();
        }
    }
    RawAnswer exchange(const std::string& request) {
        RawHttpConnection connection(port);
        EXPECT_TRUE(connection.send(request));
        std::optional<RawAnswer> answer = connection.receive();
        EXPECT_TRUE(answer.has_value()) << "no answer to:\n" << request;
        return answer.value_or(RawAnswer{});
    }

    std::unique_ptr<CimHttpServer> server;
    std::thread serving;
    int port = 0;
};

TEST_F(HttpFramingTest, FramingFaultsGetTheirStatusAndEndTheConnection) {
    HttpServerSettings settings;
    settings.maxBodyBytes = 1000;
    settings.maxHeaderCount = 12;
    start(settings);
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
        {"no Content-Length", "POST /cimom HTTP/1.1\r\nHost: x\r\n\r\n<CIM/>", 411},
        {"chunked body",
         "POST /cimom HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: "
         "chunked\r\n\r\n5\r\n<CIM>\r\n0\r\n\r\n",
         411},
        {"letters as length",
         "POST /cimom HTTP/1.1\r\nHost: x\r\nContent-Length: 12a\r\n\r\n<CIM/>", 400},
        {"negative length", "POST /cimom HTTP/1.1\r\nHost: x\r\nContent-Length: -6\r\n\r\n<CIM/>",
         400},
        {"two lengths",
         "POST /cimom HTTP/1.1\r\nHost: x\r\nContent-Length: 6\r\nContent-Length: 7\r\n\r\n<CIM/>",
         400},
        {"body over the limit", CimPost(std::string(1001, 'x')), 413},
        {"length over the limit, body never sent",
         "POST /cimom HTTP/1.1\r\nHost: x\r\nContent-Length: 99999999999999999999\r\n\r\n", 413},
        {"too many header lines", CimPost("<CIM/>", manyHeaders), 431},
        {"garbage request line", "HELLO\r\n\r\n", 400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawHttpConnection connection(port);
        ASSERT_TRUE(connection.send(c.request));
        std::optional<RawAnswer> answer = connection.receive();
        ASSERT_TRUE(answer.has_value());
        EXPECT_EQ(answer->status, c.status);
        EXPECT_FALSE(answer->header("Content-Length").empty());
        EXPECT_TRUE(connection.closedByServer());
    }
}

TEST_F(HttpFramingTest, KeptAliveConnectionServesRequestsInTurnWithLengths) {
    start(HttpServerSettings{});
    RawHttpConnection connection(port);
    ASSERT_TRUE(connection.send(CimPost("<first/>")));
    std::optional<RawAnswer> first = connection.receive();
    ASSERT_TRUE(connection.send(CimPost("<second/>", "", "GetClass")));
    std::optional<RawAnswer> second = connection.receive();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->body, "MethodCall|EnumerateInstanceNames|root/korva||<first/>");
    EXPECT_EQ(second->body, "MethodCall|GetClass|root/korva||<second/>");
    EXPECT_EQ(second->header("Content-Length"), std::to_string(second->body.size()));
    EXPECT_EQ(second->header("CIMOperation"), "MethodResponse");
    EXPECT_EQ(second->header("Content-Type"), "application/xml; charset=\"utf-8\"");
}

TEST_F(HttpFramingTest, ExpectContinueIsAnsweredBeforeTheBodyOrRefusedAtOnce) {
    HttpServerSettings settings;
    settings.maxBodyBytes = 100;
    start(settings);
    RawHttpConnection accepted(port);
    std::string request = CimPost("<CIM/>", "Expect: 100-continue\r\n");
    size_t bodyStart = request.size() - 6;
    ASSERT_TRUE(accepted.send(request.substr(0, bodyStart)));
    std::optional<RawAnswer> interim = accepted.receive();
    ASSERT_TRUE(interim.has_value());
    EXPECT_EQ(interim->status, 100);
    ASSERT_TRUE(accepted.send(request.substr(bodyStart)));
    std::optional<RawAnswer> final = accepted.receive();
    ASSERT_TRUE(final.has_value());
    EXPECT_EQ(final->status, 200);

    RawHttpConnection refused(port);
    std::string large = CimPost(std::string(101, 'x'), "Expect: 100-continue\r\n");
    ASSERT_TRUE(refused.send(large.substr(0, large.size() - 101)));
    std::optional<RawAnswer> answer = refused.receive();
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->status, 413);
}

TEST_F(HttpFramingTest, HalfSentRequestDoesNotHoldUpOtherClients) {
    HttpServerSettings settings;
    settings.workerThreads = 2;
    settings.readTimeoutSeconds = 2;
    start(settings);
    RawHttpConnection slow(port);
    std::string request = CimPost("<CIM>never finished</CIM>");
    ASSERT_TRUE(slow.send(request.substr(0, request.size() - 10)));
    EXPECT_EQ(exchange(CimPost("<CIM/>")).status, 200);
    // The slow client's connection is dropped after the read time-out with a
    // 400 (the body is short); the server keeps serving.
    std::optional<RawAnswer> slowAnswer = slow.receive();
    ASSERT_TRUE(slowAnswer.has_value());
    EXPECT_EQ(slowAnswer->status, 400);
    EXPECT_EQ(exchange(CimPost("<CIM/>")).status, 200);
}

TEST_F(HttpFramingTest, BasicAuthenticationAdmitsOnlyListedUsersWithTheirPassword) {
    start(HttpServerSettings{}, PasswordFile::parse(kUsers, "users"));
    struct Case {
        const char* name;
        std::string authorization;
        int status;
    };
    const Case cases[] = {
        {"none", "", 401},
        {"right password", "Authorization: Basic YWxpY2U6c2VjcmV0\r\n", 200},  // alice:secret
        {"scheme in lower case", "Authorization: basic YWxpY2U6c2VjcmV0\r\n", 200},
        {"wrong password", "Authorization: Basic YWxpY2U6U2VjcmV0\r\n", 401},  // alice:Secret
        {"unknown user", "Authorization: Basic Ym9iOnNlY3JldA==\r\n", 401},    // bob:secret
        {"no colon", "Authorization: Basic YWxpY2U=\r\n", 401},                // alice
        {"not base64", "Authorization: Basic YWxp!2U6c2VjcmV0\r\n", 401},
        {"other scheme", "Authorization: Bearer YWxpY2U6c2VjcmV0\r\n", 401},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawAnswer answer = exchange(CimPost("<CIM/>", c.authorization));
        EXPECT_EQ(answer.status, c.status);
        if (c.status == 401) {
            EXPECT_EQ(answer.header("WWW-Authenticate"), "Basic realm=\"velk\"");
        } else {
            EXPECT_EQ(answer.body, "MethodCall|EnumerateInstanceNames|root/korva|alice|<CIM/>");
        }
    }
}

}  // namespace
