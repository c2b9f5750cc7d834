// Reading a device's sectors for a test: aligned buffers (so that O_DIRECT
// reads work), reads that go to the device rather than the page cache
// (O_DIRECT, or the cached pages dropped before a read), and on a failed read
// a sector-by-sector retry that finds exactly which sectors cannot be read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace velk::module {

// A buffer aligned for O_DIRECT (4096 bytes), freed on destruction.
class AlignedBuffer {
  public:
    explicit AlignedBuffer(std::size_t size);
    std::uint8_t* Data() { return data_.get(); }
    const std::uint8_t* Data() const { return data_.get(); }
    std::size_t Size() const { return size_; }

  private:
    struct Free {
        void operator()(std::uint8_t* data) const;
    };
    std::unique_ptr<std::uint8_t, Free> data_;
    std::size_t size_;
};

// A run of sectors that could not be read (or read differently twice).
struct SectorRange {
    std::uint64_t firstSector = 0;
    std::uint64_t sectorCount = 0;
    int error = 0;  // errno of the failed read; 0 for a short read or a mismatch
};

class BlockReader {
  public:
    // fd: the open device; sizeBytes: its size; sectorSize: its logical
    // block size (a power of two, 512 or more); direct: fd was opened with
    // O_DIRECT.
    BlockReader(int fd, std::uint64_t sizeBytes, std::uint32_t sectorSize, bool direct);

    std::uint64_t SizeBytes() const { return sizeBytes_; }
    std::uint32_t SectorSize() const { return sectorSize_; }
    std::uint64_t SectorCount() const { return sizeBytes_ / sectorSize_; }
    bool Direct() const { return direct_; }

    // Reads length bytes at offset (both multiples of the sector size, within
    // the device) into into (aligned).  Without O_DIRECT the range's cached
    // pages are dropped first, so the device is read.  When the read fails,
    // every sector of the range is read alone and each unreadable run is
    // appended to failures (at most maxFailures entries in all).  True when
    // every sector was read.
    bool Read(std::uint64_t offset, std::size_t length, std::uint8_t* into,
              std::vector<SectorRange>& failures, std::size_t maxFailures = 1000);

    // Reads the range twice, the second time past any cache, and compares:
    // sectors that differ are appended to mismatches, unreadable ones to
    // failures.  scratch must hold 2 * length bytes (aligned).  True when
    // both reads worked and agree.
    bool ReadTwiceAndCompare(std::uint64_t offset, std::size_t length, AlignedBuffer& scratch,
                             std::vector<SectorRange>& failures,
                             std::vector<SectorRange>& mismatches, std::size_t maxFailures = 1000);

    // Drops the page cache of a range (no effect with O_DIRECT).
    void DropCache(std::uint64_t offset, std::size_t length) const;

  private:
    // One pread of the whole range: 0, or the errno (-1 for a short read).
    int ReadWhole(std::uint64_t offset, std::size_t length, std::uint8_t* into) const;

    int fd_;
    std::uint64_t sizeBytes_;
    std::uint32_t sectorSize_;
    bool direct_;
};

// Appends a sector to the list, merging it with the last run when adjacent
// and of the same error.
void AppendSector(std::vector<SectorRange>& ranges, std::uint64_t sector, int error);

// The chunks to read for percent of a surface of chunkCount chunks: evenly
// spread chunk indexes, the first chunk always among them, at least one.
std::vector<std::uint64_t> SampleChunks(std::uint64_t chunkCount, double percent);

}  // namespace velk::module
