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

// The first piece (4000 bytes) of a message of the largest size.
std::string FirstPieceOfAHugeMessage(int pid) {
    return Delimiter(1, pid, 1, 5000, 4000, VELK_PIPE_MAX_MESSAGE) + std::string(4000, 'p');
}

class PipePartialMessagesTest : public velk::test::PipeLayerTest {
  protected:
    void TearDown() override {
        VelkPipeSetPartialLimits(nullptr);
        PipeLayerTest::TearDown();
    }
    static size_t HeldMessages() {
        size_t messages = 0;
        VelkPipePartialUsage(&messages, nullptr);
        return messages;
    }
};

TEST_F(PipePartialMessagesTest, IncompleteMessageHoldsBackOnlyItsOwnWriter) {
    auto fed = MakeFedReader("held");
    WriteRaw(fed.rawWriter, Delimiter(7, 1111, 1, 2, 4, 8) + "AAAA");
    WriteRaw(fed.rawWriter, Frame(1, 2222, "whole\r\n"));
    EXPECT_EQ(ReadMessages(fed.layerReader), "whole\r\n");

    WriteRaw(fed.rawWriter, Delimiter(7, 1111, 2, 2, 4, 8) + "BBBB");
    EXPECT_EQ(VelkPipeSelect(fed.layerReader, -1, 10000), 1);
    EXPECT_EQ(ReadMessages(fed.layerReader), "AAAABBBB");
    EXPECT_EQ(HeldMessages(), 0u);
}

TEST_F(PipePartialMessagesTest, ForgedWritersCannotMakeTheReaderHoldWhatTheyAnnounce) {
    auto fed = MakeFedReader("forged");
    for (int pid = 1000; pid < 1100; ++pid) {
        WriteRaw(fed.rawWriter, FirstPieceOfAHugeMessage(pid));
        ReadMessages(fed.layerReader);
    }
    size_t messages = 0;
    size_t bytes = 0;
    VelkPipePartialUsage(&messages, &bytes);
    EXPECT_EQ(messages, VELK_PIPE_PARTIAL_MAX_MESSAGES) << "the rest were refused";
    EXPECT_LE(bytes, messages * 2 * 4000) << "buffers follow what arrived, not what was announced";
    WriteRaw(fed.rawWriter, Frame(1, 2000, "still served\r\n"));
    EXPECT_EQ(ReadMessages(fed.layerReader), "still served\r\n");
}

TEST_F(PipePartialMessagesTest, PieceBeyondTheByteLimitDropsItsMessage) {
    VelkPipePartialLimits limits{VELK_PIPE_PARTIAL_IDLE_MS, 10, 20000};
    VelkPipeSetPartialLimits(&limits);
    auto fed = MakeFedReader("bytes");
    WriteRaw(fed.rawWriter, FirstPieceOfAHugeMessage(3000) + FirstPieceOfAHugeMessage(3001));
    ReadMessages(fed.layerReader);
    EXPECT_EQ(HeldMessages(), 2u);
    WriteRaw(fed.rawWriter, FirstPieceOfAHugeMessage(3002));
    ReadMessages(fed.layerReader);
    EXPECT_EQ(HeldMessages(), 2u) << "a third buffer would pass 20000 bytes";
    WriteRaw(fed.rawWriter,
             Delimiter(1, 3000, 2, 5000, 4000, VELK_PIPE_MAX_MESSAGE) + std::string(4000, 'q'));
    ReadMessages(fed.layerReader);
    EXPECT_EQ(HeldMessages(), 1u) << "growing 3000's buffer would pass the limit";
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
        EXPECT_EQ(HeldMessages(), 0u);
    }
}

}  // namespace
