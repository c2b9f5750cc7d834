// The parts of the engine process that serve an addressee of the message
// protocol ("DIAGENGINE", "NLSENGINE") plug into the broker's event loop
// through this interface.  The broker owns them, hands them every message
// addressed to their destination, tells them when a client leaves and gives
// them a periodic tick; they answer through the context.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "broker_options.h"

namespace velk::engine {

class ComponentContext {
  public:
    virtual ~ComponentContext() = default;

    // Routes a whole message (ending in CR LF) by its TO field, exactly as if
    // a client had written it into the broker's FIFO.
    virtual void Route(std::string_view message) = 0;
    // Delivers a whole message to a connected client; false when that client
    // is not connected or has gone.
    virtual bool SendToClient(std::uint32_t pid, std::string_view message) = 0;
    virtual std::vector<std::uint32_t> ConnectedClients() const = 0;
    // From now on the handshake answers "<ACK>ENUM_COMPLETE</ACK>".
    virtual void ReportEnumerationComplete() = 0;
    virtual bool EnumerationComplete() const = 0;
    // Ends the event loop after the current message.
    virtual void RequestStop() = 0;
    virtual const BrokerOptions& Options() const = 0;
};

class EngineComponent {
  public:
    virtual ~EngineComponent() = default;

    // The TO value this component serves.
    virtual std::string_view Destination() const = 0;
    // The event loop is about to start serving.
    virtual void Start(ComponentContext& context) {}
    // One message addressed to Destination(), CR LF included.
    virtual void HandleMessage(const std::string& message, ComponentContext& context) = 0;
    // A client closed its connection or went away.
    virtual void ClientLeft(std::uint32_t pid, ComponentContext& context) {}
    // A child process of this engine process ended and the broker reaped it;
    // status as waitpid gives it.  Children are reaped in one place only, so
    // a component that started pid learns here that it is gone.
    virtual void ChildEnded(pid_t pid, int status, ComponentContext& context) {}
    // Called about every tick interval of the broker.
    virtual void Tick(ComponentContext& context) {}
    // The broker is stopping; release what the component runs.
    virtual void Stop(ComponentContext& context) {}
};

}  // namespace velk::engine
