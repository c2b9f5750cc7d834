#include "client_registry.h"

#include <utility>

namespace velk::engine {

void ClientRegistry::Add(ConnectedClient client) {
    std::uint32_t pid = client.pid;
    clients_.erase(pid);
    clients_.emplace(pid, std::move(client));
}

ConnectedClient* ClientRegistry::Find(std::uint32_t pid) {
    auto found = clients_.find(pid);
    return found == clients_.end() ? nullptr : &found->second;
}

bool ClientRegistry::Remove(std::uint32_t pid) {
    return clients_.erase(pid) > 0;
}

std::vector<std::uint32_t> ClientRegistry::Pids() const {
    std::vector<std::uint32_t> pids;
    pids.reserve(clients_.size());
    for (const auto& entry : clients_) {
        pids.push_back(entry.first);
    }
    return pids;
}

}  // namespace velk::engine
