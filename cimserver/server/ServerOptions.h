// Everything velk-cimserver can be told: the command line, optionally read
// from a configuration file of "option = value" lines (--config).
#ifndef VELK_CIMSERVER_SERVER_OPTIONS_H
#define VELK_CIMSERVER_SERVER_OPTIONS_H

#include <string>

#include "CimHttpServer.h"

namespace CLI {
class App;
}

namespace velk::cimserver {

struct ServerOptions {
    HttpServerSettings http;
    std::string userFile;         // empty: no authentication
    std::string schemaFile;       // VLK_Schema.mof
    std::string providerLibrary;  // libVLK_DiagProvider.so
    std::string homeDir;          // bin directory of the engine and modules (VELKOR_HOME)
    std::string hostName;         // Name of the computer system instance
    std::string nameSpace = "root/korva";

    // Defaults found beside the program in programDir: <programDir>/../lib
    // for the provider, <programDir>/../share/velk/schema for the schema
    // (else the given build-tree paths), VELKOR_HOME or programDir as home.
    static ServerOptions defaults(const std::string& programDir,
                                  const std::string& buildProviderLibrary,
                                  const std::string& sourceSchemaDir);
    // Declares every option on app, writing into this object.
    void declare(CLI::App& app);
    // After parsing: the HTTPS port when TLS is asked for without a port.
    void finish(const CLI::App& app);
};

}  // namespace velk::cimserver

#endif
