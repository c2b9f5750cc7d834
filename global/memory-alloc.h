/* Debugging allocator: serves zero-filled blocks from large arenas and, when
 * memory tracing is on, records every live block with its allocation site.
 *
 * Arena layout (all words 32-bit little-endian):
 *   arena + 0  arena size in bytes, header included
 *   arena + 4  next-arena slot: low 32 bits of the next arena's address, 0 at
 *              the end (diagnostics only; the 64-bit chain link itself is kept
 *              in 8 hidden bytes just past the arena's end)
 *   arena + 8  first block header
 * Block header (8 bytes) then data:
 *   header + 0 block size including the header
 *   header + 4 flags: bit 0 in use, bit 1 last block of its arena */
#ifndef VELK_MEMORY_ALLOC_H
#define VELK_MEMORY_ALLOC_H

#include <stddef.h>
#include <stdint.h>

#include "velk-export.h"

VELK_BEGIN_DECLS

#define VELK_ARENA_MIN_SIZE 0x10000u
#define VELK_BLOCK_HEADER_SIZE 8u
#define VELK_BLOCK_IN_USE 1u
#define VELK_BLOCK_LAST 2u

void* TracingVelkAlloc(size_t count, size_t elementSize, const char* file, int line);
void TracingVelkFree(void* pointer, const char* file, int line);
void* TracingVelkReAlloc(void* pointer, size_t newSize, const char* file, int line);
char* TracingVelkAllocString(const char* text, const char* file, int line);
uint32_t GetMemSize(const void* pointer);
int TracingIsPointerValid(const void* pointer, const char* file, int line);
void FinishMemoryBlockTracing(void);

/* Arena sizes are raised to VELK_ARENA_MIN_SIZE and rounded up to a multiple
 * of 16, so served data is 8-byte aligned.  Requests below 8 bytes are served
 * as 8: every block holds at least 8 data bytes. */
int AddNewArena(uint32_t size); /* 0 success, 1 failure */
/* The new arena, not linked into the chain (release an unlinked arena with
 * FreeOsMemory), or NULL. */
void* AllocNewArena(uint32_t size);
int FreeArena(void* arena); /* 0, or 1 when the arena is not in the chain */
void FreeArenasAtExit(void);
void* GetOsMemory(size_t size);
void FreeOsMemory(void* memory);

/* Introspection for tests and diagnostics: the first arena of the chain and
 * the arena that follows a given one (NULL at the end). */
void* VelkFirstArena(void);
void* VelkNextArena(const void* arena);

#define VelkAlloc(count, size) TracingVelkAlloc((count), (size), __FILE__, __LINE__)
#define VelkFree(pointer) TracingVelkFree((pointer), __FILE__, __LINE__)
#define VelkReAlloc(pointer, size) TracingVelkReAlloc((pointer), (size), __FILE__, __LINE__)
#define VelkAllocString(text) TracingVelkAllocString((text), __FILE__, __LINE__)

VELK_END_DECLS

#endif
