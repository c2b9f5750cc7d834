/* Message numbers and the process ids that messages carry. */
#include "message-protocol.h"

#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>

#include "process-helpers.h"

/* The number the next message gets; one indivisible read-and-increment per
 * message keeps numbers distinct across threads. */
static atomic_uint_least32_t nextMessageId = 1;

uint32_t VelkGetLocallyUniqueMessageId(void) {
    return (uint32_t)atomic_fetch_add_explicit(&nextMessageId, 1, memory_order_relaxed);
}

uint32_t VelkGetLocalProcessId(void) {
    return VelkGetClientPid();
}

void VelkGetProcessIdString(uint32_t pid, char* buffer, uint32_t size) {
    if (buffer == NULL || size == 0) {
        return;
    }
    if (size <= 9) {
        buffer[0] = '\0';
        return;
    }
    snprintf(buffer, size, "%lu", (unsigned long)pid);
}

void VelkGetLocalProcessIdString(char* buffer, uint32_t size) {
    VelkGetProcessIdString(VelkGetLocalProcessId(), buffer, size);
}

long VelkGetProcessIdFromString(const char* text) {
    if (text == NULL) {
        return -1;
    }
    return strtol(text, NULL, 10);
}
