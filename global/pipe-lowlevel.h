/* FIFO pipe layer: moves message texts between processes over named FIFOs.
 *
 * A writer cuts each text into pieces of at most 4020 bytes, puts a
 * self-describing delimiter in front of each piece, queues the framed pieces
 * and writes each with one write call (a frame never exceeds 4083 bytes, so
 * frames of several writers into one FIFO never interleave).  A reader drains
 * its FIFO into a queue of partly assembled messages and hands out whole
 * messages only.  A background read/write thread services all queues every
 * millisecond; VelkPipeSelect lets a caller wait for a whole message.
 *
 * Frame: "|" 01 01 01 "H:" seq ":" pid ":" piece ":" count ":" len ":" total ":"
 *        01 01 01 "|" then exactly len bytes of the piece.
 *
 * Locks: entry 3 of the lock table guards the read side (read-FIFO list and
 * read queue), entry 4 the write side (write-FIFO list and write queue).
 * Every descriptor this layer opens is non-blocking and close-on-exec. */
#ifndef VELK_PIPE_LOWLEVEL_H
#define VELK_PIPE_LOWLEVEL_H

#include <stddef.h>
#include <sys/types.h>

#include "velk-export.h"

VELK_BEGIN_DECLS

/* errno value reported by the queue services when the reader has gone. */
#define VELK_PIPE_BROKEN 32

/* 1 while the read/write thread is meant to run. */
extern int gThreadActive;

/* 0 when a FIFO was created at path (mode 0660, set explicitly without
 * touching the process file-creation mask) or a FIFO owned by this user
 * already exists there (checked without following a symbolic link).
 * -1 with errno otherwise: EEXIST when the path holds anything else (regular
 * file, symbolic link, directory), EPERM when the existing FIFO belongs to
 * another user, EACCES when the directory is writable by others and lacks the
 * sticky bit, or the error of the create call. */
int VelkPipeMkFifo(const char* path);
/* Sets the process file-creation mask; the previous mask.  The layer itself
 * never calls it. */
mode_t VelkPipeUMask(mode_t mask);
/* Removes the name; the result of unlink. */
int VelkPipeUnLink(const char* path);

/* Opens the FIFO at path without blocking, write-only when forWriting is
 * non-zero, else read-only, and lists it.  Refuses a symbolic link and
 * anything that is not a FIFO.  The descriptor, or -1. */
int VelkPipeOpen(const char* path, int forWriting);
/* Unlists the FIFO and closes it: the result of close.  A descriptor found in
 * neither list is left open and the result is 0. */
int VelkPipeClose(int fd);
/* 1 when fd is listed (read or write side) under exactly this path, else 0.
 * Lets an owner that keeps a descriptor number make sure the layer has not
 * closed it (reader gone) and handed the number to another FIFO since. */
int VelkPipeIsListed(int fd, const char* path);

/* Queues text (length bytes, no terminator needed) for the write FIFO fd and
 * writes what the FIFO takes now.  length when accepted (written or queued);
 * -1 when fd is not an open write FIFO or length exceeds the largest message;
 * 0 when the reader has gone (the FIFO is then closed).  length 0 sends
 * nothing and gives 0. */
int VelkPipeWrite(int fd, const char* text, int length);
/* Bytes (frames with their delimiters) queued for fd and not yet written:
 * what a reader that stops reading leaves behind in this process. */
size_t VelkPipeQueuedBytes(int fd);
/* Splits and queues text for fd, then services the queue of fd.  Call with the
 * write-side lock held.  length, or VELK_PIPE_BROKEN when the reader has gone.
 * The layer itself decides on the failing write's errno, never on this value,
 * because a 32-byte message gives 32 too. */
int VelkPipeWriteQue(int fd, const char* text, int length);
/* Writes the queued frames of fd in order until the FIFO is full.  Call with
 * the write-side lock held.  Payload bytes written, or VELK_PIPE_BROKEN when
 * the reader has gone (ambiguous with 32 payload bytes, as above). */
int VelkPipeServiceWriteQue(int fd);
/* One write call of a whole frame after the room check; the bytes written,
 * -1 with errno from the write, or 0 without writing. */
int VelkPipeWritePipe(int fd, const char* bytes, int length);
/* Tries for up to timeoutMs milliseconds to empty the write queue of fd; the
 * number of records still queued (all descriptors). */
int VelkFlushWritePipe(int fd, int timeoutMs);

/* One read call; its result. */
int VelkPipeReadPipe(int fd, char* buffer, int size);
/* Drains the read FIFO fd into the read queue; the payload bytes taken in.
 * Call with the read-side lock held. */
int VelkPipeReadQue(int fd);
/* VelkPipeReadQue with its own trace line. */
int VelkPipeServiceReadQue(int fd);
/* All whole messages waiting for fd, concatenated in arrival order, in a new
 * NUL-terminated allocation that the caller releases with free(); the byte
 * count.  0 and *text NULL when there is none.  A whole message behind an
 * incomplete one of the same FIFO waits until that one is whole. */
int VelkPipeRead(int fd, char** text);
/* VelkPipeRead without reading the FIFO: only what is queued already.  For
 * use right after VelkPipeSelect, which has just drained the FIFO; saves a
 * read call that would find it empty. */
int VelkPipeReadQueued(int fd, char** text);
/* Waits up to timeoutMs for a whole message on the read FIFO fd.  Bit 0 set:
 * a whole message is queued or fd was readable at the last wait; 0: the time
 * ran out; -1: the wait failed (interrupted by a signal, for one).  other is
 * accepted and not watched. */
int VelkPipeSelect(int fd, int other, int timeoutMs);

/* Drops the incomplete messages of writer pid queued for the read FIFO fd
 * (its writer died between two pieces); the number of records dropped. */
int VelkPipeDropPartialMessages(int fd, int pid);

/* Messages whose pieces have not all arrived are kept per writer (process id
 * of the frames) and never hold back whole messages of other writers.  These
 * process-wide limits keep writers that send only parts of messages, under
 * as many forged process ids as they like, from holding memory without
 * bound: */
typedef struct VelkPipePartialLimits {
    /* an incomplete message is dropped when no piece of it came for this long */
    unsigned idleMs;
    /* incomplete messages held at once; the first piece of one more is refused */
    size_t maxMessages;
    /* bytes held for them at once (buffers grow with the pieces received, not
     * with the length announced); a piece that needs more is refused and its
     * message dropped.  Below VELK_PIPE_MAX_MESSAGE + 1 it refuses the
     * largest messages. */
    size_t maxBytes;
} VelkPipePartialLimits;
#define VELK_PIPE_PARTIAL_IDLE_MS 10000u
#define VELK_PIPE_PARTIAL_MAX_MESSAGES 64u
#define VELK_PIPE_PARTIAL_MAX_BYTES (32u * 1024u * 1024u)

/* Sets the limits; NULL restores the defaults above. */
void VelkPipeSetPartialLimits(const VelkPipePartialLimits* limits);
/* The incomplete messages held now and the bytes their buffers take. */
void VelkPipePartialUsage(size_t* messages, size_t* bytes);

/* Sets up the lists once per process; later calls do nothing. */
void VelkInitPipes(void);
/* Starts the read/write thread (no second one while it runs); 0, or the
 * thread library's error. */
int VelkInitReadWriteThread(void);
/* Stops the thread and waits for it to end. */
void VelkStopReadWriteThread(void);
/* One service pass of the thread: drains the read FIFOs and writes the write
 * queues, each only when its lock is free at once. */
void VelkServicePipes(void);
/* Empties the four lists, dropping queued pieces, and closes the descriptors
 * that were still listed (nothing else could close them any more). */
void VelkCleanupPipes(void);
/* Ignores SIGPIPE, so that writing to a FIFO without reader fails with EPIPE. */
void VelkPipeSignalHandle(void);

VELK_END_DECLS

#endif
