// One CIM-XML exchange as the network layer sees it: the request headers the
// operation layer checks and the body, and the answer to send back.
#ifndef VELK_CIMSERVER_CIM_HTTP_H
#define VELK_CIMSERVER_CIM_HTTP_H

#include <string>
#include <utility>
#include <vector>

namespace velk::cimserver {

// One HTTP request as the network layer hands it over.
struct CimHttpRequest {
    std::string cimOperation;  // header CIMOperation ("MethodCall")
    std::string cimMethod;     // header CIMMethod
    std::string cimObject;     // header CIMObject, still %-encoded
    std::string contentType;   // header Content-Type
    std::string body;
    std::string user;  // authenticated user name, empty without authentication
};

struct CimHttpResponse {
    int status = 200;
    // Content-Type, CIMOperation, CIMError, ...; not Content-Length
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
};

}  // namespace velk::cimserver

#endif
