// Polling helpers for tests: wait for a condition or for a FIFO reader.
#pragma once

#include <functional>
#include <string>

namespace velk::testsupport {

// How often the helpers below poll unless told otherwise.
constexpr int kPollMs = 10;

// Polls condition every pollMs for up to timeoutMs; true once it holds.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs, int pollMs = kPollMs);

// True once the FIFO at path exists and some process reads it.
bool FifoHasReader(const std::string& path);
// Polls FifoHasReader for up to timeoutMs.
bool WaitForReader(const std::string& path, int timeoutMs, int pollMs = kPollMs);

}  // namespace velk::testsupport
