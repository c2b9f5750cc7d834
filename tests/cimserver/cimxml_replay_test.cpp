// Replays the CIM-XML exchanges in replay/*.txt through the operation
// handler against the real provider, engine and test module, in file-name
// order on one server (later files may rely on what earlier ones did).
//
// A replay file: optional '#' comment lines, the request headers, a blank
// line and the request body; then a line "=== response <status>", the
// response headers expected (each must be present), a blank line and the
// expected body, in which "{{any}}" stands for any text without '<'. Every
// answer must also keep to what wbemcli's XML scanner can read.
#include <algorithm>

#include "CimServerFixture.h"
#include "TestDirectory.h"

namespace {

const std::string REPLAY_DIR = std::string(VELK_SCHEMA_DIR) + "/../tests/cimserver/replay";
const std::string RESPONSE_MARK = "=== response ";

std::string withoutTrailingSpace(std::string text) {
    while (!text.empty() && isspace(static_cast<unsigned char>(text.back()))) {
        text.pop_back();
    }
    return text;
}

// Whether actual matches expected, in which "{{any}}" matches any text
// without '<'. On a mismatch, where says where the comparison stopped.
bool matchesPattern(const std::string& expected, const std::string& actual, std::string& where) {
    const std::string any = "{{any}}";
    size_t e = 0;
    size_t a = 0;
    while (true) {
        size_t hole = expected.find(any, e);
        std::string piece = expected.substr(e, hole == std::string::npos ? hole : hole - e);
        if (actual.compare(a, piece.size(), piece) != 0) {
            size_t at = a;
            while (at < actual.size() && at - a < piece.size() && actual[at] == piece[at - a]) {
                at++;
            }
            where = "expected \"" + piece.substr(at - a, 80) + "\"\n got \"" +
                    actual.substr(at, 80) + "\"";
            return false;
        }
        a += piece.size();
        if (hole == std::string::npos) {
            return a == actual.size() ||
                   (where = "extra text \"" + actual.substr(a, 80) + "\"", false);
        }
        e = hole + any.size();
        std::string next = expected.substr(e, expected.find(any, e) - e);
        size_t found = next.empty() ? actual.find('<', a) : actual.find(next, a);
        if (found == std::string::npos ||
            actual.substr(a, found - a).find('<') != std::string::npos) {
            where = "nothing matches after {{any}} at \"" + actual.substr(a, 80) + "\"";
            return false;
        }
        a = found;
    }
}

// What in a CIM-XML answer wbemcli's own scanner cannot read, or empty.
std::string unreadableForWbemcli(const std::string& body) {
    const std::string declaration = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n";
    if (body.rfind(declaration, 0) != 0) {
        return "no plain XML declaration";
    }
    for (const char* banned : {"<!--", "<!DOCTYPE", "xml:lang", "xmlns", "&#", "<![CDATA["}) {
        if (body.find(banned) != std::string::npos) {
            return std::string("contains ") + banned;
        }
    }
    if (body.find("<?", declaration.size()) != std::string::npos) {
        return "a second processing instruction";
    }
    for (size_t end = body.find("/>"); end != std::string::npos; end = body.find("/>", end + 2)) {
        size_t start = body.rfind('<', end);
        std::string name = body.substr(start + 1, body.find_first_of(" />", start) - start - 1);
        if (name != "CLASSNAME" && name != "NAMESPACE") {
            return "self-closing " + name;
        }
    }
    return "";
}

class CimXmlReplay : public CimServerFixture {};

TEST_F(CimXmlReplay, EveryRecordedExchangeGetsItsRecordedAnswer) {
    std::vector<std::string> files = velk::testsupport::ListDirectory(REPLAY_DIR);
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty()) << "no replay files in " << REPLAY_DIR;
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        std::string text = velk::testsupport::ReadFile(REPLAY_DIR + "/" + file);
        while (text.rfind("#", 0) == 0) {
            text.erase(0, text.find('\n') + 1);
        }
        size_t mark = text.find("\n" + RESPONSE_MARK);
        ASSERT_NE(mark, std::string::npos) << "no \"" << RESPONSE_MARK << "\" line";
        std::string request = text.substr(0, mark);
        std::string response = text.substr(mark + 1 + RESPONSE_MARK.size());
        int status = std::stoi(response);
        response.erase(0, response.find('\n') + 1);
        velk::cimserver::CimHttpRequest expected = ParseRawCimRequest(response);
        velk::cimserver::CimHttpResponse actual = send(request + "\n");

        EXPECT_EQ(actual.status, status);
        for (const std::string& line : {std::string("CIMError"), std::string("CIMOperation")}) {
            size_t at = response.find(line + ": ");
            if (at != std::string::npos && at < response.find("\n\n")) {
                std::string value = response.substr(at + line.size() + 2);
                value = value.substr(0, value.find('\n'));
                EXPECT_NE(std::find(actual.headers.begin(), actual.headers.end(),
                                    std::make_pair(line, value)),
                          actual.headers.end())
                    << "header " << line << ": " << value;
            }
        }
        if (actual.status == 200) {
            EXPECT_EQ(unreadableForWbemcli(actual.body), "");
        }
        std::string where;
        EXPECT_TRUE(matchesPattern(withoutTrailingSpace(expected.body),
                                   withoutTrailingSpace(actual.body), where))
            << where << "\nwhole answer:\n"
            << actual.body;
    }
}

}  // namespace
