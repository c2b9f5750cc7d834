// Fuzzes the CIM-XML request reader: the input is an HTTP header block, a
// blank line and a body, split into the fields the network layer hands over.
// The reader may only refuse (CimProtocolError, CIMException); what it
// accepts, written back as CIM-XML, must be well-formed XML.
#include <cstddef>
#include <cstdint>
#include <string>

#include <pugixml.hpp>
#include <Pegasus/Common/Exception.h>

#include "CimObjectWriter.h"
#include "CimXmlReader.h"
#include "fuzz-text.h"

using namespace velk::cimserver;

namespace {

CimHttpRequest splitRequest(const std::string& text) {
    CimHttpRequest request;
    size_t blank = text.find("\r\n\r\n");
    size_t separator = 4;
    if (blank == std::string::npos || text.find("\n\n") < blank) {
        blank = text.find("\n\n");
        separator = 2;
    }
    std::string headers = text.substr(0, blank);
    request.body = blank == std::string::npos ? "" : text.substr(blank + separator);
    size_t start = 0;
    while (start < headers.size()) {
        size_t end = headers.find('\n', start);
        std::string line = headers.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        start = end == std::string::npos ? headers.size() : end + 1;
        size_t colon = line.find(": ");
        if (colon == std::string::npos) {
            continue;
        }
        std::string name = line.substr(0, colon);
        std::string value = line.substr(colon + 2);
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
    return request;
}

const ClassSchema& schema() {
    static const ClassSchema loaded =
        ClassSchema::load(std::string(VELK_SCHEMA_DIR) + "/VLK_Schema.mof");
    return loaded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const CimXmlReader reader(schema(), "root/korva");
    static const CimObjectWriter writer(schema(), "fuzzhost", "root/korva");
    CimRequest request;
    try {
        reader.read(splitRequest(std::string(reinterpret_cast<const char*>(data), size)), request);
    } catch (const CimProtocolError& e) {
        FUZZ_CHECK(e.status == 400 || e.status == 501);
        return 0;
    } catch (const Pegasus::CIMException&) {
        FUZZ_CHECK(!request.messageId.empty());
        return 0;
    }
    XmlBuilder xml;
    xml.open("OUT");
    writer.instancePath(xml, request.objectName);
    if (!request.instance.isUninitialized()) {
        writer.instance(xml, request.instance, ObjectFilter());
    }
    for (Pegasus::Uint32 i = 0; i < request.inParameters.size(); i++) {
        xml.open("PARAMVALUE");
        writer.value(xml, request.inParameters[i].getValue());
        xml.close("PARAMVALUE");
    }
    xml.close("OUT");
    pugi::xml_document document;
    FUZZ_CHECK(document.load_string(xml.str().c_str()));
    return 0;
}
