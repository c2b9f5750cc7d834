#include "bxi2_session.h"

#include <cstring>
#include <vector>

#include "bxi2.h"
#include "module_main.h"

namespace velk::modules {

namespace {

// The tag format leaves blanks in a value unescaped, and a reader splits the
// tag's attributes at blanks; a no-break space keeps a value whole and
// reads the same.
std::string KeepWhole(const std::string& value) {
    std::string whole;
    for (char c : value) {
        if (c == ' ') {
            whole += "\xC2\xA0";
        } else {
            whole += c;
        }
    }
    return whole;
}

}  // namespace

std::string NlsTag(const Text& text) {
    const char* base = Bxi2_NlsTagToToken(text.id.c_str());
    if (base == nullptr) {
        return text.id;
    }
    size_t room = std::strlen(base) + 1;
    for (const auto& [name, value] : text.variables) {
        room += name.size() + 6 * value.size() + 4;  // a blank becomes two escaped bytes
    }
    std::vector<char> tag(room);
    std::memcpy(tag.data(), base, std::strlen(base) + 1);
    for (const auto& [name, value] : text.variables) {
        if (Bxi2_NlsAddVariableToTag(tag.data(), static_cast<uint32_t>(tag.size()), name.c_str(),
                                     KeepWhole(value).c_str()) != 0) {
            return text.id;
        }
    }
    return tag.data();
}

Bxi2Session::Bxi2Session(int test)
    : progress_(velk::module::BudgetForTimeout(velk::module::DeclaredTimeoutSeconds(test))) {}

double Bxi2Session::PercentToTest() const {
    return Bxi2_GetFloatPercentageToTest();
}

bool Bxi2Session::StopRequested() {
    return progress_.ShouldEnd();
}

void Bxi2Session::PercentDone(int percent) {
    Bxi2_SetPercentDone(percent);
}

void Bxi2Session::Progress(const Text& text) {
    Bxi2_SetProgressInformation("%s", NlsTag(text).c_str());
}

void Bxi2Session::Info(const Text& text) {
    Bxi2_Informative("%s", NlsTag(text).c_str());
}

void Bxi2Session::Warning(int code, const Text& text) {
    Bxi2_Warning(code, "%s", NlsTag(text).c_str());
}

void Bxi2Session::Error(int code, const Text& text) {
    Bxi2_Error(code, "%s", NlsTag(text).c_str());
}

}  // namespace velk::modules
