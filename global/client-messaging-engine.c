/* Message table, transactions and waits of a client connection. */
#include "client-messaging-engine.h"

#include <stdlib.h>
#include <string.h>

#include "client-fifo-access.h"
#include "message-protocol.h"
#include "nls-access.h"
#include "process-helpers.h"
#include "test-common.h"
#include "tracing.h"

static VelkClientMessage* g_pRootClientMessage;
static char gSendLanguage[3] = "00";

/* A wait for a reply looks at the table and at the broker at least this
 * often: another thread may have moved the reply into the table, or the
 * broker may have gone. */
enum { kEnumWaitStepMs = 500, kEnumFieldSize = 256, kReplyWaitStepMs = 100 };

static void LockTable(void) {
    VELK_LOCK(VELK_MUTEX_MESSAGE_TABLE);
}

static void UnlockTable(void) {
    VELK_UNLOCK(VELK_MUTEX_MESSAGE_TABLE);
}

/* ---- Message table ---- */

/* The link that points at node (the root or a predecessor's next), or NULL
 * when node is not in the table.  Table lock held. */
static VelkClientMessage** LinkTo(const VelkClientMessage* node) {
    for (VelkClientMessage** link = &g_pRootClientMessage; *link != NULL; link = &(*link)->pNext) {
        if (*link == node) {
            return link;
        }
    }
    return NULL;
}

VelkClientMessage* VelkClientPeekMessage(VelkClientMessage* node) {
    LockTable();
    VelkClientMessage* found = node == NULL ? g_pRootClientMessage : node;
    if (node != NULL && LinkTo(node) == NULL) {
        found = NULL;
    }
    UnlockTable();
    return found;
}

VelkClientMessage* VelkClientGetNextMessage(VelkClientMessage* node) {
    LockTable();
    VelkClientMessage** link = node == NULL ? &g_pRootClientMessage : LinkTo(node);
    VelkClientMessage* taken = link == NULL ? NULL : *link;
    if (taken != NULL) {
        *link = taken->pNext;
        taken->pNext = NULL;
    }
    UnlockTable();
    return taken;
}

int VelkClientFreeMessage(VelkClientMessage* node) {
    if (node == NULL) {
        return 1;
    }
    free(node->pMessage);
    free(node->pType);
    free(node);
    return 0;
}

/* Cached header fields, read from the text on first need.  Table lock held. */
static uint32_t CachedRe(VelkClientMessage* node) {
    if (node->uRe == 0) {
        uint32_t re = 0;
        node->uRe = VelkMessageGetMessageRe(node->pMessage, &re) == 0 ? re : VELK_NO_RE;
    }
    return node->uRe;
}

static const char* CachedType(VelkClientMessage* node) {
    if (node->pType == NULL) {
        char* type = NULL;
        if (VelkMessageGetMessageType(node->pMessage, &type) == 0) {
            node->pType = type;
        } else {
            free(type);
        }
    }
    return node->pType;
}

static uint32_t CachedFrom(VelkClientMessage* node) {
    if (node->uFrom == 0) {
        uint32_t from = 0;
        if (VelkMessageGetSender(node->pMessage, &from) == 0) {
            node->uFrom = from;
        }
    }
    return node->uFrom;
}

typedef struct MessageKey {
    int byRe;
    uint32_t re;
    const char* type; /* NULL: any */
    uint32_t from;    /* 0: any */
} MessageKey;

static int Matches(VelkClientMessage* node, const MessageKey* key) {
    if (key->byRe) {
        return CachedRe(node) == key->re;
    }
    const char* type = CachedType(node);
    if (type == NULL || strcmp(type, key->type) != 0) {
        return 0;
    }
    return key->from == 0 || CachedFrom(node) == key->from;
}

/* The first node that matches, left in the table; one locked walk, so nodes
 * added meanwhile are seen or not. */
static VelkClientMessage* FindFirst(const MessageKey* key) {
    LockTable();
    VelkClientMessage* node = g_pRootClientMessage;
    while (node != NULL && !Matches(node, key)) {
        node = node->pNext;
    }
    UnlockTable();
    return node;
}

VelkClientMessage* VelkClientFindMessageWithReField(uint32_t id) {
    MessageKey key = {1, id, NULL, 0};
    return FindFirst(&key);
}

VelkClientMessage* VelkClientFindMessageWithTypeFieldAndFromPid(uint32_t sender, const char* type) {
    if (type == NULL) {
        return NULL;
    }
    MessageKey key = {0, 0, type, sender};
    return FindFirst(&key);
}

VelkClientMessage* VelkClientFindMessageWithTypeField(const char* type) {
    if (type == NULL) {
        return NULL;
    }
    VTRACE(VELK_TRACE_OWN, "VelkClientFindMessageWithTypeField:looking for type %s\n", type);
    VelkClientMessage* found = VelkClientFindMessageWithTypeFieldAndFromPid(0, type);
    if (found != NULL) {
        VTRACE(VELK_TRACE_OWN, "VelkClientFindMessageWithTypeField:found pClient[%p][%p]=>>%s<<\n",
               (void*)found, (void*)found->pMessage, found->pMessage);
    } else {
        VTRACE(VELK_TRACE_OWN, "VelkClientFindMessageWithTypeField:Not found\n");
    }
    return found;
}

int VelkClient_I_GetWaitingMessageCount(void) {
    int count = 0;
    LockTable();
    for (VelkClientMessage* node = g_pRootClientMessage; node != NULL; node = node->pNext) {
        ++count;
    }
    UnlockTable();
    return count;
}

void VelkClient_I_PrintMessages(void) {
    LockTable();
    for (VelkClientMessage* node = g_pRootClientMessage; node != NULL; node = node->pNext) {
        VTRACE(VELK_TRACE_DLL, "RE:%ld TYPE:%s FROM:%ld NEXT:%p, %s\n", (long)node->uRe,
               node->pType != NULL ? node->pType : "(null)", (long)node->uFrom, (void*)node->pNext,
               node->pMessage);
    }
    UnlockTable();
}

int VelkClient_I_MoveMessagesToTable(char* message) {
    if (message == NULL) {
        return 2;
    }
    size_t length = strlen(message);
    char* copy = calloc(length + 5, 1);
    if (copy == NULL) {
        VTRACE(VELK_TRACE_OWN, "VelkClient_I_MoveMessagesToTable:error alloc 1\n");
        return 2;
    }
    memcpy(copy, message, length);
    VelkClientMessage* node = calloc(1, sizeof *node);
    if (node == NULL) {
        VTRACE(VELK_TRACE_OWN, "VelkClient_I_MoveMessagesToTable:error alloc 2\n");
        free(copy);
        return 1;
    }
    node->pMessage = copy;
    VTRACE(VELK_TRACE_OWN, "VelkClient_I_MoveMessagesToTable:pNewMessagedata[%p]=%s\n", (void*)copy,
           copy);
    LockTable();
    VelkClientMessage** link = &g_pRootClientMessage;
    VelkClientMessage* previous = NULL;
    while (*link != NULL) {
        previous = *link;
        link = &(*link)->pNext;
    }
    *link = node;
    UnlockTable();
    if (previous == NULL) {
        VTRACE(VELK_TRACE_OWN, "VelkClient_I_MoveMessagesToTable:message %p added to root\n",
               (void*)node);
    } else {
        VTRACE(VELK_TRACE_OWN, "VelkClient_I_MoveMessagesToTable:message %p added to message %p\n",
               (void*)node, (void*)previous);
    }
    return 0;
}

int VelkClientWaitForMessages(int timeoutMs, int watchStdin) {
    VelkClientProcessMessages(VelkClient_I_MoveMessagesToTable, timeoutMs, watchStdin);
    return VelkClient_I_GetWaitingMessageCount();
}

int VelkClientCheckForMessages(void) {
    return VelkClientWaitForMessages(0, 0);
}

/* ---- Transactions and waits ---- */

void VelkClient_I_ComputeDeadline(uint32_t now, uint32_t timeoutMs, uint32_t* start,
                                  uint32_t* deadline) {
    if (timeoutMs > VELK_MIDNIGHT_LIMIT_MS) {
        timeoutMs = VELK_MIDNIGHT_LIMIT_MS;
    }
    uint32_t begin = now;
    if ((uint64_t)begin + timeoutMs > VELK_LAST_MS_OF_DAY) {
        begin = VELK_MIDNIGHT_LIMIT_MS - timeoutMs;
    }
    *start = begin;
    *deadline = begin + timeoutMs;
}

/* Waits until a node matching key is in the table or the deadline passes:
 * the node (left in the table), or NULL.  NULL at once when the broker has
 * gone: nothing can come any more.  A transaction (byRe) and a wait for a
 * type write their own trace lines. */
static VelkClientMessage* AwaitMessage(const MessageKey* key, int timeoutMs, int watchStdin) {
    uint32_t start = 0;
    uint32_t deadline = 0;
    VelkClient_I_ComputeDeadline(VelkGetTimeOfDay(), timeoutMs < 0 ? 0u : (uint32_t)timeoutMs,
                                 &start, &deadline);
    if (!key->byRe) {
        VTRACE(VELK_TRACE_OWN, "Start Time %lu,Time Out %d \n", (unsigned long)start, timeoutMs);
    }
    for (;;) {
        /* Look before waiting: what is already here needs no wait. */
        VelkClientMessage* found = FindFirst(key);
        if (found != NULL) {
            return found;
        }
        uint32_t now = VelkGetTimeOfDay();
        int brokerGone = VelkClient_I_BrokerGone();
        if (now >= deadline || now < start || brokerGone) {
            if (brokerGone) {
                VTRACE(VELK_TRACE_OWN, "VelkClient: the broker has gone, wait given up\n");
            }
            if (!key->byRe) {
                VTRACE(VELK_TRACE_OWN, "Elapsed Time %lu\n", (unsigned long)(now - start));
            }
            return NULL;
        }
        uint32_t step = deadline - now;
        if (step > kReplyWaitStepMs) {
            step = kReplyWaitStepMs;
        }
        if (VelkClientWaitForMessages((int)step, watchStdin) > 0) {
            if (key->byRe) {
                VTRACE(VELK_TRACE_OWN, "VelkClientSendTransaction elapsed time %lu\n",
                       (unsigned long)(VelkGetTimeOfDay() - start));
            } else {
                VTRACE(VELK_TRACE_OWN,
                       "VelkClientWaitForMessage:VelkClientWaitForMessages found messages\n");
                VTRACE(VELK_TRACE_OWN,
                       "VelkClientWaitForMessage:Checking VelkClientFindMessageWithTypeField\n");
            }
        }
    }
}

/* Copies the node's text into buffer and releases the node: 0, or 1 leaving
 * it in the table when it does not fit. */
static int TakeInto(VelkClientMessage* node, char* buffer, uint32_t size) {
    size_t length = strlen(node->pMessage);
    if (length + 1 >= size) {
        return VELK_TRANS_TOO_LONG;
    }
    memcpy(buffer, node->pMessage, length + 1);
    VelkClientFreeMessage(VelkClientGetNextMessage(node));
    return VELK_TRANS_OK;
}

static int TakeIntoStr(VelkClientMessage* node, CGenStr* text) {
    if (!CGenStrAssignChar(text, node->pMessage)) {
        return VELK_TRANS_TOO_LONG;
    }
    VelkClientFreeMessage(VelkClientGetNextMessage(node));
    return VELK_TRANS_OK;
}

/* Sends message and waits for its reply: 0 with *reply, or 2 / 100+ / 200+. */
static int Transact(const char* message, int timeoutMs, int watchStdin, VelkClientMessage** reply) {
    uint32_t id = 0;
    int result = message == NULL ? VELK_XML_NOT_FOUND : VelkMessageGetMessageId(message, &id);
    if (result != 0) {
        return VELK_TRANS_BAD_ID_BASE + result;
    }
    result = VelkClientSendMessage(message);
    if (result != 0) {
        return VELK_TRANS_SEND_FAILED_BASE + result;
    }
    MessageKey key = {1, id, NULL, 0};
    *reply = AwaitMessage(&key, timeoutMs, watchStdin);
    if (*reply == NULL) {
        return VELK_TRANS_TIMEOUT;
    }
    VTRACE(VELK_TRACE_OWN, "VelkClientSendTransaction Found our message\n");
    return VELK_TRANS_OK;
}

int VelkClientSendTransaction(const char* message, char* reply, uint32_t size, int timeoutMs,
                              int watchStdin) {
    VelkClientMessage* node = NULL;
    int result = Transact(message, timeoutMs, watchStdin, &node);
    if (result != VELK_TRANS_OK) {
        return result;
    }
    return reply == NULL ? VELK_TRANS_TOO_LONG : TakeInto(node, reply, size);
}

int VelkClientSendTransactionStr(const char* message, CGenStr* reply, int timeoutMs,
                                 int watchStdin) {
    VelkClientMessage* node = NULL;
    int result = Transact(message, timeoutMs, watchStdin, &node);
    if (result != VELK_TRANS_OK) {
        return result;
    }
    return reply == NULL ? VELK_TRANS_TOO_LONG : TakeIntoStr(node, reply);
}

static VelkClientMessage* AwaitType(int timeoutMs, const char* type, uint32_t sender,
                                    uint32_t size) {
    VTRACE(VELK_TRACE_OWN, "VelkClientWaitForMessage: wait %i ms for %s or %lu (buffer size %i)\n",
           timeoutMs, type, (unsigned long)sender, (int)size);
    MessageKey key = {0, 0, type, sender};
    VelkClientMessage* found = AwaitMessage(&key, timeoutMs, 0);
    if (found == NULL) {
        VTRACE(VELK_TRACE_OWN, "VelkClientWaitForMessage:timeout\n");
        return NULL;
    }
    VTRACE(VELK_TRACE_OWN, "VelkClientWaitForMessage:found message [%p]=%s\n", (void*)found,
           found->pMessage);
    return found;
}

int VelkClientWaitForMessage(char* buffer, uint32_t size, int timeoutMs, const char* type,
                             uint32_t sender) {
    if (type == NULL || buffer == NULL) {
        return VELK_TRANS_NO_TYPE;
    }
    VelkClientMessage* found = AwaitType(timeoutMs, type, sender, size);
    if (found == NULL) {
        return VELK_TRANS_TIMEOUT;
    }
    int result = TakeInto(found, buffer, size);
    if (result == VELK_TRANS_TOO_LONG) {
        VTRACE(VELK_TRACE_OWN, "VelkClientWaitForMessage:not enough space\n");
    } else {
        VTRACE(VELK_TRACE_OWN, "VelkClientWaitForMessage:found it\n");
    }
    return result;
}

int VelkClientWaitForMessageStr(CGenStr* message, int timeoutMs, const char* type,
                                uint32_t sender) {
    if (type == NULL || message == NULL || !CGenStrIsInit(message)) {
        return VELK_TRANS_NO_TYPE;
    }
    VelkClientMessage* found = AwaitType(timeoutMs, type, sender, 0);
    if (found == NULL) {
        return VELK_TRANS_TIMEOUT;
    }
    return TakeIntoStr(found, message);
}

static int IsEnumCompleteNotice(const char* message) {
    char type[kEnumFieldSize];
    char data[kEnumFieldSize];
    return VelkXmlGetField(message, VELK_MSG_PATH_TYPE, 0, type, sizeof type) == 0 &&
           strcmp(type, VELK_MSG_TYPE_DE_ENUM_NOTIFY) == 0 &&
           VelkXmlGetField(message, VELK_MSG_PATH_DATA, 0, data, sizeof data) == 0 &&
           strcmp(data, "ENUM_COMPLETE") == 0;
}

int VelkClientWaitForEnumCompleteMessage(int timeoutMs, int watchPid) {
    int waited = 0;
    for (;;) {
        VelkClientMessage* node;
        while ((node = VelkClientGetNextMessage(NULL)) != NULL) {
            int complete = IsEnumCompleteNotice(node->pMessage);
            VelkClientFreeMessage(node);
            if (complete) {
                return 0;
            }
        }
        if (waited > timeoutMs || (watchPid > 0 && VelkClientTerminated(watchPid)) ||
            VelkClient_I_BrokerGone()) {
            return 1;
        }
        VelkClientWaitForMessages(kEnumWaitStepMs, 0);
        waited += kEnumWaitStepMs;
    }
}

/* ---- Language ---- */

void VelkClientSendMessageSetLanguage(const char* code) {
    if (code == NULL) {
        gSendLanguage[0] = '\0';
        return;
    }
    VelkSafeStrNCpy(gSendLanguage, code, sizeof gSendLanguage);
}

const char* VelkClientSendMessageGetLanguage(void) {
    return gSendLanguage[0] == '\0' ? NULL : gSendLanguage;
}

int VelkClientSendMessageTranslated(const char* message, char* language) {
    if (message == NULL || language == NULL) {
        return 1;
    }
    VTRACE(VELK_TRACE_OWN, "LANGUAGE %s\n", language);
    if (language[0] == '\0') {
        strcpy(language, "EN");
    }
    uint32_t start = VelkMilliSeconds();
    int result;
    if (strncmp(language, "TK", 2) == 0) {
        result = VelkClientSendMessage(message);
    } else {
        CGenStr translated;
        if (!CGenStrInit(&translated)) {
            return 2;
        }
        if (!VelkGetNlsMessageWithXmlMessage(message, language, &translated)) {
            CGenStrDelete(&translated);
            return 2;
        }
        result = VelkClientSendMessage(CGenStrC_Str(&translated));
        CGenStrDelete(&translated);
    }
    VTRACE(VELK_TRACE_OWN, "VelkClientSendMessageTranslated - elapsed time %d\n",
           (int)(VelkMilliSeconds() - start));
    return result;
}
