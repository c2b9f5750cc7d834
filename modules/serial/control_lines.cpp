#include "control_lines.h"

#include <sys/ioctl.h>

namespace velk::serialmodule {
namespace {

struct Wire {
    int output;
    int input;
    const char* inputName;
};

const Wire kWires[] = {
    {TIOCM_RTS, TIOCM_CTS, "CTS"},
    {TIOCM_DTR, TIOCM_DSR, "DSR"},
    {TIOCM_DTR, TIOCM_CAR, "DCD"},
};

std::string DrivenText(int driven) {
    std::string text;
    if (driven & TIOCM_RTS) {
        text = "RTS";
    }
    if (driven & TIOCM_DTR) {
        text += text.empty() ? "DTR" : "+DTR";
    }
    return text.empty() ? "none" : text;
}

}  // namespace

std::vector<int> ControlLineSteps() {
    return {0, TIOCM_RTS, TIOCM_DTR, TIOCM_RTS | TIOCM_DTR, 0};
}

std::optional<LineVerdict> JudgeControlLines(const std::vector<LineObservation>& observations) {
    bool anyFollowed = false;
    std::optional<LineVerdict> first;
    for (const auto& observation : observations) {
        for (const auto& wire : kWires) {
            bool want = (observation.driven & wire.output) != 0;
            bool got = (observation.read & wire.input) != 0;
            if (want == got && want) {
                anyFollowed = true;
            }
            if (want != got && !first) {
                first = LineVerdict{false, wire.inputName, DrivenText(observation.driven), want};
            }
        }
    }
    if (first && !anyFollowed) {
        first->noAdapter = true;
    }
    return first;
}

}  // namespace velk::serialmodule
