/* Opening and closing a process's connection to the message broker.
 *
 * Opening creates the process's read FIFO (pipe directory + "/VELK_" + pid),
 * writes the startup message into the broker's FIFO and waits up to 10 s for
 * the broker's acknowledgement through the read FIFO, whose name is then
 * removed from the directory.  One connection per process; the pipe layer
 * and its read/write thread must be set up by the connection's owner.
 * Including this header brings the whole client interface: FIFO access,
 * sending and receiving, the message table and transactions. */
#ifndef VELK_CLIENT_CONNECTION_MANAGER_H
#define VELK_CLIENT_CONNECTION_MANAGER_H

#include <stdint.h>

#include "client-fifo-access.h"
#include "client-messaging-engine.h"
#include "velk-export.h"

VELK_BEGIN_DECLS

/* Results of VelkClient_I_OpenConnectionEx. */
#define VELK_OPEN_OK 0
#define VELK_OPEN_ALREADY_OPEN 1
#define VELK_OPEN_NO_BROKER 11    /* the broker FIFO has no reader */
#define VELK_OPEN_NO_READ_FIFO 12 /* our read FIFO could not be created and opened */
#define VELK_OPEN_BAD_READ 21
#define VELK_OPEN_BAD_PID 22
#define VELK_OPEN_BAD_NAME 23
#define VELK_OPEN_BAD_NLSDATA 24
#define VELK_OPEN_BAD_CLASS 25
#define VELK_OPEN_BAD_EXE_FILENAME 26 /* also: the whole message does not fit */
#define VELK_OPEN_SEND_FAILED 27
#define VELK_OPEN_NO_ANSWER 30
#define VELK_OPEN_BAD_ANSWER 31
#define VELK_OPEN_ENUM_COMPLETE 40

#define VELK_HANDSHAKE_TIMEOUT_MS 10000
#define VELK_STARTUP_MESSAGE_SIZE 800
#define VELK_CLOSE_MESSAGE_SIZE 100
#define VELK_ACK "<ACK></ACK>"
#define VELK_ACK_ENUM_COMPLETE "<ACK>ENUM_COMPLETE</ACK>"

/* VelkClientOpenConnectionEx("Name Here", "NORMAL", "", NULL). */
int VelkClientOpenConnection(void);
/* VelkClient_I_OpenConnectionEx without broker number; 40 becomes 0. */
int VelkClientOpenConnectionEx(const char* clientName, const char* clientClass, const char* nlsFile,
                               const char* programPath);
/* Opens the connection to broker brokerNumber ("VELKFIFO_" + number; 0 keeps
 * the broker FIFO name as it is).  nlsFile and programPath may be NULL.
 * A VELK_OPEN_* code; every failure from 11 on leaves no FIFO open or named. */
int VelkClient_I_OpenConnectionEx(long brokerNumber, const char* clientName,
                                  const char* clientClass, const char* nlsFile,
                                  const char* programPath);
/* Sends the close message, closes and removes the FIFOs, lowers the open
 * count (not below 0); always 0. */
int VelkClientCloseConnection(void);
/* Number of open connections of this process (0 or 1). */
int VelkClient_I_GetOpenCount(void);

/* "<STARTUP><READ>..</READ><PID>..</PID><NAME>..</NAME><NLSDATA>..</NLSDATA>
 * <CLASS>..</CLASS><EXE_FILENAME>..</EXE_FILENAME></STARTUP>" CR LF into
 * message: 0, or 21 to 26 for the element that does not fit its area. */
int VelkClient_I_BuildStartupMessage(const char* readFifo, uint32_t pid, const char* clientName,
                                     const char* nlsFile, const char* clientClass,
                                     const char* exeFileName, char* message, uint32_t size);
/* "<STOP><PID>pid</PID></STOP>" CR LF into message: 0, or 2 when it does not
 * fit. */
int VelkClient_I_BuildCloseMessage(uint32_t pid, char* message, uint32_t size);

VELK_END_DECLS

#endif
