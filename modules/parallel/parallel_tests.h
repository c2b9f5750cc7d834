// The tests of the parallel-port module.  Test 0: the port is there and
// enabled (its device opens, it can be claimed, and its data register holds
// what is written).  Test 1: with a loopback adapter (wrap plug: STROBE to
// SELECT, D0 to ERROR, INIT to ACK, SELECT IN to BUSY, AUTOFD to PAPER
// OUT) every status line follows the line wired to it.
#pragma once

#include <cstdint>

#include "parallel_ports.h"
#include "port_access.h"
#include "test_session.h"

namespace velk::parallelmodule {

enum ParallelTestIndex {
    kPresenceTest = 0,
    kLoopbackTest = 1,
    kParallelTestCount = 2,
};

enum ParallelEventCode {
    kEventPortMissing = 501,
    kEventNotAParallelPort = 502,
    kEventDataRegister = 503,
    kEventNoLoopback = 504,
    kEventLoopbackLine = 505,
    kEventPortRefused = 506,
    kEventUnknownTest = 507,
};

// The status register a wrap plug gives for control and data outputs: the
// bits ERROR (3), SELECT (4), PAPER OUT (5), ACK (6) and BUSY (7).
uint8_t WrappedStatus(uint8_t control, uint8_t data);

// The checks of tests 0 and 1 on an open port.
int CheckDataRegister(PortAccess& port, const std::string& device,
                      velk::modules::TestSession& session);
int CheckLoopback(PortAccess& port, const std::string& device, velk::modules::TestSession& session);

// Opens the port's device, claims it and runs test; the module interface's
// result code.
int RunParallelTest(int test, const ParallelPort& port, velk::modules::TestSession& session);

}  // namespace velk::parallelmodule
