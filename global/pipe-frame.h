/* Frame format of the FIFO pipe layer: building and checking the delimiter
 * that precedes every piece of a message, and cutting a message into pieces.
 * Pure functions over byte buffers, shared by the writer, the reader, the
 * tests and the fuzz target. */
#ifndef VELK_PIPE_FRAME_H
#define VELK_PIPE_FRAME_H

#include <stddef.h>
#include <stdint.h>

#include "velk-export.h"

VELK_BEGIN_DECLS

#define VELK_PIPE_START_MARKER "|\x01\x01\x01"
#define VELK_PIPE_END_MARKER "\x01\x01\x01|"
#define VELK_PIPE_MARKER_LENGTH 4u
/* Longest delimiter a reader recognises. */
#define VELK_PIPE_MAX_DELIMITER 63u
/* Largest piece; a frame is at most 63 + 4020 = 4083 bytes. */
#define VELK_PIPE_MAX_PIECE 4020u
#define VELK_PIPE_MAX_FRAME (VELK_PIPE_MAX_DELIMITER + VELK_PIPE_MAX_PIECE)
/* Room the writer assumes a FIFO has; frames up to this size are written
 * whole by one write call. */
#define VELK_PIPE_CAPACITY 4096u
/* Largest whole message the layer sends or assembles; a frame announcing more
 * is rejected, so a bad frame cannot make the reader allocate without bound. */
#define VELK_PIPE_MAX_MESSAGE (16u * 1024u * 1024u)

/* The six numbers of a delimiter. */
typedef struct VelkPipeFrameHeader {
    uint32_t sequence;    /* message number of the writer, from 1 */
    int32_t pid;          /* writer's process id */
    int32_t piece;        /* piece number, from 1 */
    int32_t pieceCount;   /* pieces of the message */
    uint32_t pieceLength; /* bytes of this piece */
    uint32_t totalLength; /* bytes of the whole message */
} VelkPipeFrameHeader;

typedef enum VelkPipeFrameStatus {
    VELK_FRAME_OK = 0,         /* a valid delimiter; *delimiterLength set */
    VELK_FRAME_INCOMPLETE = 1, /* a valid beginning that the bytes end inside */
    VELK_FRAME_INVALID = 2     /* not a delimiter this layer accepts */
} VelkPipeFrameStatus;

/* Writes the delimiter of header (kind "H") into out, NUL-terminated; its
 * length, or 0 when it does not fit in size bytes. */
size_t VelkPipeFormatDelimiter(const VelkPipeFrameHeader* header, char* out, size_t size);

/* Checks the delimiter at the start of bytes (available bytes, not
 * NUL-terminated).  Accepts kind "H" or "F", six decimal numbers each ended by
 * ":", at most 63 bytes in all, and numbers that describe a possible piece:
 * 1 <= piece <= pieceCount <= totalLength, 1 <= pieceLength <= 4020,
 * pieceLength <= totalLength <= 16 MiB, pid above 0.  Never reads beyond
 * available bytes.  On VELK_FRAME_OK fills header and *delimiterLength. */
VelkPipeFrameStatus VelkPipeParseDelimiter(const char* bytes, size_t available,
                                           VelkPipeFrameHeader* header, size_t* delimiterLength);

/* Position of the first start marker in bytes, or available when there is
 * none.  A marker cut off by the end of the bytes is reported where it begins,
 * so that the caller keeps it for the next read. */
size_t VelkPipeFindStartMarker(const char* bytes, size_t available);

/* Number of pieces for a message of length bytes (0 for 0). */
uint32_t VelkPipePieceCount(uint32_t length);
/* Length of piece number piece (from 1) of a message of length bytes. */
uint32_t VelkPipePieceLength(uint32_t length, uint32_t piece);

VELK_END_DECLS

#endif
