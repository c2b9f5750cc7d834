// velk-provider-host: loads the diagnostics provider library as a CIM server
// does, initializes it, serves an enumeration of each class named on the
// command line (or of every class the provider publishes) and prints what the
// provider delivered.
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <Pegasus/Common/OperationContext.h>
#include <Pegasus/Provider/CIMInstanceProvider.h>

#include "CollectingHandlers.h"
#include "InstanceRepository.h"
#include "ProviderLibrary.h"

using namespace Pegasus;
using velk::cimserver::CollectingInstanceHandler;
using velk::cimserver::CollectingPathHandler;
using velk::cimserver::InstanceRepository;
using velk::cimserver::ProviderLibrary;

namespace {

const std::vector<std::string> PUBLISHED_CLASSES = {
    "VLK_DiskDrive",        "VLK_OpticalDrive",      "VLK_Processor",
    "VLK_DisketteDrive",    "VLK_SerialPort",        "VLK_ParallelPort",
    "VLK_DiagTest",         "VLK_DiagResult",        "VLK_DiagTestForMSE",
    "VLK_DiagResultForMSE", "VLK_DiagResultForTest", "VLK_DiagTestSoftwareAssoc"};

std::string localHostName() {
    char name[256] = {0};
    if (gethostname(name, sizeof(name) - 1) != 0 || name[0] == '\0') {
        return "localhost";
    }
    return name;
}

// Terminates the provider (which deletes itself) when the host is done.
struct TerminateOnExit {
    CIMProvider* provider;
    ~TerminateOnExit() {
        if (provider != nullptr) {
            provider->terminate();
        }
    }
};

int enumerateClass(CIMInstanceProvider& provider, const std::string& host,
                   const std::string& nameSpace, const std::string& className) {
    CIMObjectPath reference(String(host.c_str()), CIMNamespaceName(String(nameSpace.c_str())),
                            CIMName(String(className.c_str())));
    try {
        CollectingPathHandler names;
        provider.enumerateInstanceNames(OperationContext(), reference, names);
        CollectingInstanceHandler instances;
        provider.enumerateInstances(OperationContext(), reference, false, false, CIMPropertyList(),
                                    instances);
        std::cout << className << ": " << names.paths().size() << " instance names, "
                  << instances.instances().size() << " instances\n";
        for (Uint32 i = 0; i < names.paths().size(); i++) {
            std::cout << "  " << names.paths()[i].toString() << "\n";
        }
        return 0;
    } catch (const Exception& e) {
        std::cout << className << ": failed: " << e.getMessage() << "\n";
        return 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "Loads the diagnostics CIM provider as a CIM server does and enumerates its classes"};
    std::string library = VELK_DEFAULT_PROVIDER_LIBRARY;
    std::string providerName = "VLK_DiagProvider";
    std::string nameSpace = "root/korva";
    std::string host = localHostName();
    std::vector<std::string> classes;
    app.add_option("-l,--library", library, "provider library to load")->capture_default_str();
    app.add_option("-p,--provider", providerName, "provider name")->capture_default_str();
    app.add_option("-n,--namespace", nameSpace, "CIM namespace")->capture_default_str();
    app.add_option("--host", host, "host name carried by the requests")->capture_default_str();
    app.add_option("classes", classes, "classes to enumerate (default: every published class)");
    CLI11_PARSE(app, argc, argv);
    if (classes.empty()) {
        classes = PUBLISHED_CLASSES;
    }

    try {
        ProviderLibrary providerLibrary(library);
        CIMProvider* created = providerLibrary.createProvider(providerName);
        if (created == nullptr) {
            std::cerr << "velk-provider-host: " << library << " has no provider named "
                      << providerName << "\n";
            return 1;
        }
        TerminateOnExit guard{created};
        auto repository = std::make_shared<InstanceRepository>();
        repository->addComputerSystem(host);
        CIMOMHandle cimom(repository);
        created->initialize(cimom);
        std::cout << "Provider " << providerName << " from " << library << " initialized\n";

        auto* instanceProvider = dynamic_cast<CIMInstanceProvider*>(created);
        if (instanceProvider == nullptr) {
            std::cerr << "velk-provider-host: " << providerName << " is no instance provider\n";
            return 1;
        }
        int failures = 0;
        for (const std::string& className : classes) {
            failures += enumerateClass(*instanceProvider, host, nameSpace, className);
        }
        return failures == 0 ? 0 : 1;
    } catch (const Exception& e) {
        std::cerr << "velk-provider-host: " << e.getMessage() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "velk-provider-host: " << e.what() << "\n";
        return 1;
    }
}
