/* Compiled as C: every public header of the C layers must be valid C. */
#include "gen-list.h"
#include "gen-str.h"
#include "message-protocol.h"
#include "memory-alloc.h"
#include "process-helpers.h"
#include "test-common.h"
#include "tracing.h"

int velk_headers_compile_check(void) {
    CGenStr s;
    return (int)CGenStrInit(&s);
}
