// A pseudo-terminal pair standing in for a serial port: the slave is the
// port the module opens, the master is the far end of the cable.  A thread
// can answer on the master like a loopback adapter (optionally corrupting
// one byte), or leave it unanswered like a port with nothing attached.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace velk::moduletest {

class PtyPort {
  public:
    enum class Far { kSilent, kEcho, kCorruptingEcho };

    explicit PtyPort(Far far) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        EXPECT_GE(master_, 0);
        EXPECT_EQ(::grantpt(master_), 0);
        EXPECT_EQ(::unlockpt(master_), 0);
        slavePath_ = ::ptsname(master_);
        // The test keeps the slave open so the master never sees a hangup.
        slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        EXPECT_GE(slave_, 0);
        if (far != Far::kSilent) {
            echo_ = std::thread([this, far] { Echo(far == Far::kCorruptingEcho); });
        }
    }
    ~PtyPort() {
        stop_ = true;
        if (echo_.joinable()) {
            echo_.join();
        }
        ::close(slave_);
        ::close(master_);
    }
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    const std::string& SlavePath() const { return slavePath_; }
    // The test's own descriptor of the port (e.g. to claim it exclusively).
    int SlaveFd() const { return slave_; }

  private:
    void Echo(bool corrupt) {
        size_t total = 0;
        while (!stop_) {
            pollfd wait{master_, POLLIN, 0};
            if (::poll(&wait, 1, 20) <= 0 || !(wait.revents & POLLIN)) {
                continue;
            }
            unsigned char buffer[512];
            ssize_t count = ::read(master_, buffer, sizeof buffer);
            if (count <= 0) {
                continue;
            }
            for (ssize_t i = 0; i < count; ++i, ++total) {
                if (corrupt && total == 300) {
                    buffer[i] ^= 0x10;
                }
            }
            ssize_t written = ::write(master_, buffer, static_cast<size_t>(count));
            (void)written;
        }
    }

    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    std::atomic<bool> stop_{false};
    std::thread echo_;
};

}  // namespace velk::moduletest
