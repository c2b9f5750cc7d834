// Reads a CIM-XML operation request (DSP0200/DSP0201 SIMPLEREQ) with its
// HTTP headers into a CimRequest, checking everything it can without a
// provider: well-formed XML, the envelope and its versions, the CIMMethod and
// CIMObject headers against the body, the namespace, the class names and
// method signatures against the class schema, and the parameter types.
#ifndef VELK_CIMSERVER_CIM_XML_READER_H
#define VELK_CIMSERVER_CIM_XML_READER_H

#include <stdexcept>
#include <string>

#include "ClassSchema.h"
#include "CimHttp.h"
#include "CimRequest.h"

namespace velk::cimserver {

// A request refused at the HTTP level: the status (400, 501) and the value of
// the CIMError header ("request-not-well-formed", "header-mismatch", ...).
struct CimProtocolError : std::runtime_error {
    CimProtocolError(int status, std::string cimError, const std::string& what);
    int status;
    std::string cimError;
};

class CimXmlReader {
  public:
    CimXmlReader(const ClassSchema& schema, std::string nameSpace);

    // Fills request from http. Throws CimProtocolError for what the HTTP
    // layer answers, and Pegasus::CIMException (with its CIM status code) for
    // what the response body answers; in that case request already holds the
    // message id, the method name and whether it is intrinsic.
    void read(const CimHttpRequest& http, CimRequest& request) const;

  private:
    const ClassSchema& _schema;
    std::string _nameSpace;
};

// "root%2Fkorva" -> "root/korva"; nullopt-like failure as an empty result
// with ok set false.
std::string percentDecode(const std::string& text, bool& ok);

}  // namespace velk::cimserver

#endif
