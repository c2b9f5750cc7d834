#include "CimHttpServer.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <strings.h>

#include <cstdio>
#include <limits>
#include <stdexcept>

#include <httplib.h>
#include <openssl/ssl.h>

#include "BasicCredentials.h"
#include "WorkerPool.h"

namespace velk::cimserver {

namespace {

constexpr const char* kRealm = "Basic realm=\"velk\"";

bool allDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// Content-Length as the request states it: nothing when absent, -1 when the
// values are malformed or disagree.
std::optional<long long> statedLength(const httplib::Request& request) {
    size_t count = request.get_header_value_count("Content-Length");
    if (count == 0) {
        return std::nullopt;
    }
    std::string first = request.get_header_value("Content-Length", 0);
    for (size_t i = 0; i < count; i++) {
        std::string value = request.get_header_value("Content-Length", i);
        if (!allDigits(value) || value != first) {
            return -1;
        }
    }
    size_t significant = first.find_first_not_of('0');
    if (significant == std::string::npos) {
        return 0;
    }
    if (first.size() - significant > 18) {
        return std::numeric_limits<long long>::max();
    }
    return std::stoll(first);
}

// The HTTP library (0.11) keeps a connection open after any answer the
// request does not ask to close, and would read the unread body of a refused
// request as the next request. Shutting the reading side of the connection's
// socket once the answer is written makes it close the connection. The
// socket is the TLS session's, or the one whose two ends are the request's.
void endConnectionAfterAnswer(const httplib::Request& request) {
    if (request.ssl != nullptr) {
        shutdown(SSL_get_fd(request.ssl), SHUT_RD);
        return;
    }
    DIR* directory = opendir("/proc/self/fd");
    if (directory == nullptr) {
        return;
    }
    while (dirent* entry = readdir(directory)) {
        int fd = atoi(entry->d_name);
        sockaddr_storage local{};
        sockaddr_storage peer{};
        socklen_t localLength = sizeof(local);
        socklen_t peerLength = sizeof(peer);
        if (fd <= 2 || getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0 ||
            getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0) {
            continue;
        }
        char peerAddress[INET6_ADDRSTRLEN] = {0};
        int localPort = 0;
        int peerPort = 0;
        if (peer.ss_family == AF_INET) {
            auto* in = reinterpret_cast<sockaddr_in*>(&peer);
            inet_ntop(AF_INET, &in->sin_addr, peerAddress, sizeof(peerAddress));
            peerPort = ntohs(in->sin_port);
            localPort = ntohs(reinterpret_cast<sockaddr_in*>(&local)->sin_port);
        } else if (peer.ss_family == AF_INET6) {
            auto* in6 = reinterpret_cast<sockaddr_in6*>(&peer);
            inet_ntop(AF_INET6, &in6->sin6_addr, peerAddress, sizeof(peerAddress));
            peerPort = ntohs(in6->sin6_port);
            localPort = ntohs(reinterpret_cast<sockaddr_in6*>(&local)->sin6_port);
        }
        if (peerPort == request.remote_port && localPort == request.local_port &&
            request.remote_addr == peerAddress) {
            shutdown(fd, SHUT_RD);
            break;
        }
    }
    closedir(directory);
}

void setPlainAnswer(httplib::Response& response, int status, const std::string& text) {
    response.status = status;
    response.set_content(text + "\n", "text/plain; charset=utf-8");
}

// The HTTP library hands header values over %-decoded; the operation handler
// decodes CIMObject itself. Encoding each '%' again gives it a text that
// decodes to the same value as the header sent.
std::string percentEncodedAgain(const std::string& decoded) {
    std::string encoded;
    for (char c : decoded) {
        encoded += c == '%' ? std::string("%25") : std::string(1, c);
    }
    return encoded;
}

std::unique_ptr<httplib::Server> makeServer(const HttpServerSettings& settings) {
    if (!settings.tls()) {
        return std::make_unique<httplib::Server>();
    }
    if (settings.certificateFile.empty() || settings.privateKeyFile.empty()) {
        throw std::runtime_error("HTTPS needs both a certificate file and a private key file");
    }
    auto server = std::make_unique<httplib::SSLServer>(settings.certificateFile.c_str(),
                                                       settings.privateKeyFile.c_str());
    if (!server->is_valid()) {
        throw std::runtime_error("cannot use the certificate " + settings.certificateFile +
                                 " with the key " + settings.privateKeyFile);
    }
    SSL_CTX_set_min_proto_version(server->ssl_context(), TLS1_2_VERSION);
    return server;
}

}  // namespace

CimHttpServer::CimHttpServer(const HttpServerSettings& settings, CimRequestHandler handler,
                             std::optional<PasswordFile> users)
    : _settings(settings), _handler(std::move(handler)), _users(std::move(users)) {
    _http = makeServer(_settings);
    size_t threads = _settings.workerThreads;
    size_t queued = _settings.maxQueuedConnections;
    _http->new_task_queue = [threads, queued] { return new WorkerPool(threads, queued); };
    _http->set_socket_options([](int socket) {
        httplib::default_socket_options(socket);
        fcntl(socket, F_SETFD, FD_CLOEXEC);
    });
    // Answers go out as header and body writes; without this the body waits
    // for the client's delayed acknowledgement of the header (tens of ms).
    _http->set_tcp_nodelay(true);
    _http->set_read_timeout(_settings.readTimeoutSeconds, 0);
    _http->set_write_timeout(_settings.writeTimeoutSeconds, 0);
    _http->set_keep_alive_timeout(_settings.keepAliveTimeoutSeconds);
    _http->set_keep_alive_max_count(_settings.keepAliveMaxRequests);
    _http->set_payload_max_length(_settings.maxBodyBytes);

    // Checked before the body is read; a refused request ends its connection,
    // since the unread body would otherwise be taken for the next request.
    _http->set_pre_routing_handler(
        [this](const httplib::Request& request, httplib::Response& response) {
            if (refusal(request, response) == 0) {
                return httplib::Server::HandlerResponse::Unhandled;
            }
            response.set_header("Connection", "close");
            return httplib::Server::HandlerResponse::Handled;
        });
    _http->set_expect_100_continue_handler(
        [this](const httplib::Request& request, httplib::Response& response) {
            int status = refusal(request, response);
            if (status != 0) {
                response.set_header("Connection", "close");
            }
            return status == 0 ? 100 : status;
        });
    _http->Post(".*", [this](const httplib::Request& request, httplib::Response& response) {
        answer(request, response);
    });
    _http->set_exception_handler(
        [](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
            setPlainAnswer(response, 500, "Internal Server Error");
        });
    // Every error answer (the library's own for an unparsable request line,
    // a short body, ... included) gets a text, so that none goes out without
    // a body length, and ends its connection.
    _http->set_error_handler(
        httplib::Server::Handler([](const httplib::Request&, httplib::Response& response) {
            if (response.body.empty()) {
                setPlainAnswer(response, response.status,
                               "HTTP error " + std::to_string(response.status));
            }
            response.set_header("Connection", "close");
        }));
    // Runs once an answer is written: the place to end the connection after
    // an error, where what follows on it may be the rest of a broken request.
    bool logRequests = _settings.logRequests;
    _http->set_logger(
        [logRequests](const httplib::Request& request, const httplib::Response& response) {
            if (response.status >= 400) {
                endConnectionAfterAnswer(request);
            }
            if (logRequests) {
                fprintf(stderr, "velk-cimserver: %s %s %s %s -> %d\n", request.remote_addr.c_str(),
                        request.method.c_str(), request.path.c_str(),
                        request.get_header_value("CIMMethod").c_str(), response.status);
            }
        });
}

CimHttpServer::~CimHttpServer() {
    stop();
}

int CimHttpServer::refusal(const httplib::Request& request, httplib::Response& response) const {
    if (request.method != "POST") {
        response.set_header("Allow", "POST");
        setPlainAnswer(response, 405, "Method Not Allowed: CIM operations are sent with POST");
        return 405;
    }
    if (request.headers.size() > _settings.maxHeaderCount) {
        setPlainAnswer(response, 431, "Request Header Fields Too Large");
        return 431;
    }
    std::optional<long long> length = statedLength(request);
    if (request.has_header("Transfer-Encoding") || !length) {
        setPlainAnswer(response, 411, "Length Required: send the body with a Content-Length");
        return 411;
    }
    if (*length < 0) {
        setPlainAnswer(response, 400, "Bad Request: malformed Content-Length");
        return 400;
    }
    if (static_cast<unsigned long long>(*length) > _settings.maxBodyBytes) {
        setPlainAnswer(
            response, 413,
            "Payload Too Large: at most " + std::to_string(_settings.maxBodyBytes) + " bytes");
        return 413;
    }
    if (_users) {
        std::optional<BasicCredentials> credentials =
            BasicCredentials::fromHeader(request.get_header_value("Authorization"));
        if (!credentials || !_users->verify(credentials->user, credentials->password)) {
            response.set_header("WWW-Authenticate", kRealm);
            setPlainAnswer(response, 401, "Unauthorized");
            return 401;
        }
    }
    return 0;
}

void CimHttpServer::answer(const httplib::Request& request, httplib::Response& response) const {
    CimHttpRequest cimRequest;
    cimRequest.cimOperation = request.get_header_value("CIMOperation");
    cimRequest.cimMethod = request.get_header_value("CIMMethod");
    cimRequest.cimObject = percentEncodedAgain(request.get_header_value("CIMObject"));
    cimRequest.contentType = request.get_header_value("Content-Type");
    cimRequest.body = request.body;
    if (_users) {
        std::optional<BasicCredentials> credentials =
            BasicCredentials::fromHeader(request.get_header_value("Authorization"));
        cimRequest.user = credentials ? credentials->user : "";
    }
    CimHttpResponse cimResponse = _handler(cimRequest);
    response.status = cimResponse.status;
    std::string contentType = "text/plain; charset=utf-8";
    for (const auto& [name, value] : cimResponse.headers) {
        if (strcasecmp(name.c_str(), "Content-Type") == 0) {
            contentType = value;
        } else if (strcasecmp(name.c_str(), "Content-Length") != 0) {
            response.set_header(name, value);
        }
    }
    response.set_content(cimResponse.body, contentType);
}

int CimHttpServer::bind() {
    if (_settings.port == 0) {
        _port = _http->bind_to_any_port(_settings.address);
    } else if (_http->bind_to_port(_settings.address, _settings.port)) {
        _port = _settings.port;
    }
    if (_port <= 0) {
        throw std::runtime_error("cannot listen on " + _settings.address + ":" +
                                 std::to_string(_settings.port));
    }
    return _port;
}

bool CimHttpServer::serve() {
    return _http->listen_after_bind();
}

void CimHttpServer::stop() {
    if (_http) {
        _http->stop();
    }
}

}  // namespace velk::cimserver
