#include "TestWait.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace velk::testsupport {

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs, int pollMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
    }
    return true;
}

bool FifoHasReader(const std::string& path) {
    int probe = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (probe < 0) {
        return false;
    }
    close(probe);
    return true;
}

bool WaitForReader(const std::string& path, int timeoutMs, int pollMs) {
    return WaitUntil([&] { return FifoHasReader(path); }, timeoutMs, pollMs);
}

}  // namespace velk::testsupport
