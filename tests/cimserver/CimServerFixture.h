// The CIM server's operation layer over the real provider, the real engine
// and the test module (see ProviderFixture), with a request helper that
// builds the HTTP side of a CIM-XML exchange from a raw request text.
#ifndef VELK_TESTS_CIMSERVER_FIXTURE_H
#define VELK_TESTS_CIMSERVER_FIXTURE_H

#include <memory>
#include <string>

#include "CimOperationHandler.h"
#include "ProviderFixture.h"

// Splits "Header: value" lines, a blank line and a body (as on the wire,
// CRLF or LF) into the request fields the operation handler reads. A first
// line that is no header (a request line such as "POST /cimom HTTP/1.1") is
// skipped.
inline velk::cimserver::CimHttpRequest ParseRawCimRequest(const std::string& text) {
    velk::cimserver::CimHttpRequest request;
    size_t position = 0;
    bool first = true;
    while (position < text.size()) {
        size_t end = text.find('\n', position);
        std::string line = text.substr(position, end == std::string::npos ? end : end - position);
        position = end == std::string::npos ? text.size() : end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            break;
        }
        size_t colon = line.find(':');
        if (colon == std::string::npos || (first && line.find(' ') < colon)) {
            first = false;
            continue;
        }
        first = false;
        std::string name = line.substr(0, colon);
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        if (name == "CIMOperation") {
            request.cimOperation = value;
        } else if (name == "CIMMethod") {
            request.cimMethod = value;
        } else if (name == "CIMObject") {
            request.cimObject = value;
        } else if (name == "Content-Type") {
            request.contentType = value;
        }
    }
    request.body = text.substr(std::min(position, text.size()));
    return request;
}

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
