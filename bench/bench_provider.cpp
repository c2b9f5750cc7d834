#include "bench_provider.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMProperty.h>

#include "CollectingHandlers.h"

using namespace Pegasus;

namespace {

void addComputerSystem(velk::cimserver::InstanceRepository& repository) {
    Array<CIMKeyBinding> keys;
    keys.append(CIMKeyBinding(CIMName("CreationClassName"), String("CIM_UnitaryComputerSystem"),
                              CIMKeyBinding::STRING));
    keys.append(CIMKeyBinding(CIMName("Name"), String("benchsystem"), CIMKeyBinding::STRING));
    CIMInstance system{CIMName("CIM_UnitaryComputerSystem")};
    system.addProperty(
        CIMProperty(CIMName("CreationClassName"), CIMValue(String("CIM_UnitaryComputerSystem"))));
    system.addProperty(CIMProperty(CIMName("Name"), CIMValue(String("benchsystem"))));
    repository.add(
        CIMObjectPath(String(), CIMNamespaceName(), CIMName("CIM_UnitaryComputerSystem"), keys),
        system);
}

}  // namespace

BenchProvider::BenchProvider(const std::function<std::string(std::string)>& editDefinitions) {
    char pattern[] = "/tmp/velk-provider-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        throw std::runtime_error("no temporary directory");
    }
    root = pattern;
    std::string bin = root + "/bin";
    std::string pipes = root + "/pipes";
    mkdir(bin.c_str(), 0700);
    mkdir(pipes.c_str(), 0700);
    std::filesystem::create_symlink(VELK_CORE_PATH, bin + "/velkcore");
    for (const char* suffix : {".linux", ".nls"}) {
        std::filesystem::create_symlink(std::string(VELK_TESTMODULE_DIR) + "/velktest" + suffix,
                                        bin + "/velktest" + suffix);
    }
    std::ifstream in(std::string(VELK_TESTMODULE_DIR) + "/velktest.vkm");
    std::stringstream definitions;
    definitions << in.rdbuf();
    std::ofstream(bin + "/velktest.vkm") << editDefinitions(definitions.str());
    std::ofstream(bin + "/velklog.props") << "log4cpp.rootCategory=ERROR, file\n"
                                             "log4cpp.appender.file=FileAppender\n"
                                             "log4cpp.appender.file.fileName="
                                          << root << "/provider.log\n"
                                          << "log4cpp.appender.file.layout=BasicLayout\n";
    setenv("VELKOR_HOME", bin.c_str(), 1);
    setenv("VELK_TMP", pipes.c_str(), 1);

    library = std::make_unique<velk::cimserver::ProviderLibrary>(VELK_PROVIDER_LIBRARY);
    repository = std::make_shared<velk::cimserver::InstanceRepository>();
    addComputerSystem(*repository);
    provider = library->createProvider("VLK_DiagProvider");
    instances = dynamic_cast<CIMInstanceProvider*>(provider);
    methods = dynamic_cast<CIMMethodProvider*>(provider);
    CIMOMHandle cimom(repository);
    provider->initialize(cimom);
}

BenchProvider::~BenchProvider() {
    if (provider != nullptr) {
        provider->terminate();
    }
    library.reset();
    std::filesystem::remove_all(root);
}

CIMObjectPath BenchProvider::classPath(const char* className) {
    return CIMObjectPath(String("benchhost"), CIMNamespaceName("root/korva"), CIMName(className));
}

Uint32 BenchProvider::enumerate(const char* className) {
    velk::cimserver::CollectingInstanceHandler handler;
    instances->enumerateInstances(OperationContext(), classPath(className), false, false,
                                  CIMPropertyList(), handler);
    return handler.instances().size();
}
