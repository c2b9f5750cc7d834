// A provider loaded from its shared library into a private bin directory
// (VELKOR_HOME) whose velklog.props logs every category at DEBUG into a file
// the test can read.
#ifndef VELK_TESTS_PROVIDER_FIXTURE_H
#define VELK_TESTS_PROVIDER_FIXTURE_H

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <Pegasus/Provider/CIMInstanceProvider.h>
#include <Pegasus/Provider/CIMMethodProvider.h>

#include "InstanceRepository.h"
#include "ProviderLibrary.h"

class ProviderFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Writes velklog.props into the bin directory (valid: logs to logPath()).
    void writeLogConfiguration();
    void writeFile(const std::string& name, const std::string& content);
    // Creates and initializes the provider; initialization errors propagate.
    void createAndInitialize();
    // Terminates the provider (it deletes itself).
    void terminate();
    std::string logText() const;

    Pegasus::CIMObjectPath classPath(const char* className, const char* host = "testhost",
                                     const char* nameSpace = "root/korva") const;

    std::string homeDir;
    std::string logPath() const { return homeDir + "/provider.log"; }
    std::unique_ptr<velk::cimserver::ProviderLibrary> library;
    std::shared_ptr<velk::cimserver::InstanceRepository> repository;
    Pegasus::CIMProvider* provider = nullptr;
    Pegasus::CIMInstanceProvider* instances = nullptr;
    Pegasus::CIMMethodProvider* methods = nullptr;
};

#endif
