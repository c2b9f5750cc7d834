/* Waiting for a whole message on a read FIFO, with a time limit. */
#include <errno.h>
#include <poll.h>

#include "pipe-lowlevel.h"
#include "pipe-state.h"
#include "test-common.h"
#include "tracing.h"

/* A wait of this many milliseconds or less left is not worth starting. */
enum { kMinimumRewaitMs = 50 };

/* Writes what the write FIFOs take now, if the write side is free at once,
 * and closes a FIFO whose reader has gone. */
static void ServiceWritesIfFree(void) {
    if (!VelkPipeTryLockWrite()) {
        return;
    }
    int broken = VelkPipeServiceAllWriteQueues();
    VelkPipeUnlockWrite();
    if (broken >= 0) {
        VelkPipeClose(broken);
    }
}

/* A FIFO without any writer reports hang-up at once and for as long as no
 * writer opens it; such a wait is paced in steps of this many milliseconds. */
enum { kHangUpStepMs = 10 };

/* One wait for fd to become readable: 1 readable, 0 time out, -1 failure. */
static int WaitReadable(int fd, int timeoutMs) {
    struct pollfd watched = {.fd = fd, .events = POLLIN, .revents = 0};
    int result = poll(&watched, 1, timeoutMs < 0 ? 0 : timeoutMs);
    if (result <= 0) {
        return result;
    }
    if ((watched.revents & POLLNVAL) != 0) {
        errno = EBADF;
        return -1;
    }
    if ((watched.revents & POLLIN) == 0) {
        VelkSleep(timeoutMs < kHangUpStepMs ? (uint32_t)(timeoutMs < 0 ? 0 : timeoutMs)
                                            : kHangUpStepMs);
    }
    return 1;
}

int VelkPipeSelect(int fd, int other, int timeoutMs) {
    (void)other;
    uint32_t start = VelkMilliSeconds();

    /* Bytes already waiting in the FIFO make the wait below end at once, so
     * they are drained there rather than by a read ahead of it. */
    ServiceWritesIfFree();

    int result;
    VelkPipeLockRead();
    VTRACE(VELK_TRACE_PIPE, "VelkPipeSelect %d Element in READ Que\n",
           (int)gVelkPipeReadQueue.count);
    int listed = VelkPipeFindFifo(&gVelkPipeReadFifos, fd) != NULL;
    if (VelkPipeWholeMessageQueued(fd)) {
        VTRACE(VELK_TRACE_PIPE, "VelkPipeSelect() DATA in READ Q\n");
        result = 1;
    } else if (!listed) {
        /* Nothing can arrive on a descriptor this layer does not read: wait
         * as asked instead of watching a descriptor that may be another's. */
        VelkPipeUnlockRead();
        VelkWait((uint32_t)(timeoutMs < 0 ? 0 : timeoutMs));
        VelkPipeLockRead();
        result = 0;
    } else {
        int remaining = timeoutMs;
        for (;;) {
            VTRACE(VELK_TRACE_PIPE, "VelkPipeSelect() timout %d\n", remaining);
            result = WaitReadable(fd, remaining);
            if (result <= 0) {
                break;
            }
            VelkPipeReadQue(fd);
            if (VelkPipeWholeMessageQueued(fd)) {
                break;
            }
            VTRACE(VELK_TRACE_PIPE, "VelkPipeSelect Incomplet Message\n");
            int elapsed = (int)(VelkMilliSeconds() - start);
            remaining = timeoutMs - elapsed;
            if (remaining <= kMinimumRewaitMs) {
                VTRACE(VELK_TRACE_PIPE, "VelkPipeSelect Time is Up\n");
                break;
            }
            VTRACE(VELK_TRACE_PIPE, "VelkPipeSelect Select again time remaning %d\n", remaining);
        }
    }
    VelkPipeUnlockRead();
    VTRACE(VELK_TRACE_PIPE, "VelkPipeSelect() elapsed time %d\n",
           (int)(VelkMilliSeconds() - start));
    VTRACE(VELK_TRACE_PIPE, "VelkPipeSelect() Returning %d\n", result);
    return result;
}
