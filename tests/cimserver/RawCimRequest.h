// A raw CIM-XML request text (as recorded from the wire) turned into the
// fields the operation handler reads; shared by the tests and the fuzz
// target of the request reader.
#ifndef VELK_TESTS_CIMSERVER_RAW_CIM_REQUEST_H
#define VELK_TESTS_CIMSERVER_RAW_CIM_REQUEST_H

#include <algorithm>
#include <string>

#include "CimHttp.h"

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

#endif
