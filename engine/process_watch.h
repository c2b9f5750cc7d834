// Whether a process still runs, and reaping of the engine's own children.
#pragma once

#include <sys/types.h>

#include <functional>

namespace velk::engine {

// True when no process pid exists any more, or it has ended and only waits to
// be reaped by its parent (a zombie no longer reads its FIFO).
bool ProcessHasEnded(pid_t pid);

// Reaps every ended child of this process without waiting and tells
// onReaped (when set) each one's pid and wait status; how many.
int ReapEndedChildren(const std::function<void(pid_t, int)>& onReaped = {});

}  // namespace velk::engine
