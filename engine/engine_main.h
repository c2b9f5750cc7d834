// The start and end of the engine process around its event loop: launch
// words, tracing, signals, the pipe layer and the broker FIFO.  Components
// are added by the caller, so that velkcore and test programs share it.
#pragma once

#include <functional>

#include "message_broker.h"

namespace velk::engine {

using ComponentInstaller = std::function<void(MessageBroker&)>;

// Runs the engine: refuses to start with a one-line error on standard error
// (exit status 1) when its FIFO cannot be claimed; otherwise serves until
// stopped and returns 0.
int RunEngine(int argc, char** argv, const ComponentInstaller& installComponents);

}  // namespace velk::engine
