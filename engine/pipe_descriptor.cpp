#include "pipe_descriptor.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "pipe-lowlevel.h"

namespace velk::engine {

PipeDescriptor PipeDescriptor::Open(const std::string& path, bool forWriting) {
    int fd = VelkPipeOpen(path.c_str(), forWriting ? 1 : 0);
    if (fd < 0) {
        return PipeDescriptor();
    }
    return PipeDescriptor(fd, path);
}

PipeDescriptor::PipeDescriptor(PipeDescriptor&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

PipeDescriptor& PipeDescriptor::operator=(PipeDescriptor&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
    }
    return *this;
}

PipeDescriptor::~PipeDescriptor() {
    Close();
}

bool PipeDescriptor::StillListed() const {
    return fd_ >= 0 && VelkPipeIsListed(fd_, path_.c_str()) == 1;
}

bool PipeDescriptor::ReaderGone() const {
    if (!StillListed()) {
        return true;
    }
    // The write end of a FIFO without readers polls as an error.
    struct pollfd watched = {fd_, POLLOUT, 0};
    return poll(&watched, 1, 0) > 0 && (watched.revents & POLLERR) != 0;
}

void PipeDescriptor::Close() {
    // Only the engine's main thread opens FIFOs, so a number still listed
    // under our path is still ours.
    if (StillListed()) {
        VelkPipeClose(fd_);
    }
    fd_ = -1;
}

OwnedFifoName OwnedFifoName::Adopt(const std::string& path) {
    OwnedFifoName owned;
    struct stat status {};
    if (lstat(path.c_str(), &status) == 0 && S_ISFIFO(status.st_mode)) {
        owned.path_ = path;
        owned.device_ = status.st_dev;
        owned.inode_ = status.st_ino;
    }
    return owned;
}

OwnedFifoName::OwnedFifoName(OwnedFifoName&& other) noexcept
    : path_(std::move(other.path_)), device_(other.device_), inode_(other.inode_) {
    other.path_.clear();
}

OwnedFifoName& OwnedFifoName::operator=(OwnedFifoName&& other) noexcept {
    if (this != &other) {
        Remove();
        path_ = std::move(other.path_);
        device_ = other.device_;
        inode_ = other.inode_;
        other.path_.clear();
    }
    return *this;
}

OwnedFifoName::~OwnedFifoName() {
    Remove();
}

void OwnedFifoName::Remove() {
    if (path_.empty()) {
        return;
    }
    struct stat status {};
    if (lstat(path_.c_str(), &status) == 0 && S_ISFIFO(status.st_mode) &&
        status.st_dev == device_ && status.st_ino == inode_) {
        VelkPipeUnLink(path_.c_str());
    }
    path_.clear();
}

}  // namespace velk::engine
