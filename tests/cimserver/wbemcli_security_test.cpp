// End to end: the real velk-cimserver's Basic authentication and TLS as
// wbemcli meets them.
#include <gtest/gtest.h>

#include "CimServerProcess.h"

using velk::testsupport::CimServerProcess;
using velk::testsupport::CommandResult;
using velk::testsupport::RunCommand;

namespace {

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

}  // namespace
