// The tests of the serial-port module on one port.  Tests 0 and 1 need a
// loopback adapter on the port (data: TXD to RXD; control lines: RTS to CTS,
// DTR to DSR and DCD); tests 2 to 4 need nothing attached.
#pragma once

#include "serial_ports.h"
#include "test_session.h"

namespace velk::serialmodule {

enum SerialTestIndex {
    kLoopbackDataTest = 0,
    kLoopbackControlTest = 1,
    kPresenceTest = 2,
    kSettingsTest = 3,
    kTransmitTest = 4,
    kSerialTestCount = 5,
};

enum SerialEventCode {
    kEventNoLoopback = 401,
    kEventLoopbackData = 402,
    kEventNoControlLoopback = 403,
    kEventControlLine = 404,
    kEventNoControlLines = 405,
    kEventPortMissing = 406,
    kEventSettingNotKept = 407,
    kEventSettingAdjusted = 408,
    kEventTransmit = 409,
    kEventPortRefused = 410,
    kEventUnknownTest = 411,
};

// Runs test on port; the module interface's result code.
int RunSerialTest(int test, const SerialPort& port, velk::modules::TestSession& session);

}  // namespace velk::serialmodule
