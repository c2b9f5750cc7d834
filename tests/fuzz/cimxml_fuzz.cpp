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
#include "RawCimRequest.h"
#include "fuzz-text.h"

using namespace velk::cimserver;

namespace {

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
        reader.read(ParseRawCimRequest(std::string(reinterpret_cast<const char*>(data), size)),
                    request);
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
