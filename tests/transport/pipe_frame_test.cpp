// The frame delimiter and the cutting of messages into pieces.
#include <gtest/gtest.h>

#include <string>

#include "pipe-frame.h"
#include "transport_harness.h"

namespace {

using velk::test::Delimiter;

VelkPipeFrameStatus Parse(const std::string& bytes, VelkPipeFrameHeader* header = nullptr,
                          size_t* length = nullptr) {
    VelkPipeFrameHeader ignored{};
    size_t ignoredLength = 0;
    return VelkPipeParseDelimiter(bytes.data(), bytes.size(), header ? header : &ignored,
                                  length ? length : &ignoredLength);
}

TEST(PipeFrame, DelimiterOfTheExampleCommandIs29Bytes) {
    VelkPipeFrameHeader header{1, 2345, 1, 1, 157, 157};
    char out[VELK_PIPE_MAX_DELIMITER + 1];
    size_t length = VelkPipeFormatDelimiter(&header, out, sizeof out);
    EXPECT_EQ(length, 29u);
    EXPECT_EQ(std::string(out, length),
              std::string("|\x01\x01\x01H:1:2345:1:1:157:157:\x01\x01\x01|"));
}

TEST(PipeFrame, ParsedDelimiterGivesBackItsNumbers) {
    std::string delimiter = Delimiter(4000000000ul, 77, 2, 3, 4020, 9000);
    VelkPipeFrameHeader header{};
    size_t length = 0;
    ASSERT_EQ(Parse(delimiter + "payload", &header, &length), VELK_FRAME_OK);
    EXPECT_EQ(length, delimiter.size());
    EXPECT_EQ(header.sequence, 4000000000u);
    EXPECT_EQ(header.pid, 77);
    EXPECT_EQ(header.piece, 2);
    EXPECT_EQ(header.pieceCount, 3);
    EXPECT_EQ(header.pieceLength, 4020u);
    EXPECT_EQ(header.totalLength, 9000u);

    std::string kindF = delimiter;
    kindF[4] = 'F';
    EXPECT_EQ(Parse(kindF), VELK_FRAME_OK);
}

TEST(PipeFrame, EveryCutThroughADelimiterIsIncomplete) {
    std::string delimiter = Delimiter(12, 345, 1, 1, 10, 10);
    for (size_t cut = 0; cut < delimiter.size(); ++cut) {
        EXPECT_EQ(Parse(delimiter.substr(0, cut)), VELK_FRAME_INCOMPLETE) << "cut at " << cut;
    }
}

TEST(PipeFrame, DelimitersThatDescribeNoPossiblePieceAreInvalid) {
    const std::string start = "|\x01\x01\x01";
    const std::string end = "\x01\x01\x01|";
    const std::string invalid[] = {
        start + "X:1:2:1:1:5:5:" + end,              // unknown kind
        start + "H:1:2:1:1:5a:5:" + end,             // not a number
        start + "H:1::1:1:5:5:" + end,               // empty number
        start + "H:1:2:0:1:5:5:" + end,              // piece 0
        start + "H:1:2:3:2:5:50:" + end,             // piece beyond count
        start + "H:1:2:1:1:4021:4021:" + end,        // piece above 4020 bytes
        start + "H:1:2:1:1:0:5:" + end,              // empty piece
        start + "H:1:2:1:2:100:50:" + end,           // piece longer than message
        start + "H:1:2:1:5000:10:17000000:" + end,   // message beyond 16 MiB
        start + "H:1:2:1:9:1:5:" + end,              // more pieces than bytes
        start + "H:1:0:1:1:5:5:" + end,              // no writer
        start + "H:1:2:1:1:5:5:" + "\x01\x01\x02|",  // bad end marker
        start + "H:1:2:1:1:5:99999999999:" + end,    // beyond 32 bits
        start + "H:0000000001:0000000002:0000000001:0000000001:0000000005:0000000005:" + end,
    };
    for (const std::string& bytes : invalid) {
        EXPECT_EQ(Parse(bytes + "12345"), VELK_FRAME_INVALID) << bytes.substr(4);
    }
}

TEST(PipeFrame, StartMarkerIsFoundEvenWhenCutOffAtTheEnd) {
    EXPECT_EQ(VelkPipeFindStartMarker("ab|\x01\x01\x01H", 7), 2u);
    EXPECT_EQ(VelkPipeFindStartMarker("ab|\x01", 4), 2u);
    EXPECT_EQ(VelkPipeFindStartMarker("ab|x|", 5), 4u);
    EXPECT_EQ(VelkPipeFindStartMarker("ab|x", 4), 4u);
    EXPECT_EQ(VelkPipeFindStartMarker("", 0), 0u);
}

TEST(PipeFrame, MessagesAreCutIntoPiecesOfAtMost4020Bytes) {
    EXPECT_EQ(VelkPipePieceCount(0), 0u);
    EXPECT_EQ(VelkPipePieceCount(157), 1u);
    EXPECT_EQ(VelkPipePieceLength(157, 1), 157u);
    EXPECT_EQ(VelkPipePieceCount(4020), 1u);
    EXPECT_EQ(VelkPipePieceCount(4021), 2u);
    EXPECT_EQ(VelkPipePieceLength(4021, 2), 1u);

    EXPECT_EQ(VelkPipePieceCount(9000), 3u);
    EXPECT_EQ(VelkPipePieceLength(9000, 1), 4020u);
    EXPECT_EQ(VelkPipePieceLength(9000, 2), 4020u);
    EXPECT_EQ(VelkPipePieceLength(9000, 3), 960u);
    EXPECT_EQ(VelkPipePieceLength(9000, 4), 0u);

    EXPECT_EQ(VelkPipePieceCount(8040), 2u);
    EXPECT_EQ(VelkPipePieceLength(8040, 2), 4020u);
}

}  // namespace
