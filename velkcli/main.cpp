// velkcli: lists the machine's testable devices and their diagnostic tests
// as the diagnostic engine reports them, as tables or JSON, and runs a test.
//
//   velkcli [--home DIR] [--lang XX] [--json] [--keep-engine] devices
//   velkcli [--home DIR] [--lang XX] [--json] [--keep-engine] tests [--device HWLOCATOR]
//   velkcli [--home DIR] [--lang XX] [--json] [--keep-engine] run TEST --device HWLOCATOR
//           [--param ID=VALUE ...] [--passes N] [--max-time S] [--error-limit N]
//
// Exit statuses: see ExitStatus.h and README.md.
#include <CLI/CLI.hpp>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "Catalog.h"
#include "EngineSession.h"
#include "ExitStatus.h"
#include "Output.h"
#include "RunCommand.h"
#include "VelkCore.h"

namespace {

using velkcli::kExitEngine;
using velkcli::kExitUsage;

int Fail(int status, const std::string& reason) {
    std::fprintf(stderr, "velkcli: %s\n", reason.c_str());
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Lists testable devices and their diagnostic tests, and runs a test.", "velkcli"};
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
    CLI::App* run = app.add_subcommand("run", "Run a test on a device and watch it");
    velkcli::RunRequest request;
    std::vector<std::string> parameters;
    run->add_option("test", request.test,
                    "The test: its CIM name (as 'tests' lists it), module:index, or its name")
        ->required();
    run->add_option("--device", request.device, "Hardware locator of the device")->required();
    run->add_option("--param", parameters, "A parameter value, ID=VALUE (repeatable)");
    run->add_option("--passes", request.passes, "How many times to run the test (default 1)")
        ->check(CLI::Range(1u, 1000000u));
    run->add_option("--max-time", request.maxTimeSeconds, "Stop after this many seconds")
        ->check(CLI::Range(1L, 2147483647L));
    run->add_option("--error-limit", request.errorLimit, "Stop once this many runs did not pass")
        ->check(CLI::Range(1u, 2147483647u));
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

    for (const std::string& text : parameters) {
        std::optional<std::pair<std::string, std::string>> parameter =
            velkcli::SplitParameter(text);
        if (!parameter) {
            return Fail(kExitUsage, "--param takes ID=VALUE, not '" + text + "'");
        }
        request.parameters.push_back(*parameter);
    }

    velkcli::EngineSession session(velkcli::ResolveHome(home), keepEngine);
    // An engine that a run launches must not see the Ctrl-C meant for the
    // run: it inherits SIGINT blocked, and velkcli catches it from here on.
    sigset_t interrupt;
    sigemptyset(&interrupt);
    sigaddset(&interrupt, SIGINT);
    if (run->parsed()) {
        velkcli::CatchInterrupt();
        pthread_sigmask(SIG_BLOCK, &interrupt, nullptr);
    }
    std::optional<velkcli::StartFailure> failure = session.Start();
    if (run->parsed()) {
        pthread_sigmask(SIG_UNBLOCK, &interrupt, nullptr);
    }
    if (failure) {
        return Fail(failure->kind == velkcli::StartFailure::NO_ENGINE ? kExitUsage : kExitEngine,
                    failure->reason);
    }

    if (run->parsed()) {
        request.json = json;
        request.terminal = isatty(STDOUT_FILENO) != 0;
        return velkcli::RunTest(session.Environment(), request, lang);
    }
    if (devices->parsed()) {
        auto list = velkcli::CollectDevices(session.Environment(), lang);
        std::cout << (json ? velkcli::DevicesJson(list) : velkcli::DevicesTable(list));
        return 0;
    }
    auto list = velkcli::CollectTests(session.Environment(), device, lang);
    if (device && list.empty()) {
        return Fail(velkcli::kExitNotFound, "no device with hardware locator '" + *device + "'");
    }
    std::cout << (json ? velkcli::TestsJson(list) : velkcli::TestsTable(list));
    return 0;
}
