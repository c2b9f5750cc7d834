/* Write side of the FIFO pipe layer: splitting a message into framed pieces,
 * the write queue and its service, and flushing. */
#include <errno.h>
#include <poll.h>
#include <pthread.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "pipe-lowlevel.h"
#include "pipe-state.h"
#include "test-common.h"
#include "tracing.h"

/* Message sequence counter of this process, guarded by the write-side lock. */
static uint32_t gMessageSequence;

/* The real process id for the frames, asked once per process: a child made
 * by fork asks again. */
static pid_t gWriterPid;
static pthread_once_t gWriterPidOnce = PTHREAD_ONCE_INIT;

static void ForgetWriterPid(void) {
    gWriterPid = 0;
}

static void WatchForks(void) {
    pthread_atfork(NULL, NULL, ForgetWriterPid);
}

static pid_t WriterPid(void) {
    pthread_once(&gWriterPidOnce, WatchForks);
    if (gWriterPid == 0) {
        gWriterPid = getpid();
    }
    return gWriterPid;
}

int VelkPipeWritePipe(int fd, const char* bytes, int length) {
#ifndef __linux__
    /* Where the status of a FIFO tells how much it holds, leave a frame
     * queued that would not fit.  Linux always reports 0 for a FIFO, so there
     * the non-blocking write, which takes a frame whole or not at all, is the
     * check. */
    struct stat status;
    if (fstat(fd, &status) != 0) {
        VTRACE(VELK_TRACE_PIPE, "VelkPipeWritePipe could not get stats for pipe\n");
        return 0;
    }
    long room = (long)VELK_PIPE_CAPACITY - (long)status.st_size;
    if (room < (long)length) {
        VTRACE(VELK_TRACE_PIPE,
               "VelkPipeWrite: Write_Failed Not enough room in pipe need %d, pipe has %d in it "
               "RETURNING\n",
               length, (int)status.st_size);
        return 0;
    }
#endif
    ssize_t written;
    do {
        written = write(fd, bytes, (size_t)length);
    } while (written < 0 && errno == EINTR);
    return (int)written;
}

int VelkPipeServiceWriteQueue(int fd, int* readerGone) {
    int total = 0;
    *readerGone = 0;
    VelkPipeLink* link = gVelkPipeWriteQueue.first;
    while (link != NULL) {
        VelkPipeLink* next = link->next;
        VelkPipeWriteRecord* record = (VelkPipeWriteRecord*)link;
        if (record->fd != fd) {
            link = next;
            continue;
        }
        errno = 0;
        int result = VelkPipeWritePipe(fd, record->frame, (int)record->frameLength);
        if (result < 0 && errno == EPIPE) {
            VTRACE(VELK_TRACE_PIPE, "VelkPipeServiceWriteQue() Broken Pipe RETURNING\n");
            *readerGone = 1;
            return total;
        }
        if (result <= 0) {
            /* FIFO full: the record keeps its place so frames leave in order. */
            VTRACE(VELK_TRACE_PIPE, "VelkPipeServiceWriteQue() Couldn't Write RETURN\n");
            break;
        }
        /* Writes of at most 4096 bytes to a FIFO are all or nothing. */
        total += result - (int)record->delimiterLength;
        VTRACE(VELK_TRACE_PIPE, "VelkPipeServiceWriteQue() Wrote %d bytes from buffer\n", result);
        VelkPipeChainRemove(&gVelkPipeWriteQueue, link);
        VelkPipeFreeWriteRecord(record);
        link = next;
    }
    VTRACE(VELK_TRACE_PIPE, "VelkPipeServiceWriteQue() Return %d bytes\n", total);
    return total;
}

int VelkPipeServiceWriteQue(int fd) {
    int readerGone = 0;
    int total = VelkPipeServiceWriteQueue(fd, &readerGone);
    return readerGone ? VELK_PIPE_BROKEN : total;
}

int VelkPipeServiceAllWriteQueues(void) {
    if (gVelkPipeWriteQueue.count == 0) {
        return -1;
    }
    for (VelkPipeLink* link = gVelkPipeWriteFifos.first; link != NULL; link = link->next) {
        int fd = ((VelkPipeFifoRecord*)link)->fd;
        int readerGone = 0;
        VelkPipeServiceWriteQueue(fd, &readerGone);
        if (readerGone) {
            return fd;
        }
    }
    return -1;
}

static VelkPipeWriteRecord* MakeWriteRecord(int fd, const VelkPipeFrameHeader* header,
                                            const char* piece) {
    VelkPipeWriteRecord* record = calloc(1, sizeof *record);
    VELK_VERIFY(record != NULL);
    char delimiter[VELK_PIPE_MAX_DELIMITER + 1];
    size_t delimiterLength = VelkPipeFormatDelimiter(header, delimiter, sizeof delimiter);
    record->header = *header;
    record->fd = fd;
    record->delimiterLength = delimiterLength;
    record->frameLength = delimiterLength + header->pieceLength;
    record->frame = malloc(record->frameLength + 1);
    VELK_VERIFY(record->frame != NULL);
    memcpy(record->frame, delimiter, delimiterLength);
    memcpy(record->frame + delimiterLength, piece, header->pieceLength);
    record->frame[record->frameLength] = '\0';
    return record;
}

/* Queues the pieces of text for fd and services the queue of fd. */
static int QueueAndService(int fd, const char* text, int length, int* readerGone) {
    *readerGone = 0;
    VelkPipeFrameHeader header;
    header.sequence = ++gMessageSequence;
    header.pid = (int32_t)WriterPid();
    header.pieceCount = (int32_t)VelkPipePieceCount((uint32_t)length);
    header.totalLength = (uint32_t)length;
    if (header.pieceCount > 1) {
        VTRACE(VELK_TRACE_PIPE, "VelkPipeWriteQue() Message Being Divided into %d pieces\n",
               header.pieceCount);
    }
    size_t offset = 0;
    for (int32_t piece = 1; piece <= header.pieceCount; ++piece) {
        header.piece = piece;
        header.pieceLength = VelkPipePieceLength((uint32_t)length, (uint32_t)piece);
        VelkPipeWriteRecord* record = MakeWriteRecord(fd, &header, text + offset);
        VelkPipeChainAppend(&gVelkPipeWriteQueue, &record->link);
        offset += header.pieceLength;
    }
    VTRACE(VELK_TRACE_PIPE, "VelkPipeWriteQue() %d Element in Que\n",
           (int)gVelkPipeWriteQueue.count);
    VelkPipeServiceWriteQueue(fd, readerGone);
    return length;
}

int VelkPipeWriteQue(int fd, const char* text, int length) {
    if (text == NULL || length <= 0 || (uint32_t)length > VELK_PIPE_MAX_MESSAGE) {
        return 0;
    }
    int readerGone = 0;
    int result = QueueAndService(fd, text, length, &readerGone);
    return readerGone ? VELK_PIPE_BROKEN : result;
}

int VelkPipeWrite(int fd, const char* text, int length) {
    if (length == 0) {
        return 0;
    }
    if (text == NULL || length < 0 || (uint32_t)length > VELK_PIPE_MAX_MESSAGE) {
        VTRACE(VELK_TRACE_PIPE, "VelkPipeWrite() message of %d bytes refused\n", length);
        return -1;
    }
    VelkPipeLockWrite();
    if (VelkPipeFindFifo(&gVelkPipeWriteFifos, fd) == NULL) {
        VelkPipeUnlockWrite();
        VTRACE(VELK_TRACE_PIPE, "VelkPipeWrite() PIPE NOT OPEN\n");
        return -1;
    }
    int readerGone = 0;
    int result = QueueAndService(fd, text, length, &readerGone);
    VelkPipeUnlockWrite();
    if (readerGone) {
        VelkPipeClose(fd);
        return 0;
    }
    return result;
}

size_t VelkPipeQueuedBytes(int fd) {
    size_t total = 0;
    VelkPipeLockWrite();
    for (VelkPipeLink* link = gVelkPipeWriteQueue.first; link != NULL; link = link->next) {
        const VelkPipeWriteRecord* record = (const VelkPipeWriteRecord*)link;
        if (record->fd == fd) {
            total += record->frameLength;
        }
    }
    VelkPipeUnlockWrite();
    return total;
}

static int QueuedRecordsOf(int fd) {
    for (VelkPipeLink* link = gVelkPipeWriteQueue.first; link != NULL; link = link->next) {
        if (((VelkPipeWriteRecord*)link)->fd == fd) {
            return 1;
        }
    }
    return 0;
}

/* Waits until fd can take more bytes, at most milliseconds. */
static void WaitForRoom(int fd, int milliseconds) {
    struct pollfd watched = {.fd = fd, .events = POLLOUT, .revents = 0};
    if (poll(&watched, 1, milliseconds) < 0 && errno != EINTR) {
        VelkWait((uint32_t)milliseconds);
    }
}

int VelkFlushWritePipe(int fd, int timeoutMs) {
    enum { kFlushStepMs = 350 };
    VelkPipeLockWrite();
    uint32_t start = VelkMilliSeconds();
    VTRACE(VELK_TRACE_PIPE, "VelkFlushWritePipe() %d Elements in Que\n",
           (int)gVelkPipeWriteQueue.count);
    int readerGone = 0;
    while (QueuedRecordsOf(fd)) {
        VelkPipeServiceWriteQueue(fd, &readerGone);
        if (readerGone || !QueuedRecordsOf(fd)) {
            break;
        }
        int elapsed = (int)(VelkMilliSeconds() - start);
        if (elapsed >= timeoutMs) {
            break;
        }
        int step = timeoutMs - elapsed < kFlushStepMs ? timeoutMs - elapsed : kFlushStepMs;
        WaitForRoom(fd, step);
    }
    VTRACE(VELK_TRACE_PIPE, "VelkFlushWritePipe() %d Elements in Que\n",
           (int)gVelkPipeWriteQueue.count);
    VelkPipeUnlockWrite();
    if (readerGone) {
        VelkPipeClose(fd);
    }
    VelkPipeLockWrite();
    int left = (int)gVelkPipeWriteQueue.count;
    VelkPipeUnlockWrite();
    return left;
}
