/* The message table of a client connection and the request/reply primitives
 * built on it: transactions, waiting for a message type, waiting for the end
 * of device enumeration, and the language of translated sends.
 *
 * The table holds every received message in arrival order until someone takes
 * it.  It is guarded by lock-table entry 10; a node taken out of it belongs to
 * the caller, who releases it with VelkClientFreeMessage. */
#ifndef VELK_CLIENT_MESSAGING_ENGINE_H
#define VELK_CLIENT_MESSAGING_ENGINE_H

#include <stdint.h>

#include "gen-str.h"
#include "velk-export.h"

VELK_BEGIN_DECLS

/* One received message. */
typedef struct VelkClientMessage {
    char* pMessage;                  /* private copy of the text, NUL-terminated */
    struct VelkClientMessage* pNext; /* next node, or NULL */
    uint32_t uRe;                    /* cached RE: 0 not read yet, VELK_NO_RE when absent */
    char* pType;                     /* cached TYPE, NULL when not read yet or absent */
    uint32_t uFrom;                  /* cached FROM, 0 when not read yet or absent */
} VelkClientMessage;

#define VELK_NO_RE 0xFFFFFFFFu
#define VELK_MIDNIGHT_LIMIT_MS 86399000u /* deadlines never pass 23:59:59.000 */
#define VELK_LAST_MS_OF_DAY 86399999u

/* Results of the transaction and wait operations. */
#define VELK_TRANS_OK 0
#define VELK_TRANS_TOO_LONG 1
#define VELK_TRANS_TIMEOUT 2
#define VELK_TRANS_NO_TYPE 3
#define VELK_TRANS_BAD_ID_BASE 100
#define VELK_TRANS_SEND_FAILED_BASE 200

/* ---- Message table ---- */

/* node itself if it is in the table (the first node for NULL), left there;
 * NULL when it is not there. */
VelkClientMessage* VelkClientPeekMessage(VelkClientMessage* node);
/* The same, taken out of the table. */
VelkClientMessage* VelkClientGetNextMessage(VelkClientMessage* node);
VelkClientMessage* VelkClientFindMessageWithReField(uint32_t id);
VelkClientMessage* VelkClientFindMessageWithTypeField(const char* type);
VelkClientMessage* VelkClientFindMessageWithTypeFieldAndFromPid(uint32_t sender, const char* type);
/* Releases a node taken out of the table; 1 for NULL, else 0. */
int VelkClientFreeMessage(VelkClientMessage* node);
int VelkClient_I_GetWaitingMessageCount(void);
/* One trace line (type 10) per node. */
void VelkClient_I_PrintMessages(void);
/* Handler that appends a copy of message to the table: 0, or 2 / 1 when the
 * copy / the node cannot be allocated. */
int VelkClient_I_MoveMessagesToTable(char* message);

/* Receives what arrives within timeoutMs into the table; the number of
 * messages in the table afterwards. */
int VelkClientWaitForMessages(int timeoutMs, int watchStdin);
/* The same without waiting. */
int VelkClientCheckForMessages(void);

/* ---- Transactions and waits ---- */

/* Start and deadline, in ms since midnight UTC, of a wait of timeoutMs begun
 * at now.  Near midnight the start moves back so that the deadline never
 * passes 86399000 (a wait begun after 23:59:59.000 does not wait at all). */
void VelkClient_I_ComputeDeadline(uint32_t now, uint32_t timeoutMs, uint32_t* start,
                                  uint32_t* deadline);

/* Sends message and waits for the reply whose RE is the message's ID.
 * 0 and the reply in reply (which may be the message's own buffer); 1 when
 * the reply needs size bytes or more (it stays in the table); 2 no reply in
 * time, given up as soon as the broker has gone; 100 + code when the message has no readable ID;
 * 200 + code when the send failed.  Other messages that arrive meanwhile stay in the table. */
int VelkClientSendTransaction(const char* message, char* reply, uint32_t size, int timeoutMs,
                              int watchStdin);
/* The same with the reply assigned to an initialised string object (1 when
 * the assignment fails). */
int VelkClientSendTransactionStr(const char* message, CGenStr* reply, int timeoutMs,
                                 int watchStdin);
/* Waits for the first message of type (and from sender, unless 0): 0 and the
 * message; 1 too long for the buffer; 2 timeout; 3 type NULL. */
int VelkClientWaitForMessage(char* buffer, uint32_t size, int timeoutMs, const char* type,
                             uint32_t sender);
/* The same into an initialised string object (3 also when it is not). */
int VelkClientWaitForMessageStr(CGenStr* message, int timeoutMs, const char* type, uint32_t sender);
/* Consumes the table until a DE_ENUM_NOTIFY with DATA "ENUM_COMPLETE" comes:
 * 0.  1 when timeoutMs passes, process watchPid (when above 0) ends or the
 * broker goes first. */
int VelkClientWaitForEnumCompleteMessage(int timeoutMs, int watchPid);

/* ---- Language of translated sends ---- */

/* Copies at most two characters; NULL clears. */
void VelkClientSendMessageSetLanguage(const char* code);
/* The code, or NULL when it is empty.  Initially "00". */
const char* VelkClientSendMessageGetLanguage(void);
/* Sends message translated by the NLS engine into language (a buffer of at
 * least 3 bytes; "" becomes "EN"; a code starting with "TK" sends message as
 * it is).  The send result, or 2 when the translation fails. */
int VelkClientSendMessageTranslated(const char* message, char* language);

VELK_END_DECLS

#endif
