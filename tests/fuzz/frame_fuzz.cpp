// Fuzzes the FIFO frame reader's delimiter checks: whatever bytes arrive,
// finding the start marker and parsing a delimiter stay inside the bytes, an
// accepted delimiter describes a possible piece, and writing that header
// again gives a delimiter that parses back to the same numbers.
#include <cstring>
#include <string>

#include "fuzz-text.h"
#include "pipe-frame.h"

namespace {

bool SameHeader(const VelkPipeFrameHeader& a, const VelkPipeFrameHeader& b) {
    return a.sequence == b.sequence && a.pid == b.pid && a.piece == b.piece &&
           a.pieceCount == b.pieceCount && a.pieceLength == b.pieceLength &&
           a.totalLength == b.totalLength;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    size_t position = 0;
    while (position < size) {
        size_t start = position + VelkPipeFindStartMarker(bytes + position, size - position);
        FUZZ_CHECK(start <= size);
        if (start >= size) {
            break;
        }
        VelkPipeFrameHeader header;
        size_t delimiterLength = 0;
        VelkPipeFrameStatus status =
            VelkPipeParseDelimiter(bytes + start, size - start, &header, &delimiterLength);
        if (status == VELK_FRAME_OK) {
            FUZZ_CHECK(delimiterLength <= size - start);
            FUZZ_CHECK(delimiterLength <= VELK_PIPE_MAX_DELIMITER);
            FUZZ_CHECK(header.piece >= 1 && header.piece <= header.pieceCount);
            FUZZ_CHECK(header.pieceLength >= 1 && header.pieceLength <= VELK_PIPE_MAX_PIECE);
            FUZZ_CHECK(header.pieceLength <= header.totalLength);
            FUZZ_CHECK(header.totalLength <= VELK_PIPE_MAX_MESSAGE);

            char written[VELK_PIPE_MAX_DELIMITER + 1];
            size_t writtenLength = VelkPipeFormatDelimiter(&header, written, sizeof written);
            FUZZ_CHECK(writtenLength > 0);
            VelkPipeFrameHeader again;
            size_t againLength = 0;
            FUZZ_CHECK(VelkPipeParseDelimiter(written, writtenLength, &again, &againLength) ==
                       VELK_FRAME_OK);
            FUZZ_CHECK(againLength == writtenLength);
            FUZZ_CHECK(SameHeader(header, again));
            position = start + delimiterLength;
        } else {
            position = start + 1;
        }
    }
    FUZZ_CHECK(VelkPipePieceCount(static_cast<uint32_t>(size)) * VELK_PIPE_MAX_PIECE >= size);
    return 0;
}
