// velkcore: the engine process.  For now it is the message broker; the
// diagnostic engine and the NLS engine join it as components.
//
// Launch words: "--multi" (read VELKFIFO_<pid> instead of VELKFIFO), "-dew"
// (clients drive device enumeration), "trace" (trace file and broker trace
// lines).  The pipe directory comes from VELK_TMP, else the current directory.
#include "engine_main.h"

int main(int argc, char** argv) {
    return velk::engine::RunEngine(argc, argv, {});
}
