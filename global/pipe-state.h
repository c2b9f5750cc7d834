/* Process-wide state of the FIFO pipe layer, shared by its source files only:
 * the read-FIFO and write-FIFO lists, the read and write queues, the messages
 * still being assembled, the message sequence counter and the locking rules.
 *
 * The read side (read-FIFO list, read queue, partial queue, per-FIFO carry
 * bytes) is guarded by lock-table entry 3, the write side (write-FIFO list, write queue,
 * sequence counter) by entry 4.  Operations that need both take them with
 * VelkPipeLockBoth, which never waits while holding one of them. */
#ifndef VELK_PIPE_STATE_H
#define VELK_PIPE_STATE_H

#include <stddef.h>
#include <stdint.h>

#include "pipe-frame.h"
#include "velk-export.h"

VELK_BEGIN_DECLS

/* Links of an intrusive doubly linked list; the first member of each record. */
typedef struct VelkPipeLink {
    struct VelkPipeLink* prev;
    struct VelkPipeLink* next;
} VelkPipeLink;

typedef struct VelkPipeChain {
    VelkPipeLink* first;
    VelkPipeLink* last;
    size_t count;
} VelkPipeChain;

void VelkPipeChainAppend(VelkPipeChain* chain, VelkPipeLink* link);
void VelkPipeChainRemove(VelkPipeChain* chain, VelkPipeLink* link);

#define VELK_PIPE_PATH_MAX 257

/* One listed FIFO.  A read FIFO also keeps the bytes of a frame that the last
 * read ended inside, to be completed by the next read. */
typedef struct VelkPipeFifoRecord {
    VelkPipeLink link;
    int fd;
    char path[VELK_PIPE_PATH_MAX];
    size_t carryLength;
    char carry[VELK_PIPE_MAX_FRAME];
} VelkPipeFifoRecord;

/* One framed piece waiting to be written. */
typedef struct VelkPipeWriteRecord {
    VelkPipeLink link;
    VelkPipeFrameHeader header;
    int fd;
    size_t frameLength; /* delimiter + piece */
    size_t delimiterLength;
    char* frame;
} VelkPipeWriteRecord;

/* One message: whole in the read queue, or being assembled from its pieces
 * in the partial queue. */
typedef struct VelkPipeReadRecord {
    VelkPipeLink link;
    uint32_t sequence;
    int32_t pid;
    int32_t lastPiece; /* number of the last piece received */
    int32_t pieceCount;
    uint32_t assembled; /* bytes assembled so far */
    uint32_t totalLength;
    int fd;
    char* data;           /* capacity bytes; grows with the pieces */
    size_t capacity;      /* at most totalLength + 1 */
    uint64_t lastPieceMs; /* monotonic time the last piece arrived */
    int countedAsPartial; /* 1 while its capacity counts against the limits */
} VelkPipeReadRecord;

extern VelkPipeChain gVelkPipeReadFifos;
extern VelkPipeChain gVelkPipeWriteFifos;
/* Whole messages waiting to be delivered, in the order they became whole. */
extern VelkPipeChain gVelkPipeReadQueue;
/* Messages of which some pieces are still missing, at most one per writer
 * and read FIFO (a writer's new message ends its unfinished one). */
extern VelkPipeChain gVelkPipePartialQueue;
extern VelkPipeChain gVelkPipeWriteQueue;

void VelkPipeLockRead(void);
void VelkPipeUnlockRead(void);
void VelkPipeLockWrite(void);
void VelkPipeUnlockWrite(void);
/* 1 when the lock was free and is now held. */
int VelkPipeTryLockRead(void);
int VelkPipeTryLockWrite(void);
/* Tries entry 4 then entry 3; when it did not get both it releases the one it
 * got, sleeps 10 ms and tries again. */
void VelkPipeLockBoth(void);
void VelkPipeUnlockBoth(void);

VelkPipeFifoRecord* VelkPipeFindFifo(const VelkPipeChain* fifos, int fd);
/* Releases records; the queue records with their data. */
void VelkPipeFreeWriteRecord(VelkPipeWriteRecord* record);
void VelkPipeFreeReadRecord(VelkPipeReadRecord* record);
/* Removes and releases every write record of fd; the number removed. */
size_t VelkPipeDropWriteRecords(int fd);
/* Removes and releases the read records of fd: all of them, or only the
 * incomplete ones. */
size_t VelkPipeDropReadRecords(int fd, int incompleteOnly);

/* 1 when a whole message for fd is queued (read lock held). */
int VelkPipeWholeMessageQueued(int fd);

/* ---- Messages being assembled (pipe-partial.c), read lock held ---- */

/* Takes in the first piece of a message of several pieces into the partial
 * queue; NULL when the limits refuse it. */
VelkPipeReadRecord* VelkPipePartialStart(int fd, const VelkPipeFrameHeader* header,
                                         const char* piece);
/* Appends the next piece of record; when the message is then whole it moves
 * to the read queue.  0 when the piece was refused and the message dropped. */
int VelkPipePartialAppend(VelkPipeReadRecord* record, const VelkPipeFrameHeader* header,
                          const char* piece);
/* The unfinished message of writer pid on fd with that sequence number. */
VelkPipeReadRecord* VelkPipePartialFind(int fd, uint32_t sequence, int32_t pid);
/* Drops one unfinished message, with the reason in a trace line. */
void VelkPipePartialDiscard(VelkPipeReadRecord* record, const char* why);
/* Drops the unfinished messages of writer pid (any writer for -1) on fd (any
 * read FIFO for -1); the number dropped. */
size_t VelkPipePartialDiscardOf(int fd, int32_t pid, const char* why);
/* Drops unfinished messages whose writer has sent nothing for them within
 * the idle limit. */
void VelkPipePartialAgeOut(void);

/* Writes the queue of fd; payload bytes written.  *readerGone is set to 1 when
 * a write failed with EPIPE.  Write lock held. */
int VelkPipeServiceWriteQueue(int fd, int* readerGone);
/* Services every listed write FIFO, stopping at the first whose reader has
 * gone; that descriptor, or -1.  Write lock held. */
int VelkPipeServiceAllWriteQueues(void);

/* Drains fd into the read queue; payload bytes taken in.  Read lock held. */
int VelkPipeDrain(int fd);

VELK_END_DECLS

#endif
