/* Lists, queues and locks of the FIFO pipe layer. */
#include "pipe-state.h"

#include <stdlib.h>

#include "test-common.h"

VelkPipeChain gVelkPipeReadFifos;
VelkPipeChain gVelkPipeWriteFifos;
VelkPipeChain gVelkPipeReadQueue;
VelkPipeChain gVelkPipeWriteQueue;

void VelkPipeChainAppend(VelkPipeChain* chain, VelkPipeLink* link) {
    link->next = NULL;
    link->prev = chain->last;
    if (chain->last != NULL) {
        chain->last->next = link;
    } else {
        chain->first = link;
    }
    chain->last = link;
    ++chain->count;
}

void VelkPipeChainRemove(VelkPipeChain* chain, VelkPipeLink* link) {
    if (link->prev != NULL) {
        link->prev->next = link->next;
    } else {
        chain->first = link->next;
    }
    if (link->next != NULL) {
        link->next->prev = link->prev;
    } else {
        chain->last = link->prev;
    }
    link->prev = NULL;
    link->next = NULL;
    --chain->count;
}

void VelkPipeLockRead(void) {
    VELK_LOCK(VELK_MUTEX_PIPE_READ);
}

void VelkPipeUnlockRead(void) {
    VELK_UNLOCK(VELK_MUTEX_PIPE_READ);
}

void VelkPipeLockWrite(void) {
    VELK_LOCK(VELK_MUTEX_PIPE_WRITE);
}

void VelkPipeUnlockWrite(void) {
    VELK_UNLOCK(VELK_MUTEX_PIPE_WRITE);
}

int VelkPipeTryLockRead(void) {
    return VELK_TRYLOCK(VELK_MUTEX_PIPE_READ) == 0;
}

int VelkPipeTryLockWrite(void) {
    return VELK_TRYLOCK(VELK_MUTEX_PIPE_WRITE) == 0;
}

void VelkPipeLockBoth(void) {
    for (;;) {
        if (VelkPipeTryLockWrite()) {
            if (VelkPipeTryLockRead()) {
                return;
            }
            VelkPipeUnlockWrite();
        }
        VelkSleep(10);
    }
}

void VelkPipeUnlockBoth(void) {
    VelkPipeUnlockWrite();
    VelkPipeUnlockRead();
}

VelkPipeFifoRecord* VelkPipeFindFifo(const VelkPipeChain* fifos, int fd) {
    for (VelkPipeLink* link = fifos->first; link != NULL; link = link->next) {
        VelkPipeFifoRecord* fifo = (VelkPipeFifoRecord*)link;
        if (fifo->fd == fd) {
            return fifo;
        }
    }
    return NULL;
}

void VelkPipeFreeWriteRecord(VelkPipeWriteRecord* record) {
    if (record != NULL) {
        free(record->frame);
        free(record);
    }
}

void VelkPipeFreeReadRecord(VelkPipeReadRecord* record) {
    if (record != NULL) {
        free(record->data);
        free(record);
    }
}

size_t VelkPipeDropWriteRecords(int fd) {
    size_t dropped = 0;
    VelkPipeLink* link = gVelkPipeWriteQueue.first;
    while (link != NULL) {
        VelkPipeLink* next = link->next;
        VelkPipeWriteRecord* record = (VelkPipeWriteRecord*)link;
        if (record->fd == fd) {
            VelkPipeChainRemove(&gVelkPipeWriteQueue, link);
            VelkPipeFreeWriteRecord(record);
            ++dropped;
        }
        link = next;
    }
    return dropped;
}

size_t VelkPipeDropReadRecords(int fd, int incompleteOnly) {
    size_t dropped = VelkPipePartialDiscardOf(fd, -1, "its FIFO was closed");
    if (incompleteOnly) {
        return dropped;
    }
    VelkPipeLink* link = gVelkPipeReadQueue.first;
    while (link != NULL) {
        VelkPipeLink* next = link->next;
        VelkPipeReadRecord* record = (VelkPipeReadRecord*)link;
        if (record->fd == fd) {
            VelkPipeChainRemove(&gVelkPipeReadQueue, link);
            VelkPipeFreeReadRecord(record);
            ++dropped;
        }
        link = next;
    }
    return dropped;
}

int VelkPipeWholeMessageQueued(int fd) {
    for (VelkPipeLink* link = gVelkPipeReadQueue.first; link != NULL; link = link->next) {
        if (((const VelkPipeReadRecord*)link)->fd == fd) {
            return 1;
        }
    }
    return 0;
}
