// Answers one CIM-XML operation request: reads it, runs it against the
// object manager and writes the CIM-XML response.
#ifndef VELK_CIMSERVER_CIM_OPERATION_HANDLER_H
#define VELK_CIMSERVER_CIM_OPERATION_HANDLER_H

#include <string>

#include "CimHttp.h"
#include "CimObjectManager.h"
#include "CimObjectWriter.h"
#include "CimRequest.h"
#include "CimXmlReader.h"

namespace velk::cimserver {

class CimOperationHandler {
  public:
    explicit CimOperationHandler(CimObjectManager& manager);
    // Thread-safe. Never throws: every failure becomes an HTTP error (400
    // with CIMError header for malformed requests, 405/501 for non-CIM
    // operations) or a CIM-XML ERROR element with the right status code.
    CimHttpResponse handle(const CimHttpRequest& request);

  private:
    // The content of IRETURNVALUE, or of METHODRESPONSE for a method call.
    std::string execute(const CimRequest& request);
    std::string classes(const CimRequest& request, bool namesOnly);
    std::string instances(const CimRequest& request, bool namesOnly);
    std::string associations(const CimRequest& request);
    std::string method(const CimRequest& request);

    CimObjectManager& _manager;
    CimXmlReader _reader;
    CimObjectWriter _writer;
};

}  // namespace velk::cimserver

#endif
