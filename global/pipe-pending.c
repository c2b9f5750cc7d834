/* Queries of the read queue by writer. */
#include "pipe-pending.h"

#include "pipe-state.h"

int VelkPipeWholeMessagesOf(int fd, int pid) {
    int count = 0;
    VelkPipeLockRead();
    for (VelkPipeLink* link = gVelkPipeReadQueue.first; link != NULL; link = link->next) {
        const VelkPipeReadRecord* record = (const VelkPipeReadRecord*)link;
        if (record->fd == fd && record->pid == pid) {
            ++count;
        }
    }
    VelkPipeUnlockRead();
    return count;
}
