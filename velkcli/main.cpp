// velkcli: lists the machine's testable devices and their diagnostic tests
// as the diagnostic engine reports them, as tables or JSON.
//
//   velkcli [--home DIR] [--lang XX] [--json] [--keep-engine] devices
//   velkcli [--home DIR] [--lang XX] [--json] [--keep-engine] tests [--device HWLOCATOR]
//
// Exit status: 0 success, 2 bad usage or no engine in the bin directory,
// 3 the engine is not answering, 4 no device with the given locator.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "Catalog.h"
#include "EngineSession.h"
#include "Output.h"
#include "VelkCore.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitEngine = 3;
constexpr int kExitNoDevice = 4;

int Fail(int status, const std::string& reason) {
    std::fprintf(stderr, "velkcli: %s\n", reason.c_str());
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Lists testable devices and their diagnostic tests.", "velkcli"};
    std::optional<std::string> home;
    std::string language = "EN";
    bool json = false;
    bool keepEngine = false;
    app.add_option("--home", home,
                   "Engine bin directory (default: $VELKOR_HOME, else /opt/Velkor/bin)");
    app.add_option("--lang", language, "Output language, a two-letter code such as EN or DE");
    app.add_flag("--json", json, "Write JSON instead of tables");
    app.add_flag("--keep-engine", keepEngine,
                 "Leave an engine that velkcli started running afterwards");
    app.require_subcommand(1);
    app.fallthrough();
    CLI::App* devices = app.add_subcommand("devices", "List the testable devices");
    CLI::App* tests = app.add_subcommand("tests", "List the tests of each device");
    std::optional<std::string> device;
    tests->add_option("--device", device, "Only the device with this hardware locator");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) {
            return app.exit(error);
        }
        return Fail(kExitUsage, error.what());
    }

    std::string code = language;
    std::transform(code.begin(), code.end(), code.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    VELKCORE::CNLS::LanguageId lang = VELKCORE::CNLS::StrToLanguageId(code);
    if (lang == VELKCORE::CNLS::INVALID_LANGUAGE) {
        return Fail(kExitUsage, "unknown language code '" + language + "'");
    }

    velkcli::EngineSession session(velkcli::ResolveHome(home), keepEngine);
    if (std::optional<velkcli::StartFailure> failure = session.Start()) {
        return Fail(failure->kind == velkcli::StartFailure::NO_ENGINE ? kExitUsage : kExitEngine,
                    failure->reason);
    }

    if (devices->parsed()) {
        auto list = velkcli::CollectDevices(session.Environment(), lang);
        std::cout << (json ? velkcli::DevicesJson(list) : velkcli::DevicesTable(list));
        return 0;
    }
    auto list = velkcli::CollectTests(session.Environment(), device, lang);
    if (device && list.empty()) {
        return Fail(kExitNoDevice, "no device with hardware locator '" + *device + "'");
    }
    std::cout << (json ? velkcli::TestsJson(list) : velkcli::TestsTable(list));
    return 0;
}
