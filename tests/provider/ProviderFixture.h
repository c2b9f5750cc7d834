// A provider loaded from its shared library into a private bin directory
// (VELKOR_HOME) whose velklog.props logs every category at DEBUG into a file
// the test can read.
#ifndef VELK_TESTS_PROVIDER_FIXTURE_H
#define VELK_TESTS_PROVIDER_FIXTURE_H

#include <gtest/gtest.h>

#include <memory>
#include <optional>
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

    // Makes the bin directory an engine's: velkcore and the test module (with
    // a device of every class), and a private pipe directory in VELK_TMP.
    // TearDown then checks that no engine and no FIFO is left.
    void installEngine();
    // Adds a CIM_UnitaryComputerSystem named name to the host's instances.
    void addComputerSystem(const char* name = "testsystem");
    // Everything an engine-backed test needs: engine, one computer system,
    // log, provider initialized.
    void startEngineBackedProvider();

    Pegasus::CIMObjectPath classPath(const char* className, const char* host = "testhost",
                                     const char* nameSpace = "root/korva") const;

    std::string homeDir;
    std::string pipeDir;
    std::string logPath() const { return homeDir + "/provider.log"; }
    std::unique_ptr<velk::cimserver::ProviderLibrary> library;
    std::shared_ptr<velk::cimserver::InstanceRepository> repository;
    Pegasus::CIMProvider* provider = nullptr;
    Pegasus::CIMInstanceProvider* instances = nullptr;
    Pegasus::CIMMethodProvider* methods = nullptr;
};

#endif
