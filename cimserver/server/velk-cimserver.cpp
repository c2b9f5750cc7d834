// velk-cimserver: the embedded CIM server. Loads the diagnostics provider,
// serves the classes of root/korva as CIM-XML over HTTP(S) to WBEM clients
// such as wbemcli, and on SIGTERM or SIGINT stops serving, terminates the
// provider (which stops the engine it started) and exits.
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include <CLI/CLI.hpp>

#include "CimHttpServer.h"
#include "CimObjectManager.h"
#include "CimOperationHandler.h"
#include "PasswordFile.h"
#include "ServerOptions.h"

using namespace velk::cimserver;

namespace {

std::string programDirectory(const char* argv0) {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        self = std::filesystem::absolute(argv0, error);
    }
    return self.parent_path().string();
}

sigset_t stopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    return signals;
}

// Waits for SIGTERM or SIGINT on its own thread (the signals are blocked in
// every other thread) and stops the server; a stop for another reason wakes
// it with the same signal.
class StopOnSignal {
  public:
    explicit StopOnSignal(CimHttpServer& server)
        : _thread([&server] {
              sigset_t signals = stopSignals();
              int received = 0;
              sigwait(&signals, &received);
              server.stop();
          }) {}
    ~StopOnSignal() {
        pthread_kill(_thread.native_handle(), SIGTERM);
        _thread.join();
    }
    StopOnSignal(const StopOnSignal&) = delete;
    StopOnSignal& operator=(const StopOnSignal&) = delete;

  private:
    std::thread _thread;
};

int run(const ServerOptions& options) {
    setenv("VELKOR_HOME", options.homeDir.c_str(), 1);
    std::optional<PasswordFile> users;
    if (!options.userFile.empty()) {
        users = PasswordFile::load(options.userFile);
    }
    CimObjectManager::Options managerOptions;
    managerOptions.schemaFile = options.schemaFile;
    managerOptions.providerLibrary = options.providerLibrary;
    managerOptions.hostName = options.hostName;
    managerOptions.nameSpace = options.nameSpace;
    CimObjectManager manager(managerOptions);
    CimOperationHandler handler(manager);

    CimHttpServer server(
        options.http, [&handler](const CimHttpRequest& request) { return handler.handle(request); },
        std::move(users));
    int port = server.bind();
    bool served = false;
    {
        StopOnSignal stopper(server);
        std::cout << "velk-cimserver: listening on " << (options.http.tls() ? "https" : "http")
                  << "://" << options.http.address << ":" << port << "/ (namespace "
                  << options.nameSpace << ", pid " << getpid() << ")" << std::endl;
        served = server.serve();
    }
    std::cout << "velk-cimserver: stopped" << std::endl;
    return served ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    // Blocked before any thread starts, so only the signal thread takes them;
    // programs the provider launches get the default mask back.
    sigset_t signals = stopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);  // a client that hangs up must not end the server

    ServerOptions options = ServerOptions::defaults(programDirectory(argv[0]),
                                                    VELK_BUILD_PROVIDER_LIBRARY, VELK_SCHEMA_DIR);
    CLI::App app{
        "velk-cimserver: serves the hardware diagnostics of this machine as CIM-XML "
        "over HTTP(S) to WBEM clients (namespace root/korva)"};
    options.declare(app);
    CLI11_PARSE(app, argc, argv);
    options.finish(app);
    try {
        return run(options);
    } catch (const std::exception& e) {
        std::cerr << "velk-cimserver: " << e.what() << std::endl;
        return 1;
    }
}
