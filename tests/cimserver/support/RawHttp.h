// A plain TCP client for the CIM server's tests: sends bytes as they are
// (malformed framing included) and reads one HTTP answer.
#pragma once

#include <optional>
#include <string>

namespace velk::testsupport {

struct RawAnswer {
    int status = 0;
    std::string head;  // status line and header lines
    std::string body;
    std::string header(const std::string& name) const;  // ignoring case; "" when absent
};

class RawHttpConnection {
  public:
    explicit RawHttpConnection(int port);
    ~RawHttpConnection();
    RawHttpConnection(const RawHttpConnection&) = delete;
    RawHttpConnection& operator=(const RawHttpConnection&) = delete;

    bool connected() const { return _fd >= 0; }
    bool send(const std::string& bytes);
    // One answer (its body read by Content-Length); nothing when the
    // connection ends or stays silent for timeoutMs first.
    std::optional<RawAnswer> receive(int timeoutMs = 20000);
    // True when the server closed the connection (reads end of file) within timeoutMs.
    bool closedByServer(int timeoutMs = 20000);

  private:
    bool fill(int timeoutMs);
    int _fd = -1;
    std::string _buffer;
};

// A POST request to /cimom with the CIM headers wbemcli sends.
std::string CimPost(const std::string& body, const std::string& extraHeaders = "",
                    const std::string& method = "EnumerateInstanceNames");

}  // namespace velk::testsupport
