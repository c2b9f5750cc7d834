// The requests wbemcli sent in the recorded samples (samples/*.request.txt),
// answered by the operation handler over the real provider: each answer must
// have the element structure of the recorded answer wbemcli accepted. The
// recordings name a host "host1", a test "VeLkHardDrive:0:Quick Test" and
// association roles that this system does not have; those are renamed to
// the test system's before the request is sent.
#include <pugixml.hpp>

#include <algorithm>
#include <map>

#include "CimServerFixture.h"
#include "TestDirectory.h"

namespace {

const std::string SAMPLE_DIR = std::string(VELK_SCHEMA_DIR) + "/../tests/cimserver/samples";

// Requests whose recorded answer came from the recording's placeholder
// classes, and the answer this system gives instead.
struct PlaceholderAnswer {
    const char* element;  // first child of the response element
    int code;             // for ERROR
};
const std::map<std::string, PlaceholderAnswer> PLACEHOLDER_ANSWERS = {
    {"06-cm-DiscontinueTest.2-DiscontinueTest", {"ERROR", 4}},  // a Result parameter
    {"07-cm-RunTest-error.2-RunTest", {"RETURNVALUE", 0}},      // our test runs on the disk
    {"08-cm-scalar-params.2-SetFlags", {"ERROR", 17}},          // the method SetFlags
};

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
    return text;
}

std::string withTestSystemNames(std::string request) {
    request = replaceAll(request, "host1", "testsystem");
    request = replaceAll(request, "VeLkHardDrive:0:Quick Test", "VeLkTest:0:Quick test");
    request = replaceAll(request, "ServiceProvided", "Antecedent");
    return replaceAll(request, "UserOfService", "Dependent");
}

// The (I)METHODRESPONSE element of a CIM-XML answer.
pugi::xml_node responseElement(const pugi::xml_document& document) {
    pugi::xml_node simple = document.child("CIM").child("MESSAGE").child("SIMPLERSP");
    pugi::xml_node response = simple.child("IMETHODRESPONSE");
    return response ? response : simple.child("METHODRESPONSE");
}

std::vector<std::string> childNames(const pugi::xml_node& element) {
    std::vector<std::string> names;
    for (pugi::xml_node child : element.children()) {
        if (child.type() == pugi::node_element) {
            names.push_back(child.name());
        }
    }
    return names;
}

class CimXmlSamples : public CimServerFixture {};

TEST_F(CimXmlSamples, EveryRecordedRequestGetsAnAnswerShapedLikeTheRecordedOne) {
    std::vector<std::string> files = velk::testsupport::ListDirectory(SAMPLE_DIR);
    std::sort(files.begin(), files.end());
    int compared = 0;
    for (const std::string& file : files) {
        const std::string suffix = ".request.txt";
        if (file.size() < suffix.size() || file.substr(file.size() - suffix.size()) != suffix) {
            continue;
        }
        std::string name = file.substr(0, file.size() - suffix.size());
        SCOPED_TRACE(name);
        std::string recorded =
            velk::testsupport::ReadFile(SAMPLE_DIR + "/" + name + ".response.txt");
        velk::cimserver::CimHttpResponse answer =
            send(withTestSystemNames(velk::testsupport::ReadFile(SAMPLE_DIR + "/" + file)));
        if (name.rfind("26-", 0) == 0) {  // wbemcli sent a key value unescaped
            EXPECT_EQ(answer.status, 400);
            continue;
        }
        if (recorded.rfind("HTTP/1.1 200", 0) != 0) {
            continue;  // the recorder's refusal of the client, not of the request
        }
        ASSERT_EQ(answer.status, 200) << answer.body;
        pugi::xml_document ours;
        pugi::xml_document theirs;
        ASSERT_TRUE(ours.load_string(answer.body.c_str())) << answer.body;
        ASSERT_TRUE(theirs.load_string(recorded.substr(recorded.find("<?xml")).c_str()));
        pugi::xml_node ourResponse = responseElement(ours);
        pugi::xml_node theirResponse = responseElement(theirs);
        ASSERT_STREQ(ourResponse.name(), theirResponse.name());
        EXPECT_STREQ(ourResponse.attribute("NAME").value(),
                     theirResponse.attribute("NAME").value());
        std::vector<std::string> ourChildren = childNames(ourResponse);
        ASSERT_FALSE(ourChildren.empty()) << answer.body;
        auto placeholder = PLACEHOLDER_ANSWERS.find(name);
        if (placeholder != PLACEHOLDER_ANSWERS.end()) {
            EXPECT_EQ(ourChildren.front(), placeholder->second.element) << answer.body;
            EXPECT_EQ(ourResponse.child("ERROR").attribute("CODE").as_int(),
                      placeholder->second.code);
            continue;
        }
        if (theirResponse.child("ERROR")) {
            EXPECT_EQ(ourResponse.child("ERROR").attribute("CODE").as_int(),
                      theirResponse.child("ERROR").attribute("CODE").as_int())
                << answer.body;
            continue;
        }
        if (ourChildren.front() != childNames(theirResponse).front()) {
            ADD_FAILURE() << "answered " << ourChildren.front() << ":\n" << answer.body;
            continue;
        }
        if (ourChildren.front() == "RETURNVALUE") {
            EXPECT_FALSE(childNames(ourResponse.child("RETURNVALUE")).empty());
            compared++;
            continue;
        }
        std::vector<std::string> theirItems = childNames(theirResponse.child("IRETURNVALUE"));
        for (const std::string& item : childNames(ourResponse.child("IRETURNVALUE"))) {
            if (!theirItems.empty()) {
                EXPECT_EQ(item, theirItems.front());
            }
        }
        compared++;
    }
    EXPECT_GE(compared, 20);
}

}  // namespace
