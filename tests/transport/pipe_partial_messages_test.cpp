// Messages whose pieces have not all arrived: kept per writer, so that they
// hold back nobody else, bounded in number and bytes, and dropped when their
// writer goes quiet or gives them up.
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "pipe-frame.h"
#include "pipe-lowlevel.h"
#include "transport_harness.h"

namespace {

using velk::test::Delimiter;
using velk::test::Frame;
using velk::test::WriteRaw;

class PipePartialMessagesTest : public velk::test::PipeLayerTest {
  protected:
    void TearDown() override {
        VelkPipeSetPartialLimits(nullptr);
        PipeLayerTest::TearDown();
    }
    // Feeds bytes through the layer; the incomplete messages then held.
    size_t HeldAfter(const FedReader& fed, const std::string& bytes, size_t* heldBytes = nullptr) {
        WriteRaw(fed.rawWriter, bytes);
        EXPECT_EQ(ReadMessages(fed.layerReader), "");
        size_t messages = 0;
        VelkPipePartialUsage(&messages, heldBytes);
        return messages;
    }
};

// Piece piece (4000 bytes) of a message of the largest size.
std::string PieceOfAHugeMessage(int pid, int piece = 1) {
    return Delimiter(1, pid, piece, 5000, 4000, VELK_PIPE_MAX_MESSAGE) + std::string(4000, 'p');
}

TEST_F(PipePartialMessagesTest, IncompleteMessageHoldsBackOnlyItsOwnWriter) {
    auto fed = MakeFedReader("held");
    WriteRaw(fed.rawWriter, Delimiter(7, 1111, 1, 2, 4, 8) + "AAAA" + Frame(1, 2222, "whole\r\n"));
    EXPECT_EQ(ReadMessages(fed.layerReader), "whole\r\n");
    WriteRaw(fed.rawWriter, Delimiter(7, 1111, 2, 2, 4, 8) + "BBBB");
    EXPECT_EQ(ReadMessages(fed.layerReader), "AAAABBBB");
}

TEST_F(PipePartialMessagesTest, FirstPiecesUnderForgedWritersAreHeldOnlyWithinTheLimits) {
    struct Case {
        size_t maxMessages, maxBytes, held, heldAfterGrowth;
    };
    // Buffers follow the pieces received (here 2 x 4000 bytes), not the
    // 16 MiB the pieces announce.
    for (const Case& c : {Case{3, VELK_PIPE_PARTIAL_MAX_BYTES, 3, 3}, Case{10, 20000, 2, 1}}) {
        VelkPipePartialLimits limits{VELK_PIPE_PARTIAL_IDLE_MS, c.maxMessages, c.maxBytes};
        VelkPipeSetPartialLimits(&limits);
        auto fed = MakeFedReader("forged" + std::to_string(c.held));
        size_t bytes = 0;
        for (int pid = 1000; pid < 1100; ++pid) {
            HeldAfter(fed, PieceOfAHugeMessage(pid), &bytes);
        }
        EXPECT_EQ(HeldAfter(fed, "", &bytes), c.held);
        EXPECT_LE(bytes, c.held * 8000);
        WriteRaw(fed.rawWriter, Frame(1, 2000, "still served\r\n"));
        EXPECT_EQ(ReadMessages(fed.layerReader), "still served\r\n");
        EXPECT_EQ(HeldAfter(fed, PieceOfAHugeMessage(1000, 2) + PieceOfAHugeMessage(1000, 3)),
                  c.heldAfterGrowth)
            << "a piece that would pass the byte limit drops its message";
        VelkPipeClose(fed.layerReader);
    }
}

TEST_F(PipePartialMessagesTest, IncompleteMessagesAreDroppedWhenTheirWriterGivesThemUp) {
    VelkPipePartialLimits quickly{50, VELK_PIPE_PARTIAL_MAX_MESSAGES, VELK_PIPE_PARTIAL_MAX_BYTES};
    VelkPipeSetPartialLimits(&quickly);
    auto fed = MakeFedReader("given-up");
    struct Case {
        const char* what;
        std::string bytes;
        bool (*giveUp)(int fd);
        int newerPid;  // writer of the whole message that follows
    };
    const std::string firstOfTwo = Delimiter(3, 3333, 1, 2, 4, 8) + "AAAA";
    const Case cases[] = {
        {"writer went quiet", firstOfTwo, [](int) { return usleep(100000) == 0; }, 4444},
        {"writer left", firstOfTwo,
         [](int fd) { return VelkPipeDropPartialMessages(fd, 3333) == 1; }, 4444},
        {"writer began a newer message", firstOfTwo, [](int) { return true; }, 3333},
        {"pieces out of order",
         Delimiter(4, 3333, 1, 3, 2, 6) + "AA" + Delimiter(4, 3333, 3, 3, 2, 6) + "CC",
         [](int) { return true; }, 4444},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteRaw(fed.rawWriter, c.bytes);
        ReadMessages(fed.layerReader);
        ASSERT_TRUE(c.giveUp(fed.layerReader));
        WriteRaw(fed.rawWriter, Frame(9, c.newerPid, "newer\r\n"));
        EXPECT_EQ(ReadMessages(fed.layerReader), "newer\r\n");
        EXPECT_EQ(HeldAfter(fed, ""), 0u);
    }
}

}  // namespace
