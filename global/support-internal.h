/* Private to the support library (gen-str.c, gen-list.c, test-common.c,
 * memory-alloc.c): the C library allocation calls, routed through the fault
 * injection of VelkInjectAllocFailure so that tests reach the out-of-memory
 * paths.  Not a public header: other layers call the public functions. */
#ifndef VELK_SUPPORT_INTERNAL_H
#define VELK_SUPPORT_INTERNAL_H

#include <stddef.h>

#include "velk-export.h"

VELK_BEGIN_DECLS

void* Velk_I_Malloc(size_t size);
void* Velk_I_Calloc(size_t count, size_t size);
/* Like realloc, but a failure leaves the old block alone (as realloc does). */
void* Velk_I_Realloc(void* memory, size_t size);

VELK_END_DECLS

#endif
