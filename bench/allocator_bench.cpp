// The tracing arena allocator (VelkAlloc/VelkFree) against the C
// library's malloc/free for small blocks: single alloc+free pairs and batches
// freed in allocation order and in reverse.  Block tracing is off, as in
// production.  The arena allocator searches every block (worst fit), so its
// batch cost grows with the number of live blocks; that is what the batch
// cases show.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "memory-alloc.h"

namespace {

// Keeps one block alive so that the first arena exists before timing starts.
void* WarmArena() {
    static void* keep = VelkAlloc(1, 16);
    return keep;
}

void BM_VelkAllocFree(benchmark::State& state) {
    WarmArena();
    const size_t size = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        void* p = VelkAlloc(1, size);
        benchmark::DoNotOptimize(p);
        VelkFree(p);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_MallocFree(benchmark::State& state) {
    const size_t size = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        // calloc: VelkAlloc zero-fills too.
        void* p = std::calloc(1, size);
        benchmark::DoNotOptimize(p);
        std::free(p);
    }
    state.SetItemsProcessed(state.iterations());
}

template <void* (*Alloc)(size_t), void (*Free)(void*)>
void Batch(benchmark::State& state, bool reverse) {
    const size_t size = static_cast<size_t>(state.range(0));
    const size_t count = static_cast<size_t>(state.range(1));
    std::vector<void*> blocks(count);
    for (auto _ : state) {
        for (size_t i = 0; i < count; ++i) {
            blocks[i] = Alloc(size);
        }
        benchmark::DoNotOptimize(blocks.data());
        if (reverse) {
            for (size_t i = count; i-- > 0;) {
                Free(blocks[i]);
            }
        } else {
            for (size_t i = 0; i < count; ++i) {
                Free(blocks[i]);
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(count));
}

void* VelkAllocOne(size_t size) {
    return VelkAlloc(1, size);
}

void VelkFreeOne(void* p) {
    VelkFree(p);
}

void* CallocOne(size_t size) {
    return std::calloc(1, size);
}

void BM_VelkBatch(benchmark::State& state) {
    WarmArena();
    Batch<VelkAllocOne, VelkFreeOne>(state, false);
}

void BM_VelkBatchReverse(benchmark::State& state) {
    WarmArena();
    Batch<VelkAllocOne, VelkFreeOne>(state, true);
}

void BM_MallocBatch(benchmark::State& state) {
    Batch<CallocOne, std::free>(state, false);
}

void BM_MallocBatchReverse(benchmark::State& state) {
    Batch<CallocOne, std::free>(state, true);
}

void PairSizes(benchmark::internal::Benchmark* b) {
    b->Arg(16)->Arg(64)->Arg(256);
}

void BatchSizes(benchmark::internal::Benchmark* b) {
    for (int size : {16, 64, 256}) {
        for (int count : {16, 128, 512}) {
            b->Args({size, count});
        }
    }
}

}  // namespace

BENCHMARK(BM_VelkAllocFree)->Apply(PairSizes);
BENCHMARK(BM_MallocFree)->Apply(PairSizes);
BENCHMARK(BM_VelkBatch)->Apply(BatchSizes);
BENCHMARK(BM_MallocBatch)->Apply(BatchSizes);
BENCHMARK(BM_VelkBatchReverse)->Apply(BatchSizes);
BENCHMARK(BM_MallocBatchReverse)->Apply(BatchSizes);
