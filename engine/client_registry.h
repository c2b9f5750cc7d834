// The clients connected to the broker, by process id, each with the FIFO the
// broker writes its messages into, and the rules a startup message must meet
// before the broker writes anything into the FIFO it names.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "pipe_descriptor.h"

namespace velk::engine {

struct StartupRequest;

struct ConnectedClient {
    std::uint32_t pid = 0;
    std::string name;
    std::string clientClass;
    PipeDescriptor writer;
};

class ClientRegistry {
  public:
    // Adds the client, replacing (and closing) an earlier one of that pid.
    void Add(ConnectedClient client);
    ConnectedClient* Find(std::uint32_t pid);
    // Removes and closes; false when the pid was not connected.
    bool Remove(std::uint32_t pid);
    std::vector<std::uint32_t> Pids() const;
    std::size_t Size() const { return clients_.size(); }
    void Clear() { clients_.clear(); }

  private:
    std::map<std::uint32_t, ConnectedClient> clients_;
};

// Whoever can write the broker FIFO can send a startup message, and both its
// READ (the FIFO the broker is to write into) and its PID are the sender's
// word.  The broker therefore opens only the pipe directory's "VELK_" + PID,
// only while that process lives, only a FIFO owned by that process's user,
// and never its own FIFO (under any name).
class ClientAdmission {
  public:
    // The broker FIFO at brokerFifo; the pipe directory is its directory.
    explicit ClientAdmission(const std::string& brokerFifo);

    // The client FIFO of request opened for writing; an empty holder, with
    // the reason in *why, when request breaks a rule above.
    PipeDescriptor OpenClientFifo(const StartupRequest& request, std::string* why) const;

    // The pipe directory's FIFO name of client pid.
    std::string ClientFifoPath(std::uint32_t pid) const;

  private:
    bool InPipeDirectory(const std::string& path) const;

    std::string pipeDirectory_;
    dev_t directoryDevice_ = 0;
    ino_t directoryInode_ = 0;
    dev_t brokerFifoDevice_ = 0;
    ino_t brokerFifoInode_ = 0;
};

// What a refused client reads instead of an acknowledgement:
// "<NAK>" reason "</NAK>" CR LF.  Clients take any answer other than an
// acknowledgement as a refusal.
std::string ClientRefusal(std::string_view reason);
inline constexpr std::string_view kRefusedTooManyClients = "TOO_MANY_CLIENTS";
inline constexpr std::string_view kRefusedAlreadyConnected = "ALREADY_CONNECTED";

}  // namespace velk::engine
