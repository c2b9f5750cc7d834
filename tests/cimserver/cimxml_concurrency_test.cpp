// The operation handler serves requests from many threads at once (the
// network layer's worker pool): concurrent answers equal the answer given
// to a lone request.
#include <thread>
#include <vector>

#include "CimServerFixture.h"

namespace {

std::string intrinsicRequest(const std::string& method, const std::string& parameters) {
    return "CIMOperation: MethodCall\nCIMMethod: " + method +
           "\nCIMObject: root%2Fkorva\n\n"
           "<?xml version=\"1.0\" encoding=\"utf-8\" ?><CIM CIMVERSION=\"2.0\" "
           "DTDVERSION=\"2.0\"><MESSAGE ID=\"7\" PROTOCOLVERSION=\"1.0\"><SIMPLEREQ>"
           "<IMETHODCALL NAME=\"" +
           method +
           "\"><LOCALNAMESPACEPATH><NAMESPACE NAME=\"root\"/><NAMESPACE "
           "NAME=\"korva\"/></LOCALNAMESPACEPATH>" +
           parameters + "</IMETHODCALL></SIMPLEREQ></MESSAGE></CIM>";
}

class CimXmlConcurrency : public CimServerFixture {};

TEST_F(CimXmlConcurrency, ConcurrentRequestsGetTheAnswersOfLoneOnes) {
    const std::vector<std::string> requests = {
        intrinsicRequest("EnumerateInstanceNames",
                         "<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME "
                         "NAME=\"VLK_Device\"/></IPARAMVALUE>"),
        intrinsicRequest("EnumerateInstances",
                         "<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME "
                         "NAME=\"VLK_DiagTest\"/></IPARAMVALUE>"),
        intrinsicRequest(
            "AssociatorNames",
            "<IPARAMVALUE NAME=\"ObjectName\"><INSTANCENAME CLASSNAME=\"VLK_DiagTest\">"
            "<KEYBINDING NAME=\"CreationClassName\"><KEYVALUE>VLK_DiagTest</KEYVALUE>"
            "</KEYBINDING><KEYBINDING NAME=\"Name\"><KEYVALUE>VeLkTest:0:Quick test"
            "</KEYVALUE></KEYBINDING><KEYBINDING NAME=\"SystemCreationClassName\">"
            "<KEYVALUE>CIM_UnitaryComputerSystem</KEYVALUE></KEYBINDING><KEYBINDING "
            "NAME=\"SystemName\"><KEYVALUE>testsystem</KEYVALUE></KEYBINDING>"
            "</INSTANCENAME></IPARAMVALUE>"),
    };
    std::vector<std::string> lone;
    for (const std::string& request : requests) {
        lone.push_back(send(request).body);
        ASSERT_EQ(lone.back().find("<ERROR"), std::string::npos) << lone.back();
        ASSERT_EQ(lone.back().find("<IRETURNVALUE>\n</IRETURNVALUE>"), std::string::npos);
    }
    constexpr int THREADS = 8;
    constexpr int ROUNDS = 10;
    std::vector<std::vector<std::string>> answers(THREADS);
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; t++) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < ROUNDS; round++) {
                const std::string& request = requests[(t + round) % requests.size()];
                answers[t].push_back(handler->handle(ParseRawCimRequest(request)).body);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < THREADS; t++) {
        for (int round = 0; round < ROUNDS; round++) {
            EXPECT_EQ(answers[t][round], lone[(t + round) % requests.size()])
                << "thread " << t << " round " << round;
        }
    }
}

}  // namespace
