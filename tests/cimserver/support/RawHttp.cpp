#include "RawHttp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

namespace velk::testsupport {

std::string RawAnswer::header(const std::string& name) const {
    size_t lineStart = head.find("\r\n");
    while (lineStart != std::string::npos) {
        lineStart += 2;
        size_t lineEnd = head.find("\r\n", lineStart);
        std::string line = head.substr(lineStart, lineEnd - lineStart);
        size_t colon = line.find(':');
        if (colon == name.size() && strncasecmp(line.c_str(), name.c_str(), colon) == 0) {
            size_t value = line.find_first_not_of(' ', colon + 1);
            return value == std::string::npos ? "" : line.substr(value);
        }
        lineStart = lineEnd;
    }
    return "";
}

RawHttpConnection::RawHttpConnection(int port) {
    _fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (_fd >= 0 && connect(_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        close(_fd);
        _fd = -1;
    }
}

RawHttpConnection::~RawHttpConnection() {
    if (_fd >= 0) {
        close(_fd);
    }
}

bool RawHttpConnection::send(const std::string& bytes) {
    size_t sent = 0;
    while (_fd >= 0 && sent < bytes.size()) {
        ssize_t n = ::send(_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return _fd >= 0;
}

bool RawHttpConnection::fill(int timeoutMs) {
    pollfd descriptor{_fd, POLLIN, 0};
    if (_fd < 0 || poll(&descriptor, 1, timeoutMs) <= 0) {
        return false;
    }
    char chunk[4096];
    ssize_t n = recv(_fd, chunk, sizeof(chunk), 0);
    if (n <= 0) {
        return false;
    }
    _buffer.append(chunk, static_cast<size_t>(n));
    return true;
}

std::optional<RawAnswer> RawHttpConnection::receive(int timeoutMs) {
    size_t headEnd;
    while ((headEnd = _buffer.find("\r\n\r\n")) == std::string::npos) {
        if (!fill(timeoutMs)) {
            return std::nullopt;
        }
    }
    RawAnswer answer;
    answer.head = _buffer.substr(0, headEnd);
    answer.status = atoi(answer.head.substr(answer.head.find(' ') + 1).c_str());
    _buffer.erase(0, headEnd + 4);
    std::string length = answer.header("Content-Length");
    size_t bodyLength = length.empty() ? 0 : std::stoul(length);
    while (_buffer.size() < bodyLength) {
        if (!fill(timeoutMs)) {
            return std::nullopt;
        }
    }
    answer.body = _buffer.substr(0, bodyLength);
    _buffer.erase(0, bodyLength);
    return answer;
}

bool RawHttpConnection::closedByServer(int timeoutMs) {
    pollfd descriptor{_fd, POLLIN, 0};
    if (_fd < 0 || poll(&descriptor, 1, timeoutMs) <= 0) {
        return false;
    }
    char byte;
    return recv(_fd, &byte, 1, 0) <= 0;
}

std::string CimPost(const std::string& body, const std::string& extraHeaders,
                    const std::string& method) {
    return "POST /cimom HTTP/1.1\r\n"
           "Host: localhost\r\n"
           "Content-Type: application/xml; charset=\"utf-8\"\r\n"
           "CIMProtocolVersion: 1.0\r\n"
           "CIMOperation: MethodCall\r\n"
           "CIMMethod: " +
           method +
           "\r\n"
           "CIMObject: root%2Fkorva\r\n" +
           extraHeaders + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

}  // namespace velk::testsupport
