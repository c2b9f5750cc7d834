// Stand-in for cimserver/cimxml/CimHttp.h while the CIM-XML layer is not in
// this tree: the request and response the network layer exchanges with the
// operation handler, exactly as that header declares them.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace velk::cimserver {

struct CimHttpRequest {
    std::string cimOperation;
    std::string cimMethod;
    std::string cimObject;
    std::string contentType;
    std::string body;
    std::string user;
};

struct CimHttpResponse {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
};

}  // namespace velk::cimserver
