#include "engine_components.h"

#include <memory>

#include "diag_engine.h"
#include "nls_engine.h"

namespace velk::engine {

void InstallEngineComponents(MessageBroker& broker, const EngineSettings& settings) {
    broker.AddComponent(std::make_unique<DiagEngine>(settings));
    broker.AddComponent(std::make_unique<NlsEngine>(settings));
}

}  // namespace velk::engine
