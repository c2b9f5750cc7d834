// A termination request (SIGTERM, SIGINT, SIGHUP) taken as a request to stop:
// the engine ends the modules it started with SIGTERM when it stops.  A test
// then ends as after the engine's stop command, sends its result and closes
// its connection, which removes its FIFO; the default action would end the
// process on the spot and leave the FIFO behind.
#pragma once

namespace velk::module {

// Installs the handler (once per process).
void InstallTerminationHandler();

// True once a termination signal arrived.
bool TerminationRequested();

}  // namespace velk::module
