// velkcli's exit statuses (documented in velkcli/README.md).
#pragma once

namespace velkcli {

constexpr int kExitOk = 0;           // success; for run: the test passed
constexpr int kExitFailed = 1;       // run: the test failed (or ended abnormally)
constexpr int kExitUsage = 2;        // bad usage, or no velkcore in the bin directory
constexpr int kExitEngine = 3;       // the engine is not answering, or failed during the run
constexpr int kExitNotFound = 4;     // no such device (or, for run, no such test)
constexpr int kExitParameter = 5;    // run: a parameter the test lacks or whose value is refused
constexpr int kExitCouldNotRun = 6;  // run: no media, busy, privilege, set-up error, ...
constexpr int kExitStopped = 7;      // run: stopped (Ctrl-C, or the maximum time)

}  // namespace velkcli
