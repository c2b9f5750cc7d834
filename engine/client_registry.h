// The clients connected to the broker, by process id, each with the FIFO the
// broker writes its messages into.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "pipe_descriptor.h"

namespace velk::engine {

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

}  // namespace velk::engine
