#include "message_broker.h"

#include <sys/ioctl.h>

#include <cstdlib>
#include <utility>

#include "client-fifo-access.h"
#include "message-protocol.h"
#include "pipe-lowlevel.h"
#include "pipe-pending.h"
#include "process_watch.h"
#include "stop_signal.h"
#include "test-common.h"
#include "tracing.h"
#include "wire_message.h"

namespace velk::engine {
namespace {

// How long queued messages of each client may take to leave at shutdown.
constexpr int kShutdownFlushMs = 200;
// More than this many bytes waiting for one client: it has stopped reading.
// One message of the largest size still fits behind a full FIFO.
constexpr std::size_t kMaxQueuedBytesPerClient = 32u * 1024u * 1024u;
// How long the end of a child whose messages are held back behind another
// writer's unfinished message may wait for them.
constexpr std::uint32_t kHeldMessagesMs = 2000;

std::string Acknowledgement(bool enumerationComplete) {
    char ack[64];
    VelkCreateMessage(ack, sizeof ack, "ACK", enumerationComplete ? "ENUM_COMPLETE" : "",
                      static_cast<const char*>(nullptr));
    return ack;
}

}  // namespace

MessageBroker::MessageBroker(BrokerOptions options, std::unique_ptr<BrokerFifo> fifo)
    : options_(std::move(options)), fifo_(std::move(fifo)), admission_(fifo_->Path()) {}

MessageBroker::~MessageBroker() {
    Shutdown();
}

void MessageBroker::AddComponent(std::unique_ptr<EngineComponent> component) {
    std::string destination(component->Destination());
    components_[destination] = std::move(component);
}

bool MessageBroker::Stopping() const {
    return stopRequested_ || StopSignal::Requested();
}

int MessageBroker::Run() {
    VTRACE(VELK_TRACE_MB, "message broker reading %s\n", fifo_->Path().c_str());
    for (auto& [destination, component] : components_) {
        component->Start(*this);
    }
    std::uint32_t lastTick = VelkMilliSeconds();
    while (!Stopping()) {
        if (VelkPipeSelect(fifo_->ReadDescriptor(), -1, kTickMs) > 0) {
            ReceiveMessages();
        }
        std::uint32_t now = VelkMilliSeconds();
        if (now - lastTick >= static_cast<std::uint32_t>(kTickMs)) {
            lastTick = now;
            Tick();
        }
    }
    VTRACE(VELK_TRACE_MB, "message broker stopping (signal %d)\n", StopSignal::Number());
    Shutdown();
    return EXIT_SUCCESS;
}

void MessageBroker::ReceiveMessages() {
    char* text = nullptr;
    int received = VelkPipeReadQueued(fifo_->ReadDescriptor(), &text);
    if (received == 0) {
        received = VelkPipeRead(fifo_->ReadDescriptor(), &text);
    }
    DispatchReceived(text, received);
}

void MessageBroker::ReceiveEverythingWaiting() {
    int waiting = 0;
    if (ioctl(fifo_->ReadDescriptor(), FIONREAD, &waiting) != 0) {
        waiting = 0;
    }
    // Each read drains the FIFO and hands out the whole messages; bounded by
    // what waits now, so that writers that never stop cannot hold the loop.
    long taken = 0;
    do {
        char* text = nullptr;
        int received = VelkPipeRead(fifo_->ReadDescriptor(), &text);
        if (received <= 0 || text == nullptr) {
            std::free(text);
            return;
        }
        taken += received;
        DispatchReceived(text, received);
    } while (taken < waiting && !Stopping());
}

void MessageBroker::DispatchReceived(char* text, int received) {
    if (received <= 0 || text == nullptr) {
        std::free(text);
        return;
    }
    std::vector<std::string> messages =
        SplitMessages(std::string_view(text, static_cast<std::size_t>(received)));
    std::free(text);
    for (const std::string& message : messages) {
        if (Stopping()) {
            break;
        }
        Dispatch(message);
    }
}

void MessageBroker::Dispatch(const std::string& message) {
    switch (ClassifyMessage(message)) {
        case MessageKind::kStartup:
            AcceptClient(message);
            break;
        case MessageKind::kClose:
            CloseClient(message);
            break;
        case MessageKind::kEnvelope:
            RouteEnvelope(message);
            break;
        case MessageKind::kUnknown:
            VTRACE(VELK_TRACE_MB, "dropped a message of unknown form: %s\n", message.c_str());
            break;
    }
}

void MessageBroker::AcceptClient(const std::string& message) {
    std::optional<StartupRequest> request = ParseStartup(message);
    if (!request) {
        VTRACE(VELK_TRACE_MB, "dropped a startup message without READ or PID: %s\n",
               message.c_str());
        return;
    }
    unsigned pid = request->pid;
    std::string why;
    PipeDescriptor writer = admission_.OpenClientFifo(*request, &why);
    if (!writer.IsOpen()) {
        VTRACE(VELK_TRACE_MB, "ignored the startup of client %u: %s\n", pid, why.c_str());
        return;
    }
    if (ConnectedClient* connected = clients_.Find(request->pid)) {
        // The same process connects again: fine once it has let go of its
        // old FIFO, a takeover of a live connection otherwise.
        if (!connected->writer.ReaderGone()) {
            RefuseClient(writer, pid, kRefusedAlreadyConnected);
            return;
        }
        DropClient(request->pid, "connected again", false);
    }
    if (clients_.Size() >= options_.maxClients) {
        RefuseClient(writer, pid, kRefusedTooManyClients);
        return;
    }
    std::string ack = Acknowledgement(enumerationComplete_);
    int length = static_cast<int>(ack.size());
    if (VelkPipeWrite(writer.Get(), ack.data(), length) != length) {
        VTRACE(VELK_TRACE_MB, "client %u left before its acknowledgement\n", pid);
        return;
    }
    VTRACE(VELK_TRACE_MB, "client %u (%s, %s) connected through %s\n", pid, request->name.c_str(),
           request->clientClass.c_str(), writer.Path().c_str());
    ConnectedClient client;
    client.pid = request->pid;
    client.name = request->name;
    client.clientClass = request->clientClass;
    client.writer = std::move(writer);
    clients_.Add(std::move(client));
}

void MessageBroker::RefuseClient(const PipeDescriptor& writer, unsigned pid,
                                 std::string_view reason) {
    VTRACE(VELK_TRACE_MB, "refused client %u: %.*s\n", pid, static_cast<int>(reason.size()),
           reason.data());
    std::string refusal = ClientRefusal(reason);
    VelkPipeWrite(writer.Get(), refusal.data(), static_cast<int>(refusal.size()));
    VelkFlushWritePipe(writer.Get(), 0);
}

void MessageBroker::CloseClient(const std::string& message) {
    std::optional<std::uint32_t> pid = ParseClosePid(message);
    if (!pid) {
        VTRACE(VELK_TRACE_MB, "dropped a close message without PID: %s\n", message.c_str());
        return;
    }
    DropClient(*pid, "closed its connection", false);
}

void MessageBroker::Route(std::string_view message) {
    RouteEnvelope(std::string(message));
}

void MessageBroker::RouteEnvelope(const std::string& message) {
    std::optional<std::string> to = EnvelopeAddressee(message);
    if (!to) {
        VTRACE(VELK_TRACE_MB, "dropped a message without TO: %s\n", message.c_str());
        return;
    }
    if (*to == kBrokerAddress) {
        HandleBrokerCommand(message);
        return;
    }
    if (std::optional<std::uint32_t> pid = ParseProcessId(*to)) {
        if (!SendToClient(*pid, message)) {
            VTRACE(VELK_TRACE_MB, "dropped a message for client %u, not connected\n",
                   static_cast<unsigned>(*pid));
        }
        return;
    }
    auto component = components_.find(*to);
    if (component == components_.end()) {
        VTRACE(VELK_TRACE_MB, "dropped a message for %s: nothing serves it yet\n", to->c_str());
        return;
    }
    component->second->HandleMessage(message, *this);
}

void MessageBroker::HandleBrokerCommand(const std::string& message) {
    std::string command = EnvelopeData(message);
    if (command == kStopBrokerCommand) {
        VTRACE(VELK_TRACE_MB, "%s received\n", kStopBrokerCommand);
        stopRequested_ = true;
        return;
    }
    VTRACE(VELK_TRACE_MB, "ignored the broker command %s\n", command.c_str());
}

bool MessageBroker::SendToClient(std::uint32_t pid, std::string_view message) {
    ConnectedClient* client = clients_.Find(pid);
    if (client == nullptr || message.empty()) {
        return false;
    }
    if (!client->writer.StillListed()) {
        DropClient(pid, "its FIFO was closed (reader gone)", false);
        return false;
    }
    int length = static_cast<int>(message.size());
    int result = VelkPipeWrite(client->writer.Get(), message.data(), length);
    if (result == length) {
        // A client that stays connected but stops reading would otherwise
        // make the broker hold every message sent to it.
        if (VelkPipeQueuedBytes(client->writer.Get()) > kMaxQueuedBytesPerClient) {
            DropClient(pid, "it has stopped reading its FIFO", false);
            return false;
        }
        return true;
    }
    DropClient(pid, result == 0 ? "its reader has gone" : "writing to it failed", false);
    return false;
}

std::vector<std::uint32_t> MessageBroker::ConnectedClients() const {
    return clients_.Pids();
}

void MessageBroker::ReportEnumerationComplete() {
    enumerationComplete_ = true;
}

bool MessageBroker::EnumerationComplete() const {
    return enumerationComplete_;
}

void MessageBroker::RequestStop() {
    stopRequested_ = true;
}

const BrokerOptions& MessageBroker::Options() const {
    return options_;
}

void MessageBroker::DropClient(std::uint32_t pid, const char* reason, bool processEnded) {
    if (clients_.Find(pid) == nullptr) {
        return;
    }
    VTRACE(VELK_TRACE_MB, "client %u dropped: %s\n", static_cast<unsigned>(pid), reason);
    // Pieces of a message it was writing when it went will never be completed.
    VelkPipeDropPartialMessages(fifo_->ReadDescriptor(), static_cast<int>(pid));
    clients_.Remove(pid);
    if (processEnded) {
        // Normally gone after the handshake; left behind by a client that
        // ended halfway through it.
        VelkClient_I_RemoveFifo(admission_.ClientFifoPath(pid).c_str());
    }
    for (auto& [destination, component] : components_) {
        component->ClientLeft(pid, *this);
    }
}

void MessageBroker::Tick() {
    // A process that has ended has written all it ever will: what it wrote is
    // handled before its end, so that a module's last result or device list
    // is never taken for a module that ended without one.
    std::uint32_t now = VelkMilliSeconds();
    ReapEndedChildren([this, now](pid_t child, int status) {
        endedChildren_.push_back(EndedChild{child, status, now});
    });
    std::vector<std::uint32_t> gone;
    for (std::uint32_t pid : clients_.Pids()) {
        if (ProcessHasEnded(static_cast<pid_t>(pid))) {
            gone.push_back(pid);
        }
    }
    if (!endedChildren_.empty() || !gone.empty()) {
        ReceiveEverythingWaiting();
    }
    for (std::uint32_t pid : gone) {
        DropClient(pid, "its process has ended", true);
    }
    TellEndedChildren(now);
    for (auto& [destination, component] : components_) {
        component->Tick(*this);
    }
}

void MessageBroker::TellEndedChildren(std::uint32_t nowMs) {
    std::vector<EndedChild> ended = std::move(endedChildren_);
    endedChildren_.clear();
    for (const EndedChild& child : ended) {
        // Its whole messages may still wait in the read queue (queued after
        // this tick took what was waiting); they are handled within moments.
        if (VelkPipeWholeMessagesOf(fifo_->ReadDescriptor(), static_cast<int>(child.pid)) > 0 &&
            nowMs - child.reapedAtMs < kHeldMessagesMs) {
            endedChildren_.push_back(child);
            continue;
        }
        for (auto& [destination, component] : components_) {
            component->ChildEnded(child.pid, child.status, *this);
        }
    }
}

void MessageBroker::Shutdown() {
    if (!fifo_) {
        return;
    }
    for (auto& [destination, component] : components_) {
        component->Stop(*this);
    }
    for (std::uint32_t pid : clients_.Pids()) {
        ConnectedClient* client = clients_.Find(pid);
        if (client != nullptr && client->writer.StillListed()) {
            VelkFlushWritePipe(client->writer.Get(), kShutdownFlushMs);
        }
    }
    clients_.Clear();
    fifo_.reset();
}

}  // namespace velk::engine
