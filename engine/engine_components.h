// The engine components of velkcore: the diagnostic engine and the NLS
// engine, plugged into the message broker.
#pragma once

#include "engine_settings.h"
#include "message_broker.h"

namespace velk::engine {

void InstallEngineComponents(MessageBroker& broker, const EngineSettings& settings);

}  // namespace velk::engine
