// What a serial loopback adapter does to the modem control lines: it ties
// RTS to CTS, and DTR to DSR and DCD.  The test drives RTS and DTR through
// every combination, reads the inputs back each time and judges them here.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velk::serialmodule {

// The outputs driven and the inputs read back (TIOCM_* bits).
struct LineObservation {
    int driven = 0;  // TIOCM_RTS and TIOCM_DTR
    int read = 0;    // TIOCM_CTS, TIOCM_DSR, TIOCM_CAR (RI is not looked at)
};

// The output combinations the test drives, in order.
std::vector<int> ControlLineSteps();

struct LineVerdict {
    bool noAdapter = false;   // no input ever followed an output
    std::string input;        // the first input that did not follow ("CTS", "DSR", "DCD")
    std::string driven;       // the outputs driven then ("RTS+DTR", "RTS", "DTR", "none")
    bool expectedOn = false;  // what the input should have read
};

// Nothing when every input followed its output; otherwise why not.
std::optional<LineVerdict> JudgeControlLines(const std::vector<LineObservation>& observations);

}  // namespace velk::serialmodule
