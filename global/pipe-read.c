/* Read side of the FIFO pipe layer: draining a FIFO into the read queue,
 * assembling pieces into whole messages and delivering them.
 *
 * The reader trusts nothing it reads.  Bytes before a start marker are
 * skipped; a delimiter that does not check out is passed over and the reader
 * resynchronises on the next start marker; a frame that the bytes of one read
 * end inside is kept in the FIFO's carry area and completed by the next read;
 * a piece that does not continue a message in order, or would overrun the
 * announced length, discards that message. */
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "pipe-lowlevel.h"
#include "pipe-state.h"
#include "test-common.h"
#include "tracing.h"

/* Reads taken in by one drain, so that a writer that never stops cannot keep
 * a caller inside the drain; the rest waits for the next one. */
enum { kMaxReadsPerDrain = 256 };

int VelkPipeReadPipe(int fd, char* buffer, int size) {
    ssize_t result;
    do {
        result = read(fd, buffer, (size_t)size);
    } while (result < 0 && errno == EINTR);
    return (int)result;
}

/* A message of one piece is whole at once and goes straight to the read
 * queue; a longer one waits in the partial queue for its other pieces.  A
 * writer sends the pieces of its messages to one FIFO in order, so a new
 * message from it means an unfinished earlier one will never be completed. */
static void StartMessage(int fd, const VelkPipeFrameHeader* header, const char* piece) {
    VelkPipePartialDiscardOf(fd, header->pid, "a newer message of the writer began");
    if (header->pieceCount > 1) {
        VelkPipePartialStart(fd, header, piece);
        return;
    }
    if (header->pieceLength != header->totalLength) {
        VTRACE(VELK_TRACE_PIPE, "VelkPipeReadQue() dropping message %u of pid %d: %s\n",
               (unsigned)header->sequence, (int)header->pid,
               "its only piece is shorter than the message");
        return;
    }
    VelkPipeReadRecord* record = calloc(1, sizeof *record);
    VELK_VERIFY(record != NULL);
    record->data = malloc((size_t)header->totalLength + 1u);
    VELK_VERIFY(record->data != NULL);
    record->capacity = (size_t)header->totalLength + 1u;
    record->sequence = header->sequence;
    record->pid = header->pid;
    record->lastPiece = 1;
    record->pieceCount = 1;
    record->totalLength = header->totalLength;
    record->fd = fd;
    memcpy(record->data, piece, header->pieceLength);
    record->assembled = header->pieceLength;
    VelkPipeChainAppend(&gVelkPipeReadQueue, &record->link);
    VTRACE(VELK_TRACE_PIPE, "VelkPipeReadQue() FIFO %d\n", fd);
}

static void ContinueMessage(int fd, const VelkPipeFrameHeader* header, const char* piece) {
    VelkPipeReadRecord* record = VelkPipePartialFind(fd, header->sequence, header->pid);
    if (record == NULL) {
        VTRACE(VELK_TRACE_PIPE, "VelkPipeReadQue() piece %d of an unknown message dropped\n",
               (int)header->piece);
        return;
    }
    if (header->piece != record->lastPiece + 1 || header->pieceCount != record->pieceCount ||
        header->totalLength != record->totalLength ||
        header->pieceLength > record->totalLength - record->assembled) {
        VelkPipePartialDiscard(record, "a piece does not continue it");
        return;
    }
    VelkPipePartialAppend(record, header, piece);
}

/* Walks bytes frame by frame and files each piece.  Returns how many bytes
 * were consumed; the rest is the beginning of a frame that the bytes end
 * inside.  *payload receives the piece bytes taken in. */
static size_t FileFrames(int fd, const char* bytes, size_t length, int* payload) {
    size_t pos = 0;
    while (pos < length) {
        size_t start = pos + VelkPipeFindStartMarker(bytes + pos, length - pos);
        if (start > pos) {
            VTRACE(VELK_TRACE_PIPE, "VelkPipeReadQue() %d bytes without delimiter skipped\n",
                   (int)(start - pos));
        }
        if (start >= length) {
            return length;
        }
        VelkPipeFrameHeader header;
        size_t delimiterLength = 0;
        VelkPipeFrameStatus status =
            VelkPipeParseDelimiter(bytes + start, length - start, &header, &delimiterLength);
        if (status == VELK_FRAME_INCOMPLETE) {
            return start;
        }
        if (status == VELK_FRAME_INVALID) {
            VTRACE(VELK_TRACE_PIPE, "VelkPipeReadQue() invalid delimiter skipped\n");
            pos = start + 1;
            continue;
        }
        if (length - start - delimiterLength < header.pieceLength) {
            return start;
        }
        const char* piece = bytes + start + delimiterLength;
        if (header.piece == 1) {
            StartMessage(fd, &header, piece);
        } else {
            ContinueMessage(fd, &header, piece);
        }
        *payload += (int)header.pieceLength;
        pos = start + delimiterLength + header.pieceLength;
    }
    return pos;
}

int VelkPipeDrain(int fd) {
    VelkPipeFifoRecord* fifo = VelkPipeFindFifo(&gVelkPipeReadFifos, fd);
    if (fifo == NULL) {
        return 0;
    }
    VelkPipePartialAgeOut();
    /* The carried bytes (less than one frame) followed by one read. */
    char bytes[VELK_PIPE_MAX_FRAME + VELK_PIPE_CAPACITY];
    int payload = 0;
    for (int reads = 0; reads < kMaxReadsPerDrain; ++reads) {
        memcpy(bytes, fifo->carry, fifo->carryLength);
        int got = VelkPipeReadPipe(fd, bytes + fifo->carryLength, (int)VELK_PIPE_CAPACITY);
        if (got <= 0) {
            break;
        }
        size_t length = fifo->carryLength + (size_t)got;
        size_t consumed = FileFrames(fd, bytes, length, &payload);
        fifo->carryLength = length - consumed;
        memcpy(fifo->carry, bytes + consumed, fifo->carryLength);
        if (got < (int)VELK_PIPE_CAPACITY) {
            /* A short read emptied the FIFO; asking again would only fail. */
            break;
        }
    }
    return payload;
}

int VelkPipeReadQue(int fd) {
    int payload = VelkPipeDrain(fd);
    VTRACE(VELK_TRACE_PIPE, "VelkPipeReadQue() %d Element in Que\n", (int)gVelkPipeReadQueue.count);
    return payload;
}

int VelkPipeServiceReadQue(int fd) {
    VTRACE(VELK_TRACE_PIPE, "VelkPipeServiceReadQue() FIFO %d\n", fd);
    return VelkPipeReadQue(fd);
}

/* Appends the whole messages of fd in the order they became whole. */
static size_t CollectWholeMessages(int fd, char** text) {
    size_t capacity = 2048;
    size_t used = 0;
    char* out = malloc(capacity);
    VELK_VERIFY(out != NULL);
    VelkPipeLink* link = gVelkPipeReadQueue.first;
    while (link != NULL) {
        VelkPipeLink* next = link->next;
        VelkPipeReadRecord* record = (VelkPipeReadRecord*)link;
        if (record->fd != fd) {
            link = next;
            continue;
        }
        if (used + record->assembled + 1 > capacity) {
            capacity = used + record->assembled + 1;
            char* grown = realloc(out, capacity);
            VELK_VERIFY(grown != NULL);
            out = grown;
        }
        memcpy(out + used, record->data, record->assembled);
        used += record->assembled;
        VelkPipeChainRemove(&gVelkPipeReadQueue, link);
        VelkPipeFreeReadRecord(record);
        link = next;
    }
    if (used == 0) {
        free(out);
        *text = NULL;
        return 0;
    }
    out[used] = '\0';
    *text = out;
    return used;
}

int VelkPipeRead(int fd, char** text) {
    if (text == NULL) {
        return 0;
    }
    VelkPipeLockRead();
    VelkPipeReadQue(fd);
    size_t used = CollectWholeMessages(fd, text);
    VelkPipeUnlockRead();
    return (int)used;
}

int VelkPipeReadQueued(int fd, char** text) {
    if (text == NULL) {
        return 0;
    }
    VelkPipeLockRead();
    size_t used = CollectWholeMessages(fd, text);
    VelkPipeUnlockRead();
    return (int)used;
}

int VelkPipeDropPartialMessages(int fd, int pid) {
    VelkPipeLockRead();
    size_t dropped = VelkPipePartialDiscardOf(fd, pid, "its writer has gone");
    VelkPipeUnlockRead();
    return (int)dropped;
}
