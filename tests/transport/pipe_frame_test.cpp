// The frame delimiter and the cutting of messages into pieces.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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

TEST(PipeFrame, DelimiterOfTheExampleCommandIs29BytesAndParsesBack) {
    VelkPipeFrameHeader header{1, 2345, 1, 1, 157, 157};
    char out[VELK_PIPE_MAX_DELIMITER + 1];
    size_t length = VelkPipeFormatDelimiter(&header, out, sizeof out);
    EXPECT_EQ(std::string(out, length),
              std::string("|\x01\x01\x01H:1:2345:1:1:157:157:\x01\x01\x01|"));

    std::string delimiter = Delimiter(4000000000ul, 77, 2, 3, 4020, 9000);
    for (char kind : {'H', 'F'}) {
        delimiter[4] = kind;
        VelkPipeFrameHeader parsed{};
        ASSERT_EQ(Parse(delimiter + "payload", &parsed, &length), VELK_FRAME_OK) << kind;
        EXPECT_EQ(length, delimiter.size());
        EXPECT_TRUE(parsed.sequence == 4000000000u && parsed.pid == 77 && parsed.piece == 2 &&
                    parsed.pieceCount == 3 && parsed.pieceLength == 4020u &&
                    parsed.totalLength == 9000u);
    }
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
    const std::pair<std::string, size_t> cases[] = {
        {"ab|\x01\x01\x01H", 2}, {"ab|\x01", 2}, {"ab|x|", 4}, {"ab|x", 4}, {"", 0}};
    for (const auto& [bytes, position] : cases) {
        EXPECT_EQ(VelkPipeFindStartMarker(bytes.data(), bytes.size()), position) << bytes;
    }
}

TEST(PipeFrame, MessagesAreCutIntoPiecesOfAtMost4020Bytes) {
    struct Case {
        uint32_t length, count;
        std::vector<uint32_t> pieces;  // then 0 for the piece after the last
    };
    const Case cases[] = {
        {0, 0, {}},           {157, 1, {157}},         {4020, 1, {4020}},
        {4021, 2, {4020, 1}}, {8040, 2, {4020, 4020}}, {9000, 3, {4020, 4020, 960}}};
    for (const Case& c : cases) {
        EXPECT_EQ(VelkPipePieceCount(c.length), c.count) << c.length;
        for (uint32_t piece = 1; piece <= c.pieces.size() + 1; ++piece) {
            uint32_t expected = piece <= c.pieces.size() ? c.pieces[piece - 1] : 0;
            EXPECT_EQ(VelkPipePieceLength(c.length, piece), expected) << c.length << "/" << piece;
        }
    }
}

}  // namespace
