/* Messages of the read side whose pieces have not all arrived yet.
 *
 * They wait in their own queue, apart from the whole messages, so that a
 * writer that stops between two pieces holds back nobody else.  A buffer
 * grows with the pieces received rather than being sized by the length the
 * first piece announces, and the limits bound how many such messages and how
 * many buffer bytes are held at once; a message whose writer has sent nothing
 * for it within the idle limit is dropped.  All of it runs with the read-side
 * lock held. */
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "pipe-lowlevel.h"
#include "pipe-state.h"
#include "test-common.h"
#include "tracing.h"

VelkPipeChain gVelkPipePartialQueue;

static const VelkPipePartialLimits kDefaultLimits = {
    VELK_PIPE_PARTIAL_IDLE_MS, VELK_PIPE_PARTIAL_MAX_MESSAGES, VELK_PIPE_PARTIAL_MAX_BYTES};
static VelkPipePartialLimits gLimits = {VELK_PIPE_PARTIAL_IDLE_MS, VELK_PIPE_PARTIAL_MAX_MESSAGES,
                                        VELK_PIPE_PARTIAL_MAX_BYTES};
/* Sum of the capacities of the records in the partial queue. */
static size_t gPartialBytes;

static uint64_t MonotonicMs(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (uint64_t)now.tv_sec * 1000u + (uint64_t)now.tv_nsec / 1000000u;
}

void VelkPipeSetPartialLimits(const VelkPipePartialLimits* limits) {
    VelkPipeLockRead();
    gLimits = limits != NULL ? *limits : kDefaultLimits;
    VelkPipeUnlockRead();
}

void VelkPipePartialUsage(size_t* messages, size_t* bytes) {
    VelkPipeLockRead();
    if (messages != NULL) {
        *messages = gVelkPipePartialQueue.count;
    }
    if (bytes != NULL) {
        *bytes = gPartialBytes;
    }
    VelkPipeUnlockRead();
}

/* Takes record out of the partial queue and out of the accounting. */
static void Unqueue(VelkPipeReadRecord* record) {
    VelkPipeChainRemove(&gVelkPipePartialQueue, &record->link);
    if (record->countedAsPartial) {
        gPartialBytes -= record->capacity;
        record->countedAsPartial = 0;
    }
}

void VelkPipePartialDiscard(VelkPipeReadRecord* record, const char* why) {
    VTRACE(VELK_TRACE_PIPE, "VelkPipeReadQue() dropping message %u of pid %d: %s\n",
           (unsigned)record->sequence, (int)record->pid, why);
    Unqueue(record);
    VelkPipeFreeReadRecord(record);
}

size_t VelkPipePartialDiscardOf(int fd, int32_t pid, const char* why) {
    size_t dropped = 0;
    VelkPipeLink* link = gVelkPipePartialQueue.first;
    while (link != NULL) {
        VelkPipeLink* next = link->next;
        VelkPipeReadRecord* record = (VelkPipeReadRecord*)link;
        if ((fd < 0 || record->fd == fd) && (pid < 0 || record->pid == pid)) {
            VelkPipePartialDiscard(record, why);
            ++dropped;
        }
        link = next;
    }
    return dropped;
}

VelkPipeReadRecord* VelkPipePartialFind(int fd, uint32_t sequence, int32_t pid) {
    for (VelkPipeLink* link = gVelkPipePartialQueue.first; link != NULL; link = link->next) {
        VelkPipeReadRecord* record = (VelkPipeReadRecord*)link;
        if (record->fd == fd && record->sequence == sequence && record->pid == pid) {
            return record;
        }
    }
    return NULL;
}

void VelkPipePartialAgeOut(void) {
    if (gVelkPipePartialQueue.count == 0) {
        return;
    }
    uint64_t now = MonotonicMs();
    VelkPipeLink* link = gVelkPipePartialQueue.first;
    while (link != NULL) {
        VelkPipeLink* next = link->next;
        VelkPipeReadRecord* record = (VelkPipeReadRecord*)link;
        if (now - record->lastPieceMs >= gLimits.idleMs) {
            VelkPipePartialDiscard(record, "no piece of it arrived within the idle limit");
        }
        link = next;
    }
}

/* Room for more bytes within the byte limit. */
static int BytesAvailable(size_t more) {
    return gPartialBytes <= gLimits.maxBytes && more <= gLimits.maxBytes - gPartialBytes;
}

VelkPipeReadRecord* VelkPipePartialStart(int fd, const VelkPipeFrameHeader* header,
                                         const char* piece) {
    /* Room for this piece and the next: most messages have two or three. */
    size_t capacity = (size_t)header->pieceLength * 2u;
    if (capacity > (size_t)header->totalLength + 1u) {
        capacity = (size_t)header->totalLength + 1u;
    }
    if (gVelkPipePartialQueue.count >= gLimits.maxMessages || !BytesAvailable(capacity)) {
        VTRACE(VELK_TRACE_PIPE,
               "VelkPipeReadQue() refused message %u of pid %d: %u incomplete messages, %lu "
               "bytes held\n",
               (unsigned)header->sequence, (int)header->pid, (unsigned)gVelkPipePartialQueue.count,
               (unsigned long)gPartialBytes);
        return NULL;
    }
    VelkPipeReadRecord* record = calloc(1, sizeof *record);
    VELK_VERIFY(record != NULL);
    record->data = malloc(capacity);
    VELK_VERIFY(record->data != NULL);
    record->capacity = capacity;
    record->sequence = header->sequence;
    record->pid = header->pid;
    record->lastPiece = 1;
    record->pieceCount = header->pieceCount;
    record->totalLength = header->totalLength;
    record->fd = fd;
    memcpy(record->data, piece, header->pieceLength);
    record->assembled = header->pieceLength;
    record->lastPieceMs = MonotonicMs();
    record->countedAsPartial = 1;
    gPartialBytes += capacity;
    VelkPipeChainAppend(&gVelkPipePartialQueue, &record->link);
    return record;
}

/* Makes room for length more bytes, doubling the buffer up to the whole
 * message; 0 when the byte limit refuses it. */
static int Reserve(VelkPipeReadRecord* record, size_t length) {
    size_t needed = (size_t)record->assembled + length + 1u;
    if (needed <= record->capacity) {
        return 1;
    }
    size_t capacity = record->capacity * 2u;
    if (capacity < needed) {
        capacity = needed;
    }
    if (capacity > (size_t)record->totalLength + 1u) {
        capacity = (size_t)record->totalLength + 1u;
    }
    if (!BytesAvailable(capacity - record->capacity)) {
        return 0;
    }
    char* grown = realloc(record->data, capacity);
    VELK_VERIFY(grown != NULL);
    gPartialBytes += capacity - record->capacity;
    record->data = grown;
    record->capacity = capacity;
    return 1;
}

int VelkPipePartialAppend(VelkPipeReadRecord* record, const VelkPipeFrameHeader* header,
                          const char* piece) {
    if (!Reserve(record, header->pieceLength)) {
        VelkPipePartialDiscard(record, "the bytes held for incomplete messages are at the limit");
        return 0;
    }
    memcpy(record->data + record->assembled, piece, header->pieceLength);
    record->assembled += header->pieceLength;
    record->lastPiece = header->piece;
    record->lastPieceMs = MonotonicMs();
    if (record->lastPiece == record->pieceCount) {
        if (record->assembled != record->totalLength) {
            VelkPipePartialDiscard(record, "its pieces are shorter than the message");
            return 0;
        }
        Unqueue(record);
        VelkPipeChainAppend(&gVelkPipeReadQueue, &record->link);
    }
    return 1;
}
