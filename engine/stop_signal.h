// SIGTERM and SIGINT ask the engine to stop cleanly: the handler only notes
// the request, and interrupts the main thread's wait so it is seen at once.
#pragma once

namespace velk::engine {

class StopSignal {
  public:
    // Installs the handlers (without SA_RESTART, so a wait ends with EINTR).
    static void Install();
    static bool Requested();
    // The signal that asked, 0 when none did.
    static int Number();
};

}  // namespace velk::engine
