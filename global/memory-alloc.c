/* The debugging allocator: zero-filled blocks served from large
 * arenas by worst fit, released with merging of free neighbours, and, when
 * the "mem" trace type is on, a record of every live block with the source
 * file and line that allocated it.
 *
 * Layout (see memory-alloc.h): an arena starts with its size and a 4-byte
 * next-arena slot, then tiling blocks with an 8-byte header (size, flags).
 * On a 64-bit build a pointer does not fit the 4-byte slot, so the chain link
 * itself is kept in 8 hidden bytes just past the arena's end (the arena is
 * obtained with those 8 extra bytes); the slot holds the low 32 bits of the
 * next arena's address, or 0 at the end of the chain, for diagnostics only.
 *
 * Choices left open by the description:
 * - arena sizes are rounded up to a multiple of 16, so every data pointer is
 *   8-byte aligned (the first of an arena 16-byte aligned);
 * - a request below 8 bytes is served as 8, so every block holds at least 8
 *   data bytes (GetMemSize is at least 8 for any block);
 * - the whole data area of a served block is zeroed, slack included;
 * - a release or reallocation of an address the allocator did not serve
 *   releases nothing and copies nothing; VelkFree(NULL) does nothing.
 *
 * Every entry point runs under lock-table entry VELK_MUTEX_ALLOCATOR; the
 * static helpers below expect it held.  Trace output goes through TPRINTF
 * under that lock, so the trace facility must not call this allocator. */
#include "memory-alloc.h"

#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "gen-list.h"
#include "support-internal.h"
#include "test-common.h"
#include "tracing.h"

#define ARENA_HEADER_SIZE 8u
#define ARENA_LINK_SIZE 8u /* hidden link past the arena's end */
#define MIN_REQUEST 8u
#define TRACE_FILE_NAME_SIZE 4096

/* ------------------------------------------------------------------------ */
/* Lock                                                                     */
/* ------------------------------------------------------------------------ */

static void AllocatorLock(int line) {
    if (VelkGrabMutex(__FILE__, line, __func__, VELK_MUTEX_ALLOCATOR, 1) != 0) {
        VelkVerifyFailed(line, __FILE__);
    }
}

static void AllocatorUnlock(int line) {
    if (VelkGrabMutex(__FILE__, line, __func__, VELK_MUTEX_ALLOCATOR, 0) != 0) {
        VelkVerifyFailed(line, __FILE__);
    }
}

#define LOCK_ALLOCATOR() AllocatorLock(__LINE__)
#define UNLOCK_ALLOCATOR() AllocatorUnlock(__LINE__)

/* ------------------------------------------------------------------------ */
/* Arena and block words                                                    */
/* ------------------------------------------------------------------------ */

static uint8_t* s_firstArena;

static uint32_t* Words(void* at) {
    return (uint32_t*)at;
}

static uint32_t ArenaSize(const uint8_t* arena) {
    return ((const uint32_t*)arena)[0];
}

static uint8_t** ArenaLink(uint8_t* arena) {
    return (uint8_t**)(arena + ArenaSize(arena));
}

static uint8_t* ArenaNext(uint8_t* arena) {
    return *ArenaLink(arena);
}

static void SetArenaNext(uint8_t* arena, uint8_t* next) {
    *ArenaLink(arena) = next;
    Words(arena)[1] = (uint32_t)(uintptr_t)next;
}

static uint8_t* FirstBlock(uint8_t* arena) {
    return arena + ARENA_HEADER_SIZE;
}

static uint32_t BlockSize(const uint8_t* header) {
    return ((const uint32_t*)header)[0];
}

static uint32_t BlockFlags(const uint8_t* header) {
    return ((const uint32_t*)header)[1];
}

static void SetBlock(uint8_t* header, uint32_t size, uint32_t flags) {
    Words(header)[0] = size;
    Words(header)[1] = flags;
}

/* The block after header in its arena, or NULL after the last one. */
static uint8_t* NextBlock(uint8_t* arena, uint8_t* header) {
    if ((BlockFlags(header) & VELK_BLOCK_LAST) != 0 || BlockSize(header) == 0) {
        return NULL;
    }
    uint8_t* next = header + BlockSize(header);
    return next < arena + ArenaSize(arena) ? next : NULL;
}

/* ------------------------------------------------------------------------ */
/* Arenas                                                                   */
/* ------------------------------------------------------------------------ */

void* GetOsMemory(size_t size) {
    return Velk_I_Malloc(size);
}

void FreeOsMemory(void* memory) {
    free(memory);
}

static pthread_once_t s_exitHandlerOnce = PTHREAD_ONCE_INIT;

static void RegisterExitHandler(void) {
    atexit(FreeArenasAtExit);
}

void* AllocNewArena(uint32_t size) {
    if (size < VELK_ARENA_MIN_SIZE) {
        size = VELK_ARENA_MIN_SIZE;
    }
    if (size > UINT32_MAX - 15u) {
        return NULL;
    }
    size = (size + 15u) & ~15u;
    uint8_t* arena = GetOsMemory((size_t)size + ARENA_LINK_SIZE);
    if (arena == NULL) {
        return NULL;
    }
    Words(arena)[0] = size;
    SetArenaNext(arena, NULL);
    SetBlock(FirstBlock(arena), size - ARENA_HEADER_SIZE, VELK_BLOCK_LAST);
    pthread_once(&s_exitHandlerOnce, RegisterExitHandler);
    return arena;
}

static int AddNewArenaLocked(uint32_t size) {
    uint8_t* arena = AllocNewArena(size);
    if (arena == NULL) {
        return 1;
    }
    if (s_firstArena == NULL) {
        s_firstArena = arena;
        return 0;
    }
    uint8_t* last = s_firstArena;
    while (ArenaNext(last) != NULL) {
        last = ArenaNext(last);
    }
    SetArenaNext(last, arena);
    return 0;
}

int AddNewArena(uint32_t size) {
    LOCK_ALLOCATOR();
    int result = AddNewArenaLocked(size);
    UNLOCK_ALLOCATOR();
    return result;
}

static int FreeArenaLocked(uint8_t* arena) {
    uint8_t* previous = NULL;
    uint8_t* current = s_firstArena;
    while (current != NULL && current != arena) {
        previous = current;
        current = ArenaNext(current);
    }
    if (current == NULL) {
        return 1;
    }
    if (previous == NULL) {
        s_firstArena = ArenaNext(current);
    } else {
        SetArenaNext(previous, ArenaNext(current));
    }
    FreeOsMemory(current);
    return 0;
}

int FreeArena(void* arena) {
    LOCK_ALLOCATOR();
    int result = FreeArenaLocked(arena);
    UNLOCK_ALLOCATOR();
    return result;
}

void FreeArenasAtExit(void) {
    /* At exit another thread may still hold the lock (or this one, when a
     * failed release ended the process): then the memory is left to the
     * system rather than waited for. */
    if (VelkTryMutex(__FILE__, __LINE__, __func__, VELK_MUTEX_ALLOCATOR) != 0) {
        return;
    }
    while (s_firstArena != NULL) {
        FreeArenaLocked(s_firstArena);
    }
    /* Never VelkVerifyFailed (exit) from inside an exit handler. */
    (void)VelkGrabMutex(__FILE__, __LINE__, __func__, VELK_MUTEX_ALLOCATOR, 0);
}

void* VelkFirstArena(void) {
    LOCK_ALLOCATOR();
    void* arena = s_firstArena;
    UNLOCK_ALLOCATOR();
    return arena;
}

void* VelkNextArena(const void* arena) {
    if (arena == NULL) {
        return NULL;
    }
    LOCK_ALLOCATOR();
    void* next = ArenaNext((uint8_t*)arena);
    UNLOCK_ALLOCATOR();
    return next;
}

/* ------------------------------------------------------------------------ */
/* Blocks                                                                   */
/* ------------------------------------------------------------------------ */

/* Worst fit over every free block of every arena; splits the slack off the
 * end of the block found.  n must be at most UINT32_MAX - 8. */
static void* LookForMemory(uint32_t n) {
    uint8_t* best = NULL;
    uint32_t bestLeftover = 0;
    for (uint8_t* arena = s_firstArena; arena != NULL; arena = ArenaNext(arena)) {
        for (uint8_t* header = FirstBlock(arena); header != NULL;
             header = NextBlock(arena, header)) {
            uint32_t size = BlockSize(header);
            if ((BlockFlags(header) & VELK_BLOCK_IN_USE) != 0 ||
                size < n + VELK_BLOCK_HEADER_SIZE) {
                continue;
            }
            uint32_t leftover = size - VELK_BLOCK_HEADER_SIZE - n;
            if (best == NULL || leftover > bestLeftover) {
                best = header;
                bestLeftover = leftover;
            }
        }
    }
    if (best == NULL) {
        return NULL;
    }
    uint32_t size = BlockSize(best);
    uint32_t flags = BlockFlags(best) | VELK_BLOCK_IN_USE;
    uint32_t split = bestLeftover < 9 ? 0 : (bestLeftover & ~15u);
    if (split == 0) {
        SetBlock(best, size, flags);
    } else {
        SetBlock(best + size - split, split, flags & VELK_BLOCK_LAST);
        SetBlock(best, size - split, flags & ~VELK_BLOCK_LAST);
    }
    return best + VELK_BLOCK_HEADER_SIZE;
}

/* The in-use block whose data starts at pointer, with its arena and the
 * block before it in that arena (NULL for the first). */
static uint8_t* FindBlock(const void* pointer, uint8_t** arenaOut, uint8_t** previousOut) {
    if (pointer == NULL) {
        return NULL;
    }
    uintptr_t at = (uintptr_t)pointer;
    for (uint8_t* arena = s_firstArena; arena != NULL; arena = ArenaNext(arena)) {
        if (at < (uintptr_t)arena || at >= (uintptr_t)arena + ArenaSize(arena)) {
            continue;
        }
        uint8_t* previous = NULL;
        for (uint8_t* header = FirstBlock(arena); header != NULL;
             header = NextBlock(arena, header)) {
            if ((uintptr_t)header + VELK_BLOCK_HEADER_SIZE == at) {
                if ((BlockFlags(header) & VELK_BLOCK_IN_USE) == 0) {
                    return NULL;
                }
                if (arenaOut != NULL) {
                    *arenaOut = arena;
                }
                if (previousOut != NULL) {
                    *previousOut = previous;
                }
                return header;
            }
            previous = header;
        }
        return NULL;
    }
    return NULL;
}

static uint32_t GetMemSizeLocked(const void* pointer) {
    uint8_t* header = FindBlock(pointer, NULL, NULL);
    return header == NULL ? 0 : BlockSize(header) - VELK_BLOCK_HEADER_SIZE;
}

static void FreeMemory(void* pointer) {
    uint8_t* arena = NULL;
    uint8_t* previous = NULL;
    uint8_t* block = FindBlock(pointer, &arena, &previous);
    if (block == NULL) {
        return;
    }
    uint32_t size = BlockSize(block);
    uint32_t flags = BlockFlags(block) & ~VELK_BLOCK_IN_USE;
    if (previous != NULL && (BlockFlags(previous) & VELK_BLOCK_IN_USE) == 0) {
        size += BlockSize(previous);
        flags |= BlockFlags(previous) & VELK_BLOCK_LAST;
        block = previous;
    }
    if ((flags & VELK_BLOCK_LAST) == 0) {
        uint8_t* next = block + size;
        if ((BlockFlags(next) & VELK_BLOCK_IN_USE) == 0) {
            size += BlockSize(next);
            flags |= BlockFlags(next) & VELK_BLOCK_LAST;
        }
    }
    SetBlock(block, size, flags);
    if (block == FirstBlock(arena) && (flags & VELK_BLOCK_LAST) != 0 &&
        (arena != s_firstArena || ArenaNext(arena) != NULL)) {
        FreeArenaLocked(arena);
    }
}

/* ------------------------------------------------------------------------ */
/* Block tracing                                                            */
/* ------------------------------------------------------------------------ */

typedef struct CMemBlockInfo {
    const void* pAddress;
    uint32_t uSize; /* the element-size argument of the allocation */
    char sFile[TRACE_FILE_NAME_SIZE];
    int iLine;
} CMemBlockInfo;

static CGenList MemBlocksList;
static int s_memBlocksListConstructed;

/* "%ul" is the established trace text: the size, then a literal 'l'. */
#define BLOCK_INFO_FORMAT \
    "\nMEM BLOCK INFO\nAddress: %p\nSize: %ul\nAllocated at file: %s\nLine: %d\n"

static int DoMemoryBlockTracing(void) {
    return TracingTypeEnabled(VELK_TRACE_MEM);
}

static CGenList* BlocksList(void) {
    if (!s_memBlocksListConstructed) {
        CGenListConstructForMemTracing(&MemBlocksList, 1, NULL);
        s_memBlocksListConstructed = 1;
    }
    return &MemBlocksList;
}

static void CMemBlockInfoInit(CMemBlockInfo* info, const void* address, uint32_t size,
                              const char* file, int line) {
    info->pAddress = address;
    info->uSize = size;
    VelkSafeStrNCpy(info->sFile, file == NULL ? "" : file, sizeof info->sFile);
    info->iLine = line;
}

/* Ordering comparison by address: 0 when the record is the block at key. */
static int IsSameMemBlock(const void* data, const void* key) {
    const CMemBlockInfo* info = data;
    uintptr_t a = (uintptr_t)info->pAddress;
    uintptr_t b = (uintptr_t)key;
    return a < b ? -1 : (a > b ? 1 : 0);
}

/* -1 when pointer lies below the block, 0 inside it, 1 above it. */
static int PointerIsInMemBlock(const CMemBlockInfo* info, const void* pointer) {
    uintptr_t start = (uintptr_t)info->pAddress;
    uintptr_t at = (uintptr_t)pointer;
    if (at < start) {
        return -1;
    }
    return info->uSize != 0 && at - start <= info->uSize - 1u ? 0 : 1;
}

static void TraceBlockInfo(const CMemBlockInfo* info, const char* file, int line) {
    TPRINTF(VELK_TRACE_MEM, file, line, __func__, BLOCK_INFO_FORMAT, info->pAddress, info->uSize,
            info->sFile, info->iLine);
}

static void LogMemoryBlockAlloc(const void* address, uint32_t size, const char* file, int line) {
    CGenList* list = BlocksList();
    CGenListIter it = CGenListFind(list, IsSameMemBlock, address);
    if (CGenListIterAtEnd(&it)) {
        CMemBlockInfo* info = Velk_I_Malloc(sizeof *info);
        if (info == NULL) {
            return;
        }
        CMemBlockInfoInit(info, address, size, file, line);
        if (!CGenListPushBack(list, info)) {
            free(info);
        }
        return;
    }
    TPRINTF(VELK_TRACE_MEM, file, line, __func__, "%s",
            "\nMEMORY ERROR - New mem block has same address as an existing block.\n"
            "This may be due to freeing a memory block by calling free() directly\n"
            "instead of calling VelkFree() or it may be due to an error in the\n"
            "VELK memory logging functions\n");
    TraceBlockInfo(CGenListIterGetData(&it), file, line);
}

static void LogMemoryBlockFree(const void* address, const char* file, int line) {
    CGenList* list = BlocksList();
    CGenListIter it = CGenListFind(list, IsSameMemBlock, address);
    if (!CGenListIterAtEnd(&it)) {
        CGenListErase(list, it);
        return;
    }
    TPRINTF(VELK_TRACE_MEM, file, line, __func__, "%s",
            "\nMEMORY ERROR - Attempting to free nonexisting memory block\n"
            "This may be caused by freeing a block twice, freeing a block\n"
            "which was allocated with malloc() instead of VelkAlloc(),\n"
            "freeing a block which was not dynamically allocated, or an\n"
            "error in the VELK memory logging functions\n");
    TPRINTF(VELK_TRACE_MEM, file, line, __func__, "\nLOCATION\nAddress: %p\nFile: %s\nLine: %d\n",
            address, file == NULL ? "" : file, line);
}

static void ListBlocksStillInUse(void) {
    CGenList* list = BlocksList();
    if (CGenListGetCount(list) == 0) {
        return;
    }
    TPRINTF(VELK_TRACE_MEM, __FILE__, __LINE__, __func__, "%s",
            "\nMEMORY ERROR - some memory blocks have not been released\n"
            "LIST OF BLOCKS STILL ALLOCATED\n");
    CGenListIter it;
    for (CGenListIterInit(&it, list); !CGenListIterAtEnd(&it); CGenListIterAdv(&it)) {
        const CMemBlockInfo* info = CGenListIterGetData(&it);
        TraceBlockInfo(info, info->sFile, info->iLine);
    }
}

/* ------------------------------------------------------------------------ */
/* Entry points                                                             */
/* ------------------------------------------------------------------------ */

static void* AllocLocked(size_t count, size_t elementSize, const char* file, int line) {
    if (elementSize != 0 && count > SIZE_MAX / elementSize) {
        return NULL;
    }
    size_t n = count * elementSize;
    /* The request, its block header and an arena header must fit the
     * 32-bit size words. */
    if (n > UINT32_MAX - 32u) {
        return NULL;
    }
    uint32_t request = n < MIN_REQUEST ? MIN_REQUEST : (uint32_t)n;
    void* data = LookForMemory(request);
    if (data == NULL && AddNewArenaLocked(request + 16u) == 0) {
        data = LookForMemory(request);
    }
    if (data == NULL) {
        return NULL;
    }
    /* data is the block just served: its header lies right before it. */
    uint8_t* header = (uint8_t*)data - VELK_BLOCK_HEADER_SIZE;
    memset(data, 0, BlockSize(header) - VELK_BLOCK_HEADER_SIZE);
    if (DoMemoryBlockTracing()) {
        LogMemoryBlockAlloc(data, (uint32_t)elementSize, file, line);
    }
    return data;
}

static void FreeLocked(void* pointer, const char* file, int line) {
    if (DoMemoryBlockTracing()) {
        LogMemoryBlockFree(pointer, file, line);
    }
    FreeMemory(pointer);
}

void* TracingVelkAlloc(size_t count, size_t elementSize, const char* file, int line) {
    LOCK_ALLOCATOR();
    void* data = AllocLocked(count, elementSize, file, line);
    UNLOCK_ALLOCATOR();
    return data;
}

void TracingVelkFree(void* pointer, const char* file, int line) {
    if (pointer == NULL) {
        return;
    }
    LOCK_ALLOCATOR();
    FreeLocked(pointer, file, line);
    UNLOCK_ALLOCATOR();
}

void* TracingVelkReAlloc(void* pointer, size_t newSize, const char* file, int line) {
    if (pointer == NULL) {
        return NULL;
    }
    LOCK_ALLOCATOR();
    void* result = NULL;
    if (newSize == 0) {
        FreeLocked(pointer, file, line);
    } else {
        uint32_t oldSize = GetMemSizeLocked(pointer);
        if (oldSize > newSize) {
            result = pointer;
        } else {
            result = AllocLocked(newSize, 1, file, line);
            if (result != NULL) {
                memcpy(result, pointer, oldSize);
                FreeLocked(pointer, file, line);
            }
        }
    }
    UNLOCK_ALLOCATOR();
    return result;
}

char* TracingVelkAllocString(const char* text, const char* file, int line) {
    if (text == NULL) {
        return NULL;
    }
    size_t length = strlen(text);
    LOCK_ALLOCATOR();
    char* copy = length > SIZE_MAX - 4u ? NULL : AllocLocked(1, length + 4u, file, line);
    if (copy != NULL) {
        memcpy(copy, text, length);
    }
    UNLOCK_ALLOCATOR();
    return copy;
}

uint32_t GetMemSize(const void* pointer) {
    LOCK_ALLOCATOR();
    uint32_t size = GetMemSizeLocked(pointer);
    UNLOCK_ALLOCATOR();
    return size;
}

int TracingIsPointerValid(const void* pointer, const char* file, int line) {
    LOCK_ALLOCATOR();
    int valid = 1;
    if (DoMemoryBlockTracing()) {
        valid = 0;
        CGenList* list = BlocksList();
        CGenListIter it;
        for (CGenListIterInit(&it, list); !CGenListIterAtEnd(&it); CGenListIterAdv(&it)) {
            if (PointerIsInMemBlock(CGenListIterGetData(&it), pointer) == 0) {
                valid = 1;
                break;
            }
        }
        if (!valid) {
            TPRINTF(VELK_TRACE_MEM, file, line, __func__,
                    "\nMEMORY ERROR - invalid pointer\nAddress %p\nFile: %s\nLine: %d\n", pointer,
                    file == NULL ? "" : file, line);
        }
    }
    UNLOCK_ALLOCATOR();
    return valid;
}

void FinishMemoryBlockTracing(void) {
    LOCK_ALLOCATOR();
    if (DoMemoryBlockTracing()) {
        ListBlocksStillInUse();
        CGenListDestruct(BlocksList());
    }
    UNLOCK_ALLOCATOR();
}
