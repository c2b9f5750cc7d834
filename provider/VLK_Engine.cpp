#include "VLK_Engine.h"

#include "VLK_Log.h"

namespace Pegasus {

log4cpp::Category& VLK_Engine::log = log4cpp::Category::getInstance("VLK_Engine");

void VLK_Engine::update() {
    // No test can be running before the engine client is wired in.
    VLK_LOG_DEBUG(log, "update(): no running tests");
}

void VLK_Engine::Stop() {
    VLK_LOG_INFO(log, "Stop(): engine not started");
}

}  // namespace Pegasus
