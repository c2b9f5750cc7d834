#include "engine_strings.h"

#include "nls_tag.h"

namespace velk::engine {
namespace {

constexpr std::string_view kStrings = R"([EN]
szRunTimedOut=The test exceeded its time-out of {SECONDS} s and is being stopped
szRunKilled=The test did not stop within {SECONDS} s and was ended by force
szRunExitedWithoutResult=The module exited with status {STATUS} without a test result
szRunSignalledWithoutResult=The module was ended by signal {SIGNAL} without a test result
szLogItemsDropped={COUNT} earlier log items were dropped
szModuleDidNotConnect=The module did not connect to the engine within {SECONDS} s
szModuleRefusedParameters=The module refused the test parameters (status {STATUS}) and did not run the test
[DE]
szRunTimedOut=Der Test hat sein Zeitlimit von {SECONDS} s ueberschritten und wird angehalten
szRunKilled=Der Test hat nicht innerhalb von {SECONDS} s angehalten und wurde zwangsweise beendet
szRunExitedWithoutResult=Das Modul endete mit Status {STATUS} ohne Testergebnis
szRunSignalledWithoutResult=Das Modul wurde durch Signal {SIGNAL} ohne Testergebnis beendet
szLogItemsDropped={COUNT} fruehere Protokolleintraege wurden verworfen
szModuleDidNotConnect=Das Modul hat sich nicht innerhalb von {SECONDS} s bei der Engine gemeldet
szModuleRefusedParameters=Das Modul hat die Testparameter abgelehnt (Status {STATUS}) und den Test nicht ausgefuehrt
)";

std::string Tag(const char* id, const char* variable, const std::string& value) {
    NlsTag tag;
    tag.module = std::string(kEngineStringModule);
    tag.id = id;
    tag.variables.emplace_back(variable, value);
    return tag.Text();
}

}  // namespace

std::string_view EngineStringFile() {
    return kStrings;
}

std::string RunTimedOutText(int seconds) {
    return Tag("szRunTimedOut", "SECONDS", std::to_string(seconds));
}

std::string RunKilledText(int seconds) {
    return Tag("szRunKilled", "SECONDS", std::to_string(seconds));
}

std::string RunExitedWithoutResultText(int exitStatus) {
    return Tag("szRunExitedWithoutResult", "STATUS", std::to_string(exitStatus));
}

std::string RunSignalledWithoutResultText(int signal) {
    return Tag("szRunSignalledWithoutResult", "SIGNAL", std::to_string(signal));
}

std::string LogItemsDroppedText(unsigned long long count) {
    return Tag("szLogItemsDropped", "COUNT", std::to_string(count));
}

std::string ModuleDidNotConnectText(int seconds) {
    return Tag("szModuleDidNotConnect", "SECONDS", std::to_string(seconds));
}

std::string ModuleRefusedParametersText(int exitStatus) {
    return Tag("szModuleRefusedParameters", "STATUS", std::to_string(exitStatus));
}

}  // namespace velk::engine
