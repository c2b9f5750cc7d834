#include "client_registry.h"

#include <sys/stat.h>

#include <utility>

#include "client-fifo-access.h"
#include "process_watch.h"
#include "wire_message.h"

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

namespace {

std::string DirectoryOf(const std::string& path) {
    std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

ClientAdmission::ClientAdmission(const std::string& brokerFifo)
    : pipeDirectory_(DirectoryOf(brokerFifo)) {
    struct stat status {};
    if (stat(pipeDirectory_.c_str(), &status) == 0) {
        directoryDevice_ = status.st_dev;
        directoryInode_ = status.st_ino;
    }
    if (stat(brokerFifo.c_str(), &status) == 0) {
        brokerFifoDevice_ = status.st_dev;
        brokerFifoInode_ = status.st_ino;
    }
}

std::string ClientAdmission::ClientFifoPath(std::uint32_t pid) const {
    return pipeDirectory_ + "/" VELK_CLIENT_FIFO_PREFIX + std::to_string(pid);
}

// The same directory however it is spelt (relative, with "//" or "/./").
bool ClientAdmission::InPipeDirectory(const std::string& path) const {
    struct stat status {};
    return stat(DirectoryOf(path).c_str(), &status) == 0 && status.st_dev == directoryDevice_ &&
           status.st_ino == directoryInode_;
}

PipeDescriptor ClientAdmission::OpenClientFifo(const StartupRequest& request,
                                               std::string* why) const {
    std::string expectedName = VELK_CLIENT_FIFO_PREFIX + std::to_string(request.pid);
    if (NameOf(request.readFifo) != expectedName || !InPipeDirectory(request.readFifo)) {
        *why = "READ " + request.readFifo + " is not the pipe directory's " + expectedName;
        return {};
    }
    // The owner of /proc/PID is the process's effective user.
    struct stat process {};
    std::string procPath = "/proc/" + std::to_string(request.pid);
    if (stat(procPath.c_str(), &process) != 0 || ProcessHasEnded(static_cast<pid_t>(request.pid))) {
        *why = "no process " + std::to_string(request.pid) + " is running";
        return {};
    }
    // Opened under our own spelling of the directory: the checks above hold
    // for what we open, not only for the text we were sent.
    PipeDescriptor writer = PipeDescriptor::Open(ClientFifoPath(request.pid), true);
    if (!writer.IsOpen()) {
        *why = "cannot open " + ClientFifoPath(request.pid) + " (no FIFO, or nobody reads it)";
        return {};
    }
    struct stat fifo {};
    if (fstat(writer.Get(), &fifo) != 0 ||
        (fifo.st_dev == brokerFifoDevice_ && fifo.st_ino == brokerFifoInode_)) {
        *why = "READ names the broker's own FIFO";
        return {};
    }
    if (fifo.st_uid != process.st_uid) {
        *why = "the FIFO's owner is not the user of process " + std::to_string(request.pid);
        return {};
    }
    return writer;
}

std::string ClientRefusal(std::string_view reason) {
    std::string text = "<NAK>";
    text += reason;
    text += "</NAK>";
    text += kMessageEnd;
    return text;
}

}  // namespace velk::engine
