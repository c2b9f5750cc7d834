// velkcore: the engine process.  The message broker routes every message;
// the diagnostic engine ("DIAGENGINE") and the NLS engine ("NLSENGINE") are
// its components.
//
// Launch words: "--multi" (read VELKFIFO_<pid> instead of VELKFIFO), "-dew"
// (clients drive device enumeration), "trace" (trace file and trace lines).
// The pipe directory comes from VELK_TMP, else the current directory; the
// bin directory with the modules from VELKOR_HOME, else the directory
// velkcore was started from.
#include "engine_components.h"
#include "engine_main.h"
#include "engine_settings.h"

int main(int argc, char** argv) {
    using namespace velk::engine;
    EngineSettings settings = EngineSettingsFromEnvironment(argc > 0 ? argv[0] : nullptr);
    return RunEngine(argc, argv, [&settings](MessageBroker& broker) {
        InstallEngineComponents(broker, settings);
    });
}
