// The CIM server's HTTP(S) side: accepts CIM-XML requests over HTTP/1.1
// (POST to any path, keep-alive, "Expect: 100-continue"), enforces the
// limits and the optional Basic authentication, and hands every admitted
// request to the operation handler. Framing faults get their HTTP error
// before the body is read: 405 for other methods, 411 without a
// Content-Length (chunked bodies included), 400 for a malformed one, 413
// above the body limit, 431 for too many header lines, 401 for missing or
// wrong credentials. Every answer carries a Content-Length.
#ifndef VELK_CIMSERVER_CIM_HTTP_SERVER_H
#define VELK_CIMSERVER_CIM_HTTP_SERVER_H

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "CimHttp.h"
#include "PasswordFile.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace velk::cimserver {

struct HttpServerSettings {
    std::string address = "127.0.0.1";
    int port = 5988;                  // 0: any free port (see CimHttpServer::port)
    std::string certificateFile;      // PEM; with privateKeyFile: HTTPS
    std::string privateKeyFile;       // PEM, unencrypted
    size_t maxBodyBytes = 4 << 20;    // larger bodies: 413
    int readTimeoutSeconds = 10;      // one read of a request may wait this long
    int writeTimeoutSeconds = 10;     // one write of an answer may wait this long
    int keepAliveTimeoutSeconds = 5;  // idle time of a kept connection
    size_t keepAliveMaxRequests = 100;
    size_t workerThreads = 8;  // connections served at once
    size_t maxQueuedConnections = 64;
    size_t maxHeaderCount = 64;  // header lines of a request; more: 431
    bool logRequests = false;    // one line per request on standard error

    bool tls() const { return !certificateFile.empty() || !privateKeyFile.empty(); }
};

using CimRequestHandler = std::function<CimHttpResponse(const CimHttpRequest&)>;

class CimHttpServer {
  public:
    // users: the accepted users, or nothing to serve without authentication.
    // Throws std::runtime_error when the certificate or key cannot be used.
    CimHttpServer(const HttpServerSettings& settings, CimRequestHandler handler,
                  std::optional<PasswordFile> users);
    ~CimHttpServer();
    CimHttpServer(const CimHttpServer&) = delete;
    CimHttpServer& operator=(const CimHttpServer&) = delete;

    // Binds the listening socket; throws std::runtime_error naming the
    // address when it cannot. Returns the port (the chosen one for port 0).
    int bind();
    int port() const { return _port; }
    // Serves until stop(); false when the server could not serve at all.
    bool serve();
    // Thread-safe and safe from any thread; serve() returns soon after.
    void stop();

  private:
    // The HTTP status for a request whose headers break a rule, or 0.
    int refusal(const httplib::Request& request, httplib::Response& response) const;
    void answer(const httplib::Request& request, httplib::Response& response) const;

    HttpServerSettings _settings;
    CimRequestHandler _handler;
    std::optional<PasswordFile> _users;
    std::unique_ptr<httplib::Server> _http;
    int _port = -1;
};

}  // namespace velk::cimserver

#endif
