/* The read/write thread of the FIFO pipe layer: every millisecond it drains
 * the read FIFOs and writes the queued frames, taking each side only when its
 * lock is free at once, so that it never waits for a caller. */
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include "pipe-lowlevel.h"
#include "pipe-state.h"
#include "tracing.h"

int gThreadActive;

static int gRunFlag;
static int gThreadStarted;
static pthread_t gThread;

static int RunFlag(void) {
    return __atomic_load_n(&gRunFlag, __ATOMIC_ACQUIRE);
}

void VelkServicePipes(void) {
    if (VelkPipeTryLockRead()) {
        VTRACE(VELK_TRACE_PIPE, "VelkServicePipes: ***READING***\n");
        for (VelkPipeLink* link = gVelkPipeReadFifos.first; link != NULL; link = link->next) {
            VelkPipeServiceReadQue(((VelkPipeFifoRecord*)link)->fd);
        }
        VTRACE(VELK_TRACE_PIPE, "VelkServicePipes %d Element in READ Que\n",
               (int)gVelkPipeReadQueue.count);
        VelkPipeUnlockRead();
    }
    if (!RunFlag()) {
        return;
    }
    if (VelkPipeTryLockWrite()) {
        VTRACE(VELK_TRACE_PIPE, "VelkServicePipes: ***WRITING***\n");
        int broken = VelkPipeServiceAllWriteQueues();
        VTRACE(VELK_TRACE_PIPE, "VelkServicePipes %d Element in WRITE Que\n",
               (int)gVelkPipeWriteQueue.count);
        VelkPipeUnlockWrite();
        if (broken >= 0) {
            VelkPipeClose(broken);
        }
    }
}

static void* VelkReadWriteThread(void* unused) {
    (void)unused;
    /* Signals are for the threads of the program that started us. */
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, NULL);
    do {
        usleep(1000);
        VelkServicePipes();
    } while (RunFlag());
    VTRACE(VELK_TRACE_PIPE, "VelkReadWriteThread: EXITING\n");
    VTRACE(VELK_TRACE_PIPE2, "read-write thread exiting\n");
    return NULL;
}

int VelkInitReadWriteThread(void) {
    if (gThreadStarted) {
        return 0;
    }
    __atomic_store_n(&gRunFlag, 1, __ATOMIC_RELEASE);
    __atomic_store_n(&gThreadActive, 1, __ATOMIC_RELEASE);
    VTRACE(VELK_TRACE_PIPE2, "creating read/write thread\n");
    int result = pthread_create(&gThread, NULL, VelkReadWriteThread, NULL);
    if (result != 0) {
        __atomic_store_n(&gRunFlag, 0, __ATOMIC_RELEASE);
        __atomic_store_n(&gThreadActive, 0, __ATOMIC_RELEASE);
        return result;
    }
    gThreadStarted = 1;
    return 0;
}

void VelkStopReadWriteThread(void) {
    __atomic_store_n(&gThreadActive, 0, __ATOMIC_RELEASE);
    __atomic_store_n(&gRunFlag, 0, __ATOMIC_RELEASE);
    VTRACE(VELK_TRACE_PIPE2, "VelkStopReadWriteThread: top of function\n");
    if (!gThreadStarted) {
        return;
    }
    VTRACE(VELK_TRACE_PIPE2, "thread_id is %lu\n", (unsigned long)gThread);
    int result = pthread_join(gThread, NULL);
    VTRACE(VELK_TRACE_PIPE2, "pthread_join() returned %d\n", result);
    gThreadStarted = 0;
}
