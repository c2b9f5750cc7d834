#include "ProviderFixture.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

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
    std::filesystem::remove_all(homeDir);
}

void ProviderFixture::writeFile(const std::string& name, const std::string& content) {
    std::ofstream out(homeDir + "/" + name);
    out << content;
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
    std::ifstream in(logPath());
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
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
