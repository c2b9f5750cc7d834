#include "ServerOptions.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include <CLI/CLI.hpp>

namespace velk::cimserver {

namespace {

constexpr int kHttpPort = 5988;
constexpr int kHttpsPort = 5989;

std::string firstExisting(const std::string& preferred, const std::string& fallback) {
    std::error_code error;
    std::string found = std::filesystem::exists(preferred, error) ? preferred : fallback;
    return std::filesystem::path(found).lexically_normal().string();
}

std::string localHostName() {
    char name[256] = {0};
    if (gethostname(name, sizeof(name) - 1) != 0 || name[0] == '\0') {
        return "localhost";
    }
    return name;
}

}  // namespace

ServerOptions ServerOptions::defaults(const std::string& programDir,
                                      const std::string& buildProviderLibrary,
                                      const std::string& sourceSchemaDir) {
    ServerOptions options;
    options.providerLibrary =
        firstExisting(programDir + "/../lib/libVLK_DiagProvider.so", buildProviderLibrary);
    options.schemaFile = firstExisting(programDir + "/../share/velk/schema/VLK_Schema.mof",
                                       sourceSchemaDir + "/VLK_Schema.mof");
    const char* home = getenv("VELKOR_HOME");
    options.homeDir = home != nullptr && home[0] != '\0' ? home : programDir;
    options.hostName = localHostName();
    return options;
}

void ServerOptions::declare(CLI::App& app) {
    app.set_config("--config", "",
                   "read options from this file: one \"option = value\" line each, named as the "
                   "long options without the dashes");
    app.add_option("-a,--address", http.address, "address to listen on (loopback by default)")
        ->capture_default_str();
    app.add_option("-p,--port", http.port,
                   "port to listen on (5988, with TLS 5989; 0 picks a free one)")
        ->capture_default_str()
        ->check(CLI::Range(0, 65535));
    auto* certificate = app.add_option("--certificate", http.certificateFile,
                                       "PEM certificate (chain): serve HTTPS with it")
                            ->check(CLI::ExistingFile);
    auto* key = app.add_option("--private-key", http.privateKeyFile,
                               "PEM private key of the certificate (unencrypted)")
                    ->check(CLI::ExistingFile);
    certificate->needs(key);
    key->needs(certificate);
    app.add_option("--user-file", userFile,
                   "require HTTP Basic authentication against this file of \"user:hash\" lines "
                   "(hashes from openssl passwd -6)")
        ->check(CLI::ExistingFile);
    app.add_option("--max-body-bytes", http.maxBodyBytes,
                   "largest request body accepted (larger: 413)")
        ->capture_default_str()
        ->check(CLI::Range(size_t{1}, size_t{1} << 30));
    app.add_option("--read-timeout", http.readTimeoutSeconds,
                   "seconds one read of a request may wait before the connection is dropped")
        ->capture_default_str()
        ->check(CLI::Range(1, 3600));
    app.add_option("--write-timeout", http.writeTimeoutSeconds,
                   "seconds one write of an answer may wait before the connection is dropped")
        ->capture_default_str()
        ->check(CLI::Range(1, 3600));
    app.add_option("--keep-alive-timeout", http.keepAliveTimeoutSeconds,
                   "seconds an idle kept-alive connection stays open")
        ->capture_default_str()
        ->check(CLI::Range(0, 3600));
    app.add_option("--keep-alive-requests", http.keepAliveMaxRequests,
                   "requests served on one connection before it is closed")
        ->capture_default_str()
        ->check(CLI::Range(size_t{1}, size_t{100000}));
    app.add_option("--workers", http.workerThreads, "connections served at the same time")
        ->capture_default_str()
        ->check(CLI::Range(size_t{1}, size_t{256}));
    app.add_option("--max-queued", http.maxQueuedConnections,
                   "accepted connections waiting for a worker; beyond it the kernel backlog waits")
        ->capture_default_str()
        ->check(CLI::Range(size_t{1}, size_t{10000}));
    app.add_option("--max-headers", http.maxHeaderCount,
                   "header lines a request may have (more: 431)")
        ->capture_default_str()
        ->check(CLI::Range(size_t{8}, size_t{1000}));
    app.add_flag("--log-requests", http.logRequests,
                 "write one line per request to standard error");
    app.add_option("--schema", schemaFile, "class schema: VLK_Schema.mof")
        ->capture_default_str()
        ->check(CLI::ExistingFile);
    app.add_option("--provider", providerLibrary, "provider library to load")
        ->capture_default_str()
        ->check(CLI::ExistingFile);
    app.add_option("--home", homeDir,
                   "bin directory of velkcore and the modules (exported as VELKOR_HOME)")
        ->capture_default_str()
        ->check(CLI::ExistingDirectory);
    app.add_option("--host-name", hostName, "Name of the served CIM_UnitaryComputerSystem")
        ->capture_default_str();
    app.add_option("--namespace", nameSpace, "CIM namespace served")->capture_default_str();
}

void ServerOptions::finish(const CLI::App& app) {
    if (http.tls() && app.count("--port") == 0 && http.port == kHttpPort) {
        http.port = kHttpsPort;
    }
}

}  // namespace velk::cimserver
