#include "serial_line.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "sys_root.h"

namespace velk::serialmodule {
namespace {

using Clock = std::chrono::steady_clock;
using velk::module::OpenFailure;

int RemainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

int TransmitMs(size_t bytes, unsigned bitsPerSecond) {
    return static_cast<int>((bytes * 10 * 1000 + bitsPerSecond - 1) / bitsPerSecond);
}

SerialLine::Opened SerialLine::Open(const std::string& machinePath) {
    Opened opened;
    std::string path = velk::module::SysPath(machinePath);
    int raw;
    do {
        raw = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (raw < 0 && errno == EINTR);
    if (raw < 0) {
        opened.error = errno;
        opened.failure = velk::module::ClassifyOpenError(opened.error, true);
        return opened;
    }
    velk::module::UniqueFd fd(raw);
    termios original;
    if (::tcgetattr(fd.Get(), &original) != 0) {
        opened.error = errno;
        opened.failure = OpenFailure::kOther;
        opened.notATerminal = true;
        return opened;
    }
    // Another holder: a lock on the node, or the tty's exclusive mode (which
    // does not keep a privileged process out, so it is asked for).
    int exclusive = 0;
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0 ||
        (::ioctl(fd.Get(), TIOCGEXCL, &exclusive) == 0 && exclusive != 0)) {
        opened.error = EBUSY;
        opened.failure = OpenFailure::kBusy;
        return opened;
    }
    ::ioctl(fd.Get(), TIOCEXCL);
    opened.line.reset(new SerialLine(std::move(fd), original));
    return opened;
}

SerialLine::~SerialLine() {
    ::tcflush(fd_.Get(), TCIOFLUSH);
    ::tcsetattr(fd_.Get(), TCSANOW, &original_);
    ::ioctl(fd_.Get(), TIOCNXCL);
}

bool SerialLine::SetRaw(speed_t speed) {
    termios settings = original_;
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cflag &= ~(CRTSCTS | CSTOPB);
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (::cfsetispeed(&settings, speed) != 0 || ::cfsetospeed(&settings, speed) != 0 ||
        ::tcsetattr(fd_.Get(), TCSANOW, &settings) != 0) {
        return false;
    }
    return ::tcflush(fd_.Get(), TCIOFLUSH) == 0;
}

size_t SerialLine::Write(const uint8_t* data, size_t size, int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t written = 0;
    while (written < size) {
        ssize_t count = ::write(fd_.Get(), data + written, size - written);
        if (count > 0) {
            written += static_cast<size_t>(count);
            continue;
        }
        if (count < 0 && errno != EAGAIN && errno != EINTR) {
            break;
        }
        pollfd wait{fd_.Get(), POLLOUT, 0};
        int left = RemainingMs(deadline);
        if (left == 0 || ::poll(&wait, 1, left) == 0) {
            break;
        }
    }
    return written;
}

size_t SerialLine::Read(uint8_t* data, size_t size, int timeoutMs) {
    size_t got = 0;
    while (got < size) {
        pollfd wait{fd_.Get(), POLLIN, 0};
        int ready = ::poll(&wait, 1, timeoutMs);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            break;
        }
        ssize_t count = ::read(fd_.Get(), data + got, size - got);
        if (count > 0) {
            got += static_cast<size_t>(count);
        } else if (count == 0 || (errno != EAGAIN && errno != EINTR)) {
            break;
        }
    }
    return got;
}

int SerialLine::OutputQueued() const {
    int queued = 0;
    return ::ioctl(fd_.Get(), TIOCOUTQ, &queued) == 0 ? queued : -1;
}

}  // namespace velk::serialmodule
