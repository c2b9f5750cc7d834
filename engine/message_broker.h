// The message broker: the event loop of the engine process.
//
// It reads the broker FIFO, answers the startup handshake of each client by
// opening the client's FIFO (see ClientAdmission for what it accepts, and
// BrokerOptions::maxClients for how many), and routes every enveloped message by its TO
// field: to itself ("MESSAGEBROKER"), to a registered engine component by its
// destination name, or to a connected client by its decimal process id.
// Clients leave with their close message, when their FIFO's reader is gone,
// or when their process has ended.  Messages nobody serves are dropped and
// traced.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "broker_fifo.h"
#include "broker_options.h"
#include "client_registry.h"
#include "engine_component.h"

namespace velk::engine {

class MessageBroker final : private ComponentContext {
  public:
    // Liveness checks, child reaping and component ticks run this often, and
    // a stop signal is seen within this time.
    static constexpr int kTickMs = 100;

    MessageBroker(BrokerOptions options, std::unique_ptr<BrokerFifo> fifo);
    ~MessageBroker() override;
    MessageBroker(const MessageBroker&) = delete;
    MessageBroker& operator=(const MessageBroker&) = delete;

    // Registers a component under its destination name, replacing one that
    // served the same name.
    void AddComponent(std::unique_ptr<EngineComponent> component);

    // Serves until STOP_MESSAGE_BROKER, SIGTERM/SIGINT or a component's stop
    // request; then closes every client FIFO and removes the broker FIFO.
    // The exit status of the process.
    int Run();

  private:
    // ComponentContext
    void Route(std::string_view message) override;
    bool SendToClient(std::uint32_t pid, std::string_view message) override;
    std::vector<std::uint32_t> ConnectedClients() const override;
    void ReportEnumerationComplete() override;
    bool EnumerationComplete() const override;
    void RequestStop() override;
    const BrokerOptions& Options() const override;

    // A child process the broker has reaped; the components learn of its end
    // only after its messages.
    struct EndedChild {
        pid_t pid = 0;
        int status = 0;
        std::uint32_t reapedAtMs = 0;
    };

    void ReceiveMessages();
    // Handles every whole message that has reached the broker FIFO by now,
    // and no more than what waits there at the call.
    void ReceiveEverythingWaiting();
    // Splits the received text (which it frees) and dispatches each message.
    void DispatchReceived(char* text, int received);
    // Tells the components of the ended children whose messages have all
    // been handled.
    void TellEndedChildren(std::uint32_t nowMs);
    void Dispatch(const std::string& message);
    void AcceptClient(const std::string& message);
    // Answers a startup with a refusal instead of an acknowledgement.
    void RefuseClient(const PipeDescriptor& writer, unsigned pid, std::string_view reason);
    void CloseClient(const std::string& message);
    void RouteEnvelope(const std::string& message);
    void HandleBrokerCommand(const std::string& message);
    // Forgets the client; with processEnded also removes the FIFO name it may
    // have left in the pipe directory.
    void DropClient(std::uint32_t pid, const char* reason, bool processEnded);
    void Tick();
    void Shutdown();
    bool Stopping() const;

    BrokerOptions options_;
    std::unique_ptr<BrokerFifo> fifo_;
    ClientAdmission admission_;
    ClientRegistry clients_;
    std::map<std::string, std::unique_ptr<EngineComponent>, std::less<>> components_;
    std::vector<EndedChild> endedChildren_;
    bool enumerationComplete_ = false;
    bool stopRequested_ = false;
};

}  // namespace velk::engine
