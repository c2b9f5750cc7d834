// The CIM server's operation layer over the real provider, the real engine
// and the test module (see ProviderFixture), with a request helper that
// builds the HTTP side of a CIM-XML exchange from a raw request text.
#ifndef VELK_TESTS_CIMSERVER_FIXTURE_H
#define VELK_TESTS_CIMSERVER_FIXTURE_H

#include <memory>
#include <string>

#include "CimOperationHandler.h"
#include "RawCimRequest.h"
#include "ProviderFixture.h"

class CimServerFixture : public ProviderFixture {
  protected:
    static constexpr const char* HOST_NAME = "testsystem";

    void SetUp() override {
        ProviderFixture::SetUp();
        installEngine();
        writeLogConfiguration();
        velk::cimserver::CimObjectManager::Options options;
        options.schemaFile = std::string(VELK_SCHEMA_DIR) + "/VLK_Schema.mof";
        options.providerLibrary = VELK_PROVIDER_LIBRARY;
        options.hostName = HOST_NAME;
        manager = std::make_unique<velk::cimserver::CimObjectManager>(options);
        handler = std::make_unique<velk::cimserver::CimOperationHandler>(*manager);
    }

    void TearDown() override {
        handler.reset();
        manager.reset();
        ProviderFixture::TearDown();
    }

    velk::cimserver::CimHttpResponse send(const std::string& rawRequest) {
        return handler->handle(ParseRawCimRequest(rawRequest));
    }

    std::unique_ptr<velk::cimserver::CimObjectManager> manager;
    std::unique_ptr<velk::cimserver::CimOperationHandler> handler;
};

#endif
