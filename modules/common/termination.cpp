#include "termination.h"

#include <csignal>
#include <initializer_list>

namespace velk::module {

namespace {

volatile std::sig_atomic_t gTerminate = 0;

void OnTerminate(int) {
    gTerminate = 1;
}

}  // namespace

void InstallTerminationHandler() {
    struct sigaction action = {};
    action.sa_handler = OnTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(number, &action, nullptr);
    }
}

bool TerminationRequested() {
    return gTerminate != 0;
}

}  // namespace velk::module
