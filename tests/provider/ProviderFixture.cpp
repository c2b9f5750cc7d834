#include "ProviderFixture.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMProperty.h>

#include "TestDirectory.h"
#include "TestProcess.h"

using namespace Pegasus;

void ProviderFixture::SetUp() {
    char pattern[] = "/tmp/velk-provider-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    homeDir = pattern;
    setenv("VELKOR_HOME", homeDir.c_str(), 1);
    library = std::make_unique<velk::cimserver::ProviderLibrary>(VELK_PROVIDER_LIBRARY);
    repository = std::make_shared<velk::cimserver::InstanceRepository>();
}

void ProviderFixture::TearDown() {
    terminate();
    library.reset();
    unsetenv("VELKOR_HOME");
    if (!pipeDir.empty()) {
        for (pid_t stray : velk::testsupport::ChildrenOf(getpid())) {
            std::optional<velk::testsupport::ProcessStat> stat =
                velk::testsupport::ReadProcessStat(stray);
            if (stat && stat->name == "velkcore") {
                ADD_FAILURE() << "velkcore " << stray << " left running";
                velk::testsupport::StopProcess(stray);
            }
        }
        EXPECT_TRUE(velk::testsupport::ListDirectory(pipeDir).empty()) << "FIFO left";
        unsetenv("VELK_TMP");
        unsetenv("VELKTEST_ALL_CLASSES");
        std::filesystem::remove_all(pipeDir);
    }
    std::filesystem::remove_all(homeDir);
}

void ProviderFixture::installEngine() {
    pipeDir = velk::testsupport::MakePrivateDirectory("velk-provider-pipes");
    ASSERT_FALSE(pipeDir.empty());
    setenv("VELK_TMP", pipeDir.c_str(), 1);
    setenv("VELKTEST_ALL_CLASSES", "1", 1);
    std::filesystem::create_symlink(VELK_CORE_PATH, homeDir + "/velkcore");
    for (const auto& entry : std::filesystem::directory_iterator(VELK_TESTMODULE_DIR)) {
        std::filesystem::create_symlink(entry.path(),
                                        homeDir + "/" + entry.path().filename().string());
    }
}

void ProviderFixture::addComputerSystem(const char* name) {
    Array<CIMKeyBinding> keys;
    keys.append(CIMKeyBinding(CIMName("CreationClassName"), String("CIM_UnitaryComputerSystem"),
                              CIMKeyBinding::STRING));
    keys.append(CIMKeyBinding(CIMName("Name"), String(name), CIMKeyBinding::STRING));
    CIMObjectPath path(String(), CIMNamespaceName(), CIMName("CIM_UnitaryComputerSystem"), keys);
    CIMInstance system{CIMName("CIM_UnitaryComputerSystem")};
    system.addProperty(
        CIMProperty(CIMName("CreationClassName"), CIMValue(String("CIM_UnitaryComputerSystem"))));
    system.addProperty(CIMProperty(CIMName("Name"), CIMValue(String(name))));
    repository->add(path, system);
}

void ProviderFixture::startEngineBackedProvider() {
    installEngine();
    addComputerSystem();
    writeLogConfiguration();
    createAndInitialize();
}

void ProviderFixture::writeFile(const std::string& name, const std::string& content) {
    std::ofstream(homeDir + "/" + name) << content;
}

void ProviderFixture::writeLogConfiguration() {
    writeFile("velklog.props",
              "log4cpp.rootCategory=DEBUG, file\n"
              "log4cpp.appender.file=FileAppender\n"
              "log4cpp.appender.file.fileName=" +
                  logPath() +
                  "\n"
                  "log4cpp.appender.file.layout=PatternLayout\n"
                  "log4cpp.appender.file.layout.ConversionPattern=%c %p %m%n\n");
}

void ProviderFixture::createAndInitialize() {
    provider = library->createProvider("VLK_DiagProvider");
    ASSERT_NE(provider, nullptr);
    instances = dynamic_cast<CIMInstanceProvider*>(provider);
    methods = dynamic_cast<CIMMethodProvider*>(provider);
    CIMOMHandle cimom(repository);
    provider->initialize(cimom);
}

void ProviderFixture::terminate() {
    if (provider != nullptr) {
        provider->terminate();
        provider = nullptr;
        instances = nullptr;
        methods = nullptr;
    }
}

std::string ProviderFixture::logText() const {
    return velk::testsupport::ReadFile(logPath());
}

CIMObjectPath ProviderFixture::classPath(const char* className, const char* host,
                                         const char* nameSpace) const {
    CIMObjectPath path;
    path.setClassName(CIMName(className));
    path.setHost(String(host));
    if (nameSpace[0] != '\0') {
        path.setNameSpace(CIMNamespaceName(nameSpace));
    }
    return path;
}
