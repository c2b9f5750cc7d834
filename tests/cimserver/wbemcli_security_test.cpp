// End to end: the real velk-cimserver's Basic authentication and TLS as
// wbemcli meets them, and its answers to broken or slow requests on a raw
// socket while wbemcli is served.
#include <gtest/gtest.h>

#include <regex>

#include "CimServerProcess.h"
#include "RawHttp.h"

using velk::testsupport::CimPost;
using velk::testsupport::CimServerProcess;
using velk::testsupport::CommandResult;
using velk::testsupport::RawAnswer;
using velk::testsupport::RawHttpConnection;
using velk::testsupport::RunCommand;

namespace {

const char* kEnumerateNames =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?><CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\">"
    "<MESSAGE ID=\"4711\" PROTOCOLVERSION=\"1.0\"><SIMPLEREQ>"
    "<IMETHODCALL NAME=\"EnumerateInstanceNames\"><LOCALNAMESPACEPATH>"
    "<NAMESPACE NAME=\"root\"></NAMESPACE><NAMESPACE NAME=\"korva\"></NAMESPACE>"
    "</LOCALNAMESPACEPATH><IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"VLK_Processor\"/>"
    "</IPARAMVALUE></IMETHODCALL></SIMPLEREQ></MESSAGE></CIM>";

TEST(WbemcliSecurityTest, BasicAuthenticationAdmitsTheListedUserOnly) {
    CimServerProcess server;
    CommandResult hash =
        RunCommand("/usr/bin/openssl", {"passwd", "-6", "s3cret.pw"}, server.home());
    ASSERT_EQ(hash.status, 0) << hash.output;
    std::string users = server.writeFile("users", "# who may connect\nalice:" + hash.output);
    ASSERT_TRUE(server.start({"--user-file", users}));
    struct Case {
        const char* name;
        std::string credentials;
        int status;
        std::string expected;
    };
    const Case cases[] = {
        {"right password", "alice:s3cret.pw", 0, "VLK_Processor.CreationClassName="},
        {"no credentials", "", 16, "Username/password required"},
        {"wrong password", "alice:s3cret", 16, "Invalid username/password"},
        {"unknown user", "bob:s3cret.pw", 16, "Invalid username/password"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CommandResult result =
            server.wbemcli({"ein", server.url("http", c.credentials) + ":VLK_Processor"});
        EXPECT_EQ(result.status, c.status) << result.output;
        EXPECT_NE(result.output.find(c.expected), std::string::npos) << result.output;
    }
}

TEST(WbemcliSecurityTest, HttpsWithASelfSignedCertificateTheClientTrusts) {
    CimServerProcess server;
    std::string key = server.home() + "/server.key";
    std::string certificate = server.home() + "/server.crt";
    CommandResult made = RunCommand(
        "/usr/bin/openssl",
        {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj", "/CN=localhost",
         "-addext", "subjectAltName=DNS:localhost", "-keyout", key, "-out", certificate},
        server.home());
    ASSERT_EQ(made.status, 0) << made.output;
    ASSERT_TRUE(server.start({"--certificate", certificate, "--private-key", key}));

    CommandResult trusted =
        server.wbemcli({"ein", "-cacert", certificate, server.url("https") + ":VLK_Processor"});
    EXPECT_EQ(trusted.status, 0) << trusted.output;
    EXPECT_NE(trusted.output.find("VLK_Processor.CreationClassName="), std::string::npos)
        << trusted.output;
    CommandResult untrusted = server.wbemcli({"ein", server.url("https") + ":VLK_Processor"});
    EXPECT_EQ(untrusted.status, 16) << untrusted.output;
    CommandResult plain = server.wbemcli({"ein", server.url("http") + ":VLK_Processor"});
    EXPECT_EQ(plain.status, 16) << plain.output;
}

TEST(WbemcliSecurityTest, BrokenRequestsGetTheirHttpErrorAndASlowClientBlocksNoOne) {
    CimServerProcess server;
    ASSERT_TRUE(server.start({"--max-body-bytes", "2000", "--workers", "2"}));
    std::string request = CimPost(kEnumerateNames);
    struct Case {
        const char* name;
        std::string request;
        int status;
    };
    const Case cases[] = {
        {"well-formed", request, 200},
        {"malformed XML", CimPost("<CIM><MESSAGE ID=\"4711\"></CIM>"), 400},
        {"length shorter than the body",
         std::regex_replace(request, std::regex("Content-Length: \\d+"), "Content-Length: 40"),
         400},
        {"no length", std::regex_replace(request, std::regex("Content-Length: \\d+\r\n"), ""), 411},
        {"body over the limit", CimPost(std::string(2001, ' ') + kEnumerateNames), 413},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawHttpConnection connection(server.port());
        ASSERT_TRUE(connection.send(c.request));
        std::optional<RawAnswer> answer = connection.receive();
        ASSERT_TRUE(answer.has_value());
        EXPECT_EQ(answer->status, c.status) << answer->body;
    }

    RawHttpConnection slow(server.port());
    ASSERT_TRUE(slow.send(request.substr(0, request.size() / 2)));
    CommandResult served = server.wbemcli({"ein", server.url() + ":VLK_Processor"});
    EXPECT_EQ(served.status, 0) << served.output;
}

}  // namespace
