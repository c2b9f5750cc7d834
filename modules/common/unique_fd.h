// An owned file descriptor, closed on destruction.
#pragma once

#include <utility>

namespace velk::module {

class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    bool IsOpen() const { return fd_ >= 0; }
    int Get() const { return fd_; }
    // Closes the descriptor held (if any) and holds fd instead.
    void Reset(int fd = -1);
    // Gives the descriptor up without closing it.
    int Release() { return std::exchange(fd_, -1); }

  private:
    int fd_ = -1;
};

}  // namespace velk::module
