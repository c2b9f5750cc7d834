/* Delimiter building and checking for the FIFO pipe layer. */
#include "pipe-frame.h"

#include <stdio.h>
#include <string.h>

size_t VelkPipeFormatDelimiter(const VelkPipeFrameHeader* header, char* out, size_t size) {
    if (header == NULL || out == NULL) {
        return 0;
    }
    int written = snprintf(out, size, "%s%c:%lu:%i:%i:%i:%lu:%lu:%s", VELK_PIPE_START_MARKER, 'H',
                           (unsigned long)header->sequence, (int)header->pid, (int)header->piece,
                           (int)header->pieceCount, (unsigned long)header->pieceLength,
                           (unsigned long)header->totalLength, VELK_PIPE_END_MARKER);
    if (written < 0 || (size_t)written >= size) {
        return 0;
    }
    return (size_t)written;
}

/* Reads one decimal number ended by ":" starting at *pos.  Returns OK with
 * *value and *pos after the ":", INCOMPLETE when the bytes end first, or
 * INVALID for a non-digit, an empty number, more than ten digits or a value
 * beyond 32 bits. */
static VelkPipeFrameStatus ReadNumber(const char* bytes, size_t available, size_t* pos,
                                      uint32_t* value) {
    uint64_t number = 0;
    size_t digits = 0;
    size_t at = *pos;
    for (;;) {
        if (at >= available || at >= VELK_PIPE_MAX_DELIMITER) {
            return at >= VELK_PIPE_MAX_DELIMITER ? VELK_FRAME_INVALID : VELK_FRAME_INCOMPLETE;
        }
        char c = bytes[at];
        if (c == ':') {
            break;
        }
        if (c < '0' || c > '9' || digits == 10) {
            return VELK_FRAME_INVALID;
        }
        number = number * 10u + (uint64_t)(c - '0');
        ++digits;
        ++at;
    }
    if (digits == 0 || number > UINT32_MAX) {
        return VELK_FRAME_INVALID;
    }
    *value = (uint32_t)number;
    *pos = at + 1;
    return VELK_FRAME_OK;
}

/* Compares the bytes at pos with a marker as far as they go. */
static VelkPipeFrameStatus MatchMarker(const char* bytes, size_t available, size_t pos,
                                       const char* marker) {
    for (size_t i = 0; i < VELK_PIPE_MARKER_LENGTH; ++i) {
        if (pos + i >= available) {
            return VELK_FRAME_INCOMPLETE;
        }
        if (bytes[pos + i] != marker[i]) {
            return VELK_FRAME_INVALID;
        }
    }
    return VELK_FRAME_OK;
}

static int NumbersDescribeAPiece(const VelkPipeFrameHeader* h) {
    if (h->pid <= 0 || h->piece < 1 || h->pieceCount < 1 || h->piece > h->pieceCount) {
        return 0;
    }
    if (h->pieceLength < 1 || h->pieceLength > VELK_PIPE_MAX_PIECE) {
        return 0;
    }
    if (h->totalLength < h->pieceLength || h->totalLength > VELK_PIPE_MAX_MESSAGE) {
        return 0;
    }
    /* Every piece carries at least one byte. */
    return (uint32_t)h->pieceCount <= h->totalLength;
}

VelkPipeFrameStatus VelkPipeParseDelimiter(const char* bytes, size_t available,
                                           VelkPipeFrameHeader* header, size_t* delimiterLength) {
    if (bytes == NULL || header == NULL || delimiterLength == NULL) {
        return VELK_FRAME_INVALID;
    }
    VelkPipeFrameStatus status = MatchMarker(bytes, available, 0, VELK_PIPE_START_MARKER);
    if (status != VELK_FRAME_OK) {
        return status;
    }
    size_t pos = VELK_PIPE_MARKER_LENGTH;
    if (pos + 2 > available) {
        if (pos < available && bytes[pos] != 'H' && bytes[pos] != 'F') {
            return VELK_FRAME_INVALID;
        }
        return VELK_FRAME_INCOMPLETE;
    }
    if ((bytes[pos] != 'H' && bytes[pos] != 'F') || bytes[pos + 1] != ':') {
        return VELK_FRAME_INVALID;
    }
    pos += 2;

    uint32_t numbers[6];
    for (size_t i = 0; i < 6; ++i) {
        status = ReadNumber(bytes, available, &pos, &numbers[i]);
        if (status != VELK_FRAME_OK) {
            return status;
        }
    }
    if (pos + VELK_PIPE_MARKER_LENGTH > VELK_PIPE_MAX_DELIMITER) {
        return VELK_FRAME_INVALID;
    }
    status = MatchMarker(bytes, available, pos, VELK_PIPE_END_MARKER);
    if (status != VELK_FRAME_OK) {
        return status;
    }
    VelkPipeFrameHeader parsed;
    parsed.sequence = numbers[0];
    parsed.pid = numbers[1] > INT32_MAX ? -1 : (int32_t)numbers[1];
    parsed.piece = numbers[2] > INT32_MAX ? -1 : (int32_t)numbers[2];
    parsed.pieceCount = numbers[3] > INT32_MAX ? -1 : (int32_t)numbers[3];
    parsed.pieceLength = numbers[4];
    parsed.totalLength = numbers[5];
    if (!NumbersDescribeAPiece(&parsed)) {
        return VELK_FRAME_INVALID;
    }
    *header = parsed;
    *delimiterLength = pos + VELK_PIPE_MARKER_LENGTH;
    return VELK_FRAME_OK;
}

size_t VelkPipeFindStartMarker(const char* bytes, size_t available) {
    if (bytes == NULL) {
        return available;
    }
    for (size_t i = 0; i < available; ++i) {
        if (bytes[i] != '|') {
            continue;
        }
        size_t rest = available - i;
        size_t compare = rest < VELK_PIPE_MARKER_LENGTH ? rest : VELK_PIPE_MARKER_LENGTH;
        if (memcmp(bytes + i, VELK_PIPE_START_MARKER, compare) == 0) {
            return i;
        }
    }
    return available;
}

uint32_t VelkPipePieceCount(uint32_t length) {
    return (uint32_t)(((uint64_t)length + VELK_PIPE_MAX_PIECE - 1u) / VELK_PIPE_MAX_PIECE);
}

uint32_t VelkPipePieceLength(uint32_t length, uint32_t piece) {
    uint32_t count = VelkPipePieceCount(length);
    if (piece < 1 || piece > count) {
        return 0;
    }
    if (piece < count) {
        return VELK_PIPE_MAX_PIECE;
    }
    return length - (count - 1u) * VELK_PIPE_MAX_PIECE;
}
