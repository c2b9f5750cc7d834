#include "bxi2_session.h"

#include <cstring>
#include <vector>

#include "bxi2.h"
#include "module_main.h"
#include "nls_text.h"

namespace velk::modules {

std::string NlsTag(const Text& text) {
    std::vector<velk::module::NlsVariable> variables;
    for (const auto& [name, value] : text.variables) {
        variables.emplace_back(name, value);
    }
    return velk::module::NlsTag(text.id, variables);
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
