// The tracing arena allocator: the block layout figures, worst
// fit, splitting, merging, arena return, reallocation, block tracing texts,
// the allocator lock and its failure path.
//
// The arena chain is process-wide.  Every test starts from an empty chain
// (the fixture returns all arenas first) and looks only at what it made, so
// the tests hold whether they run one per process (ctest) or all in one.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "memory-alloc.h"
#include "test-common.h"
#include "tracing.h"

namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

struct Block {
    uint32_t offset;  // of the header, from the arena start
    uint32_t size;
    uint32_t flags;
};

const uint32_t* Header(const void* data) {
    return reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(data) - 8);
}

uint32_t SizeOf(const void* data) {
    return Header(data)[0];
}

uint32_t FlagsOf(const void* data) {
    return Header(data)[1];
}

uint32_t ArenaSizeOf(const void* arena) {
    return static_cast<const uint32_t*>(arena)[0];
}

std::vector<void*> Arenas() {
    std::vector<void*> arenas;
    for (void* arena = VelkFirstArena(); arena != nullptr; arena = VelkNextArena(arena)) {
        arenas.push_back(arena);
    }
    return arenas;
}

std::vector<Block> Blocks(const void* arena) {
    std::vector<Block> blocks;
    const uint8_t* base = static_cast<const uint8_t*>(arena);
    uint32_t offset = 8;
    while (offset < ArenaSizeOf(arena)) {
        const uint32_t* words = reinterpret_cast<const uint32_t*>(base + offset);
        blocks.push_back({offset, words[0], words[1]});
        if ((words[1] & VELK_BLOCK_LAST) != 0 || words[0] == 0) {
            break;
        }
        offset += words[0];
    }
    return blocks;
}

// Blocks tile each arena exactly, only the final block is flagged last, and
// no two free blocks are neighbours (they would have been merged).
void ExpectChainConsistent() {
    for (void* arena : Arenas()) {
        uint32_t total = 8;
        std::vector<Block> blocks = Blocks(arena);
        for (size_t i = 0; i < blocks.size(); ++i) {
            total += blocks[i].size;
            EXPECT_EQ(i + 1 == blocks.size(), (blocks[i].flags & VELK_BLOCK_LAST) != 0) << i;
            if (i > 0) {
                EXPECT_FALSE((blocks[i].flags & VELK_BLOCK_IN_USE) == 0 &&
                             (blocks[i - 1].flags & VELK_BLOCK_IN_USE) == 0)
                    << "free neighbours at block " << i;
            }
        }
        EXPECT_EQ(ArenaSizeOf(arena), total);
    }
}

std::string PointerText(const void* pointer) {
    char text[64];
    std::snprintf(text, sizeof text, "%p", pointer);
    return text;
}

bool AllZero(const void* data, size_t size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    return std::all_of(bytes, bytes + size, [](uint8_t byte) { return byte == 0; });
}

// Captures standard error (where trace lines go) and always ends the capture.
class StderrCapture {
  public:
    StderrCapture() { ::testing::internal::CaptureStderr(); }
    ~StderrCapture() { Take(); }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;
    std::string Take() {
        if (!taken_) {
            taken_ = true;
            text_ = ::testing::internal::GetCapturedStderr();
        }
        return text_;
    }

  private:
    bool taken_ = false;
    std::string text_;
};

class Allocator : public ::testing::Test {
  protected:
    void SetUp() override {
        VelkInjectAllocFailure(-1);
        SetTraceFilenameForComponent("");  // trace lines to stderr
        VelkSetTracingType(VELK_TRACE_MEM, 0);
        FreeArenasAtExit();
        ASSERT_EQ(nullptr, VelkFirstArena());
    }

    void TearDown() override {
        VelkInjectAllocFailure(-1);
        // Drop the trace records a test left, so that no later test sees them.
        VelkSetTracingType(VELK_TRACE_MEM, 1);
        {
            StderrCapture discard;
            FinishMemoryBlockTracing();
        }
        VelkSetTracingType(VELK_TRACE_MEM, 0);
        EXPECT_EQ(0u, iMutexHeld[VELK_MUTEX_ALLOCATOR]);
        FreeArenasAtExit();
    }

    // Seven blocks a..g (g the 400-byte one at index 5 is "f") in the first
    // arena, and the arena's tail taken by one more block, so that freed
    // blocks become holes the tests control.
    struct Layout {
        void *a, *b, *c, *d, *e, *f, *g, *tail;
    };

    static Layout MakeLayout() {
        Layout l{};
        l.a = VelkAlloc(1, 200);
        l.b = VelkAlloc(1, 200);
        l.c = VelkAlloc(1, 200);
        l.d = VelkAlloc(1, 200);
        l.e = VelkAlloc(1, 200);
        l.f = VelkAlloc(1, 400);
        l.g = VelkAlloc(1, 200);
        std::vector<Block> blocks = Blocks(VelkFirstArena());
        const Block& rest = blocks.back();
        EXPECT_EQ(0u, rest.flags & VELK_BLOCK_IN_USE);
        l.tail = VelkAlloc(1, rest.size - 8);  // leftover 0: not split
        EXPECT_EQ(rest.size, SizeOf(l.tail));
        EXPECT_EQ(VELK_BLOCK_IN_USE | VELK_BLOCK_LAST, FlagsOf(l.tail));
        EXPECT_EQ(1u, Arenas().size());
        return l;
    }
};

TEST_F(Allocator, FirstAllocationOf100BytesCreatesOneArenaAndSplitsItsBlock) {
    void* p = VelkAlloc(1, 100);
    ASSERT_NE(nullptr, p);
    std::vector<void*> arenas = Arenas();
    ASSERT_EQ(1u, arenas.size());
    uint8_t* arena = static_cast<uint8_t*>(arenas[0]);
    EXPECT_EQ(65536u, ArenaSizeOf(arena));
    EXPECT_EQ(0u, reinterpret_cast<uint32_t*>(arena)[1]);  // no next arena
    EXPECT_EQ(arena + 16, p);                              // first block 8 bytes in
    std::vector<Block> blocks = Blocks(arena);
    ASSERT_EQ(2u, blocks.size());
    EXPECT_EQ(8u, blocks[0].offset);
    EXPECT_EQ(120u, blocks[0].size);  // 8 header + 100 data + 12 slack
    EXPECT_EQ(VELK_BLOCK_IN_USE, blocks[0].flags);
    EXPECT_EQ(128u, blocks[1].offset);
    EXPECT_EQ(65408u, blocks[1].size);
    EXPECT_EQ(VELK_BLOCK_LAST, blocks[1].flags);
    EXPECT_EQ(112u, GetMemSize(p));
    EXPECT_TRUE(AllZero(p, 112));

    VelkFree(p);
    // The only arena is kept, back to one free block.
    ASSERT_EQ(arenas, Arenas());
    blocks = Blocks(arena);
    ASSERT_EQ(1u, blocks.size());
    EXPECT_EQ(65528u, blocks[0].size);
    EXPECT_EQ(VELK_BLOCK_LAST, blocks[0].flags);
}

TEST_F(Allocator, WorstFitPrefersTheLargestLeftoverAndTiesGoToTheFirst) {
    Layout l = MakeLayout();
    ASSERT_EQ(SizeOf(l.b), SizeOf(l.d));
    ASSERT_GT(SizeOf(l.f), SizeOf(l.b));
    const uint32_t hole = SizeOf(l.b);
    VelkFree(l.b);
    VelkFree(l.d);

    void* q = VelkAlloc(1, 50);
    EXPECT_EQ(l.b, q);  // equal leftovers: the first found
    // The leftover, rounded down to 16, is split off the end of the block.
    const uint32_t split = (hole - 8 - 50) & ~15u;
    EXPECT_EQ(hole - split, SizeOf(q));
    const uint8_t* rest = static_cast<const uint8_t*>(q) - 8 + SizeOf(q);  // next header
    EXPECT_EQ(split, reinterpret_cast<const uint32_t*>(rest)[0]);
    EXPECT_EQ(0u, reinterpret_cast<const uint32_t*>(rest)[1]);  // free, not last
    ExpectChainConsistent();

    VelkFree(q);  // merges with its split-off rest: the hole again
    EXPECT_EQ(0u, FlagsOf(l.b));
    EXPECT_EQ(hole, SizeOf(l.b));

    VelkFree(l.f);
    q = VelkAlloc(1, 50);
    EXPECT_EQ(l.f, q);  // the largest leftover wins although found last
    ExpectChainConsistent();
}

TEST_F(Allocator, SmallLeftoversAreNotSplit) {
    Layout l = MakeLayout();
    const uint32_t hole = SizeOf(l.b);
    VelkFree(l.b);
    void* q = VelkAlloc(1, hole - 8 - 5);  // leftover 5 < 9
    EXPECT_EQ(l.b, q);
    EXPECT_EQ(hole, SizeOf(q));
    VelkFree(q);
    q = VelkAlloc(1, hole - 8 - 12);  // leftover 12: rounded down to 0
    EXPECT_EQ(l.b, q);
    EXPECT_EQ(hole, SizeOf(q));
    EXPECT_EQ(hole - 8, GetMemSize(q));
    VelkFree(q);
    q = VelkAlloc(1, hole - 8 - 16);  // leftover 16: a 16-byte block is split off
    EXPECT_EQ(hole - 16, SizeOf(q));
    ExpectChainConsistent();
}

TEST_F(Allocator, ReleaseMergesWithThePreviousAndTheNextBlock) {
    Layout l = MakeLayout();
    const uint32_t sb = SizeOf(l.b), sc = SizeOf(l.c), sd = SizeOf(l.d);
    const size_t before = Blocks(VelkFirstArena()).size();
    VelkFree(l.b);
    VelkFree(l.d);
    VelkFree(l.c);  // both neighbours free: one block from b to the end of d
    EXPECT_EQ(sb + sc + sd, SizeOf(l.b));
    EXPECT_EQ(0u, FlagsOf(l.b));
    EXPECT_EQ(before - 2, Blocks(VelkFirstArena()).size());
    EXPECT_EQ(0u, GetMemSize(l.c));
    EXPECT_EQ(0u, GetMemSize(l.d));
    ExpectChainConsistent();

    // The last flag carries over in both directions of a merge.
    const uint32_t sf = SizeOf(l.f), sg = SizeOf(l.g), st = SizeOf(l.tail);
    VelkFree(l.tail);
    EXPECT_EQ(VELK_BLOCK_LAST, FlagsOf(l.tail));
    VelkFree(l.f);
    VelkFree(l.g);  // previous f and next tail both free
    EXPECT_EQ(sf + sg + st, SizeOf(l.f));
    EXPECT_EQ(VELK_BLOCK_LAST, FlagsOf(l.f));
    ExpectChainConsistent();

    VelkFree(l.a);
    VelkFree(l.e);
    EXPECT_EQ(1u, Blocks(VelkFirstArena()).size());  // the only arena is kept, whole again
}

TEST_F(Allocator, ReleasingEveryBlockOfASecondArenaReturnsIt) {
    void* small = VelkAlloc(1, 100);
    void* first = VelkFirstArena();
    void* filler = VelkAlloc(1, 65400);  // the first arena's free 65408 bytes, unsplit
    ASSERT_EQ(65408u, SizeOf(filler));
    ASSERT_EQ(1u, Arenas().size());
    void* x = VelkAlloc(1, 64);
    void* y = VelkAlloc(1, 64);
    std::vector<void*> arenas = Arenas();
    ASSERT_EQ(2u, arenas.size());
    EXPECT_EQ(first, arenas[0]);
    EXPECT_EQ(65536u, ArenaSizeOf(arenas[1]));
    EXPECT_NE(0u, static_cast<uint32_t*>(first)[1]);  // the slot notes a next arena
    VelkFree(x);
    EXPECT_EQ(2u, Arenas().size());  // y still lives there
    VelkFree(y);
    EXPECT_EQ(std::vector<void*>{first}, Arenas());
    EXPECT_EQ(0u, static_cast<uint32_t*>(first)[1]);
    VelkFree(filler);
    VelkFree(small);
    EXPECT_EQ(std::vector<void*>{first}, Arenas());  // the only arena is kept
    ExpectChainConsistent();
}

TEST_F(Allocator, AnEmptiedFirstArenaIsReturnedWhenAnotherFollows) {
    void* small = VelkAlloc(1, 100);
    void* big = VelkAlloc(70000, 1);  // does not fit the first arena's 65408
    std::vector<void*> arenas = Arenas();
    ASSERT_EQ(2u, arenas.size());
    EXPECT_EQ(70016u, ArenaSizeOf(arenas[1]));
    EXPECT_EQ(70008u, SizeOf(big));  // leftover 0: served whole
    EXPECT_EQ(VELK_BLOCK_IN_USE | VELK_BLOCK_LAST, FlagsOf(big));
    EXPECT_EQ(70000u, GetMemSize(big));
    VelkFree(small);
    EXPECT_EQ(std::vector<void*>{arenas[1]}, Arenas());
    VelkFree(big);
    EXPECT_EQ(std::vector<void*>{arenas[1]}, Arenas());  // now the only one: kept
}

TEST_F(Allocator, ReallocKeepsSmallerSizesAndMovesLargerOnes) {
    alarm(30);  // realloc re-taking the non-recursive lock would hang
    void* p = VelkAlloc(1, 100);
    ASSERT_EQ(112u, GetMemSize(p));
    EXPECT_EQ(p, VelkReAlloc(p, 50));
    EXPECT_EQ(p, VelkReAlloc(p, 111));
    for (int i = 0; i < 112; ++i) {
        static_cast<uint8_t*>(p)[i] = static_cast<uint8_t>(i + 1);
    }
    void* q = VelkReAlloc(p, 500);
    ASSERT_NE(nullptr, q);
    EXPECT_NE(p, q);
    for (int i = 0; i < 112; ++i) {
        ASSERT_EQ(static_cast<uint8_t>(i + 1), static_cast<uint8_t*>(q)[i]) << i;
    }
    EXPECT_TRUE(AllZero(static_cast<uint8_t*>(q) + 112, 500 - 112));
    EXPECT_EQ(0u, GetMemSize(p));  // the old block was released
    EXPECT_EQ(nullptr, VelkReAlloc(q, 0));
    EXPECT_EQ(0u, GetMemSize(q));
    ExpectChainConsistent();
    alarm(0);
}

TEST_F(Allocator, ReallocOfNullUnknownOrTooLargeBlocks) {
    EXPECT_EQ(nullptr, VelkReAlloc(nullptr, 10));
    EXPECT_TRUE(Arenas().empty());
    // An unknown pointer gets a fresh zeroed block; its memory is not read.
    char local[64];
    std::memset(local, 'Z', sizeof local);
    void* r = VelkReAlloc(local, 32);
    ASSERT_NE(nullptr, r);
    EXPECT_TRUE(AllZero(r, GetMemSize(r)));
    VelkFree(r);
    // A failed move keeps the old block.
    void* p = VelkAlloc(1, 100);
    std::memset(p, 0x3C, 100);
    VelkInjectAllocFailure(0);  // no new arena can be had
    EXPECT_EQ(nullptr, VelkReAlloc(p, 70000));
    VelkInjectAllocFailure(-1);
    EXPECT_EQ(112u, GetMemSize(p));
    EXPECT_EQ(0x3C, static_cast<uint8_t*>(p)[99]);
    EXPECT_EQ(1u, Arenas().size());
    VelkFree(p);
}

TEST_F(Allocator, FailedArenaAllocationReturnsNullAndKeepsTheChain) {
    VelkInjectAllocFailure(0);
    EXPECT_EQ(nullptr, VelkAlloc(1, 100));
    EXPECT_TRUE(Arenas().empty());
    VelkInjectAllocFailure(-1);
    ASSERT_NE(nullptr, VelkAlloc(1, 100));
    VelkInjectAllocFailure(0);
    EXPECT_EQ(nullptr, VelkAlloc(1, 70000));
    EXPECT_NE(nullptr, VelkAlloc(1, 100));  // still served from the existing arena
    VelkInjectAllocFailure(-1);
    EXPECT_EQ(1u, Arenas().size());
    // Sizes beyond 32 bits are refused.
    EXPECT_EQ(nullptr, VelkAlloc(SIZE_MAX, 2));
    EXPECT_EQ(nullptr, VelkAlloc(1, 0xFFFFFFFFu));
    ExpectChainConsistent();
}

TEST_F(Allocator, GetMemSizeKnowsOnlyBlockStarts) {
    EXPECT_EQ(0u, GetMemSize(nullptr));
    void* p = VelkAlloc(1, 100);
    int local = 0;
    EXPECT_EQ(0u, GetMemSize(&local));
    EXPECT_EQ(0u, GetMemSize(static_cast<uint8_t*>(p) + 8));
    // Every block holds at least 8 data bytes.
    void* one = VelkAlloc(1, 1);
    void* none = VelkAlloc(0, 4);
    ASSERT_NE(nullptr, none);
    EXPECT_GE(GetMemSize(one), 8u);
    EXPECT_GE(GetMemSize(none), 8u);
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(one) % 8);
    VelkFree(one);
    VelkFree(none);
    VelkFree(p);
}

TEST_F(Allocator, AllocStringCopiesWithSpareNulBytes) {
    EXPECT_EQ(nullptr, VelkAllocString(nullptr));
    char* copy = VelkAllocString("hello");
    ASSERT_NE(nullptr, copy);
    EXPECT_STREQ("hello", copy);
    EXPECT_TRUE(AllZero(copy + 5, 4));
    VelkFree(copy);
}

TEST_F(Allocator, ArenaFunctions) {
    EXPECT_EQ(0, AddNewArena(100));
    EXPECT_EQ(0, AddNewArena(70001));  // rounded up to a multiple of 16
    std::vector<void*> arenas = Arenas();
    ASSERT_EQ(2u, arenas.size());
    EXPECT_EQ(65536u, ArenaSizeOf(arenas[0]));
    EXPECT_EQ(70016u, ArenaSizeOf(arenas[1]));
    int local = 0;
    EXPECT_EQ(1, FreeArena(&local));
    EXPECT_EQ(0, FreeArena(arenas[0]));
    EXPECT_EQ(std::vector<void*>{arenas[1]}, Arenas());
    VelkInjectAllocFailure(0);
    EXPECT_EQ(1, AddNewArena(1));
    VelkInjectAllocFailure(-1);

    void* loose = AllocNewArena(10);  // not linked into the chain
    ASSERT_NE(nullptr, loose);
    EXPECT_EQ(65536u, ArenaSizeOf(loose));
    EXPECT_EQ(std::vector<void*>{arenas[1]}, Arenas());
    EXPECT_EQ(1, FreeArena(loose));
    FreeOsMemory(loose);
    FreeArenasAtExit();
    EXPECT_TRUE(Arenas().empty());
}

// ---- Block tracing ----

const char kNonexistingText[] =
    "\nMEMORY ERROR - Attempting to free nonexisting memory block\n"
    "This may be caused by freeing a block twice, freeing a block\n"
    "which was allocated with malloc() instead of VelkAlloc(),\n"
    "freeing a block which was not dynamically allocated, or an\n"
    "error in the VELK memory logging functions\n";

const char kSameAddressText[] =
    "\nMEMORY ERROR - New mem block has same address as an existing block.\n"
    "This may be due to freeing a memory block by calling free() directly\n"
    "instead of calling VelkFree() or it may be due to an error in the\n"
    "VELK memory logging functions\n";

const char kStillInUseText[] =
    "\nMEMORY ERROR - some memory blocks have not been released\n"
    "LIST OF BLOCKS STILL ALLOCATED\n";

std::string BlockInfoText(const void* address, unsigned size, const char* file, int line) {
    // "%ul" prints the size followed by a literal 'l'.
    return "\nMEM BLOCK INFO\nAddress: " + PointerText(address) +
           "\nSize: " + std::to_string(size) + "l\nAllocated at file: " + file +
           "\nLine: " + std::to_string(line) + "\n";
}

TEST_F(Allocator, ASecondBlockAtARecordedAddressIsTraced) {
    VelkSetTracingType(VELK_TRACE_MEM, 1);
    void* p = TracingVelkAlloc(1, 100, "first.c", 11);
    VelkSetTracingType(VELK_TRACE_MEM, 0);
    VelkFree(p);  // untraced: the record stays
    VelkSetTracingType(VELK_TRACE_MEM, 1);
    StderrCapture capture;
    void* q = TracingVelkAlloc(1, 100, "second.c", 22);
    std::string err = capture.Take();
    ASSERT_EQ(p, q);
    EXPECT_THAT(err, HasSubstr(kSameAddressText));
    EXPECT_THAT(err, HasSubstr(BlockInfoText(p, 100, "first.c", 11)));
    TracingVelkFree(q, "free.c", 1);
}

TEST_F(Allocator, TracingChecksPointersAndReportsBadFrees) {
    int local = 0;
    EXPECT_EQ(1, TracingIsPointerValid(&local, "check.c", 5));  // tracing off
    VelkSetTracingType(VELK_TRACE_MEM, 1);
    StderrCapture capture;
    void* p = TracingVelkAlloc(1, 100, "alloc.c", 10);
    EXPECT_EQ(1, TracingIsPointerValid(static_cast<uint8_t*>(p) + 99, "check.c", 2));
    TracingVelkFree(p, "free.c", 20);  // a known block goes quietly
    EXPECT_EQ("", capture.Take());

    p = TracingVelkAlloc(1, 100, "alloc.c", 1);
    StderrCapture errors;
    const uint8_t* beyond = static_cast<uint8_t*>(p) + 100;
    EXPECT_EQ(0, TracingIsPointerValid(beyond, "check.c", 5));
    EXPECT_EQ(0, TracingIsPointerValid(static_cast<uint8_t*>(p) - 1, "check.c", 6));
    TracingVelkFree(&local, "free.c", 77);
    std::string err = errors.Take();
    EXPECT_THAT(err, HasSubstr("\nMEMORY ERROR - invalid pointer\nAddress " + PointerText(beyond) +
                               "\nFile: check.c\nLine: 5\n"));
    EXPECT_THAT(err, HasSubstr(kNonexistingText));
    EXPECT_THAT(err, HasSubstr("\nLOCATION\nAddress: " + PointerText(&local) +
                               "\nFile: free.c\nLine: 77\n"));
    TracingVelkFree(p, "free.c", 1);
}

TEST_F(Allocator, FinishListsTheBlocksStillInUseInOrder) {
    VelkSetTracingType(VELK_TRACE_MEM, 1);
    void* p1 = TracingVelkAlloc(2, 50, "a.c", 1);  // the record keeps the element size
    char* p2 = TracingVelkAllocString("abc", "str.c", 3);
    EXPECT_EQ(1, TracingIsPointerValid(p2 + 6, "check.c", 1));  // 3 + 4 bytes recorded
    std::string err;
    {
        StderrCapture capture;
        FinishMemoryBlockTracing();
        err = capture.Take();
    }
    std::string first = BlockInfoText(p1, 50, "a.c", 1);
    std::string second = BlockInfoText(p2, 7, "str.c", 3);
    ASSERT_THAT(err, AllOf(HasSubstr(kStillInUseText), HasSubstr(first), HasSubstr(second)));
    EXPECT_LT(err.find(kStillInUseText), err.find(first));
    EXPECT_LT(err.find(first), err.find(second));
    {
        StderrCapture capture;
        FinishMemoryBlockTracing();  // the list is gone: nothing more to say
        EXPECT_THAT(capture.Take(), Not(HasSubstr("MEMORY ERROR")));
    }
    VelkSetTracingType(VELK_TRACE_MEM, 0);
    VelkFree(p1);
    VelkFree(p2);
}

// ---- The allocator lock ----

TEST_F(Allocator, EveryEntryWaitsForTheAllocatorLock) {
    void* p = VelkAlloc(1, 10);
    ASSERT_EQ(0, VELK_LOCK(VELK_MUTEX_ALLOCATOR));
    std::atomic<int> done{0};
    std::thread worker([&] {
        void* q = VelkAlloc(1, 10);
        done = 1;
        q = VelkReAlloc(q, 4000);
        done = 2;
        VelkFree(q);
        EXPECT_EQ(16u, GetMemSize(p));
        done = 3;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(0, done.load());
    ASSERT_EQ(0, VELK_UNLOCK(VELK_MUTEX_ALLOCATOR));
    worker.join();
    EXPECT_EQ(3, done.load());
    VelkFree(p);
    EXPECT_EQ(0u, iMutexHeld[VELK_MUTEX_ALLOCATOR]);
    EXPECT_EQ(0u, iMutexHeldPid[VELK_MUTEX_ALLOCATOR]);
}

TEST_F(Allocator, ThreadsShareTheArenasSafely) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 3000;
    auto work = [](int id) {
        std::mt19937 random(static_cast<unsigned>(id) * 7919u + 1u);
        std::vector<std::pair<uint8_t*, size_t>> live;
        for (int round = 0; round < kRounds; ++round) {
            if (live.size() < 32 && (live.empty() || random() % 3 != 0)) {
                size_t size = 1 + random() % 700;
                auto* block = static_cast<uint8_t*>(VelkAlloc(1, size));
                ASSERT_NE(nullptr, block);
                ASSERT_TRUE(AllZero(block, size));
                std::memset(block, id + 1, size);
                live.emplace_back(block, size);
            } else {
                size_t index = random() % live.size();
                auto [block, size] = live[index];
                for (size_t i = 0; i < size; ++i) {
                    ASSERT_EQ(id + 1, block[i]);
                }
                if (random() % 4 == 0) {
                    size_t bigger = size + random() % 300;
                    block = static_cast<uint8_t*>(VelkReAlloc(block, bigger));
                    ASSERT_NE(nullptr, block);
                    std::memset(block, id + 1, bigger);
                    live[index] = {block, bigger};
                } else {
                    VelkFree(block);
                    live.erase(live.begin() + static_cast<long>(index));
                }
            }
        }
        for (auto& [block, size] : live) {
            VelkFree(block);
        }
    };
    std::vector<std::thread> threads;
    for (int id = 0; id < kThreads; ++id) {
        threads.emplace_back(work, id);
    }
    for (auto& thread : threads) {
        thread.join();
    }
    ExpectChainConsistent();
    std::vector<void*> arenas = Arenas();
    ASSERT_EQ(1u, arenas.size());  // every later arena went back when emptied
    std::vector<Block> blocks = Blocks(arenas[0]);
    ASSERT_EQ(1u, blocks.size());
    EXPECT_EQ(VELK_BLOCK_LAST, blocks[0].flags);
}

using AllocatorDeathTest = Allocator;

const auto kVerifyFailedInAllocator = AllOf(HasSubstr("Velkcore Verify Failed: Line:"),
                                            HasSubstr("memory-alloc.c Possibly Out of Memory.\n"));

TEST_F(AllocatorDeathTest, FailedLockOrUnlockEndsTheProcessWithTheVerifyText) {
    void* p = VelkAlloc(1, 16);
    const struct {
        int unlock;
        int error;
        std::function<void()> call;
    } cases[] = {{0, EINVAL, [] { VelkAlloc(1, 16); }},
                 {1, EPERM, [p] { VelkFree(p); }},
                 {1, EPERM, [p] { VelkReAlloc(p, 1000); }}};
    for (const auto& c : cases) {
        EXPECT_EXIT(
            {
                VelkInjectLockFailure(VELK_MUTEX_ALLOCATOR, c.unlock, c.error);
                c.call();
            },
            ::testing::ExitedWithCode(1), kVerifyFailedInAllocator);
    }
    VelkFree(p);
}

}  // namespace
