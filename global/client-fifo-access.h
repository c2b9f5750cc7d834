/* The FIFOs of a client connection to the message broker: their names, the
 * connection state that holds them, opening, hiding and closing them, and
 * the raw send and receive of message texts over them.
 *
 * One connection per process, opened and closed by one owner; the state is
 * not locked (see client-connection-manager.h). */
#ifndef VELK_CLIENT_FIFO_ACCESS_H
#define VELK_CLIENT_FIFO_ACCESS_H

#include <stddef.h>
#include <stdint.h>
#include <sys/stat.h>
#include <sys/types.h>

#include "velk-export.h"

VELK_BEGIN_DECLS

#define VELK_SERVER_FIFO_BASE "VELKFIFO"
#define VELK_CLIENT_FIFO_PREFIX "VELK_"
#define VELK_FIFO_NAME_AREA 4096
#define VELK_MAIN_FIFO_SIZE 255 /* up to 254 characters */
#define VELK_OUR_FIFO_SIZE 256  /* up to 255 characters */
/* Value of a connection descriptor that is not open (never 0, which a
 * process without standard input may get for a FIFO). */
#define VELK_NO_FIFO (-1)

/* ---- Connection state ---- */
extern char g_szMainFifo[VELK_MAIN_FIFO_SIZE];   /* broker FIFO in use */
extern int g_hFifoWrite;                         /* broker FIFO, for writing */
extern char g_szOurFifoName[VELK_OUR_FIFO_SIZE]; /* our read FIFO, "" when none */
extern int g_hFifoRead;                          /* our read FIFO, for reading */
extern int g_hDummyFifoWrites; /* our read FIFO, for writing: it always keeps a writer */
/* The three below are read and written atomically (several threads of a
 * process may send and receive); use the getters. */
extern long g_lLastMessageSent; /* time of the last send, ms since midnight UTC */
extern int g_iWriteErrors;      /* consecutive failed sends */
extern int g_iReadErrors;       /* consecutive failed receives */

/* ---- FIFO names ---- */

/* Pipe directory + "/VELKFIFO", unless a numbered or named broker FIFO was
 * set.  The default follows the pipe directory of the moment. */
const char* VelkGetServerFifoName(void);
/* Pipe directory + "/VELKFIFO_" + number; 0 stands for this process's id. */
const char* VelkSetServerFifoName(long number);
/* The given path; NULL or "" returns to the default.  A path that does not
 * fit the name area is refused and the default kept. */
const char* VelkSetServerFifoNameEx(const char* name);
/* Pipe directory + "/VELK_" + this process's id. */
const char* VelkGetClientFifoName(void);

/* ---- FIFOs of the connection ---- */

/* Ignores SIGPIPE, opens the broker FIFO for writing (11 when no broker reads
 * it, or when it is not a FIFO owned by this process's user or by root:
 * a FIFO planted by someone else would receive our startup message), creates
 * our read FIFO with mode 0660 and opens it for reading and for
 * writing (12 when that fails).  The process file-creation mask is never
 * changed.  On failure whatever was opened is closed and removed again. */
int VelkClient_I_OpenFifos(void);
/* Removes our read FIFO's name: the open descriptors keep it alive and no
 * other process can open it any more. */
void VelkClient_I_HideFifo(void);
/* Closes the three descriptors and removes our read FIFO's name. */
void VelkClient_I_CloseFifos(void);
/* Removes path only when it is a FIFO (never following a symbolic link). */
int VelkClient_I_RemoveFifo(const char* path);
/* 1 when status (of the opened broker FIFO) is a FIFO owned by user or by
 * root, else 0. */
int VelkClient_I_BrokerFifoTrusted(const struct stat* status, uid_t user);
/* 1 when the broker of the open connection has gone: nobody reads the broker
 * FIFO any more, or the pipe layer closed it after a failed write.  0 while
 * the broker reads it. */
int VelkClient_I_BrokerGone(void);
/* Whether process pid holds the open connection's broker FIFO, i.e. is its
 * broker: 1 yes, 0 no, -1 cannot tell (its descriptors cannot be read). */
int VelkClient_I_BrokerIsProcess(long pid);

/* ---- Sending and receiving ---- */

/* Handles one received message, NUL-terminated without its CR LF. */
typedef int (*VelkClientMessageHandler)(char* message);

/* 0 sent (written or queued), 1 failed. */
int VelkClientSendMessage(const char* message);
/* Waits once, up to timeoutMs, for data on our read FIFO and calls handler
 * for each whole message received; the number of messages handled. */
int VelkClientProcessMessages(VelkClientMessageHandler handler, int timeoutMs, int watchStdin);
/* Cuts text (length bytes) into messages at each CR LF and hands each to
 * handler; a rest without CR LF is dropped.  The number handled. */
int VelkClient_I_DispatchMessages(char* text, size_t length, VelkClientMessageHandler handler);

int VelkClientGetReadErrorCount(void);
int VelkClientGetWriteErrorCount(void);
long VelkClient_I_GetLastAccessTime(void);
/* VelkFlushWritePipe on the broker FIFO: the records still queued. */
int VelkFlushWriteFIFO(int timeoutMs);

VELK_END_DECLS

#endif
