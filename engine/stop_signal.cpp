#include "stop_signal.h"

#include <csignal>
#include <cstring>

namespace velk::engine {
namespace {

volatile std::sig_atomic_t gStopSignal = 0;

extern "C" void NoteStopSignal(int number) {
    gStopSignal = number;
}

}  // namespace

void StopSignal::Install() {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = NoteStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

bool StopSignal::Requested() {
    return gStopSignal != 0;
}

int StopSignal::Number() {
    return gStopSignal;
}

}  // namespace velk::engine
