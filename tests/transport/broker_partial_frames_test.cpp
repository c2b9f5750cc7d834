// Frames written into the broker FIFO that never make a whole message: the
// broker goes on delivering everything else and does not hold what they
// announce.
#include <fcntl.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "client-connection-manager.h"
#include "pipe-frame.h"
#include "transport_harness.h"

namespace {

using velk::test::Delimiter;

// Virtual memory of process pid in KiB (VmSize of /proc/PID/status).
long VirtualMemoryKb(pid_t pid) {
    std::string status = velk::testsupport::ReadFile("/proc/" + std::to_string(pid) + "/status");
    std::string::size_type at = status.find("VmSize:");
    return at == std::string::npos ? -1 : std::atol(status.c_str() + at + 7);
}

class BrokerPartialFramesTest : public velk::test::TransportTest {
  protected:
    // Writes bytes into the broker FIFO as a process that never connects.
    void WriteAsStranger(const std::string& bytes) {
        int fd = open(BrokerFifo().c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        velk::test::WriteRaw(fd, bytes);
        close(fd);
    }
};

TEST_F(BrokerPartialFramesTest, IncompleteFrameOfAStrangerDoesNotStopDelivery) {
    StartBroker();
    WriteAsStranger(Delimiter(1, 424242, 1, 2, 21, 42) + std::string(21, 'x'));
    EXPECT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK);
}

TEST_F(BrokerPartialFramesTest, FirstPiecesUnderForgedProcessIdsDoNotGrowTheBroker) {
    pid_t broker = StartBroker({}, VELK_FAKE_ENGINE_PATH).Pid();
    ASSERT_EQ(VelkClientOpenConnection(), VELK_OPEN_OK);
    long before = VirtualMemoryKb(broker);
    std::string frames;
    for (int pid = 100000; pid < 100100; ++pid) {
        frames += Delimiter(1, pid, 1, 5000, 100, VELK_PIPE_MAX_MESSAGE) + std::string(100, 'f');
    }
    WriteAsStranger(frames);
    EXPECT_EQ(AskFakeEngine("CLIENTS"), "1") << "answered after everything written before";
    long grown = VirtualMemoryKb(broker) - before;
    EXPECT_LT(grown, 64 * 1024) << "100 announced messages of 16 MiB took " << grown << " KiB";
}

}  // namespace
