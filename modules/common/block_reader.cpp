#include "block_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

namespace velk::module {

namespace {
constexpr std::size_t kAlignment = 4096;
}

AlignedBuffer::AlignedBuffer(std::size_t size) : size_(size) {
    void* memory = nullptr;
    std::size_t rounded =
        (std::max<std::size_t>(size, 1) + kAlignment - 1) / kAlignment * kAlignment;
    if (::posix_memalign(&memory, kAlignment, rounded) != 0) {
        throw std::bad_alloc();
    }
    std::memset(memory, 0, rounded);
    data_.reset(static_cast<std::uint8_t*>(memory));
}

void AlignedBuffer::Free::operator()(std::uint8_t* data) const {
    std::free(data);
}

BlockReader::BlockReader(int fd, std::uint64_t sizeBytes, std::uint32_t sectorSize, bool direct)
    : fd_(fd),
      sizeBytes_(sizeBytes),
      sectorSize_(sectorSize == 0 ? 512 : sectorSize),
      direct_(direct) {}

void BlockReader::DropCache(std::uint64_t offset, std::size_t length) const {
    if (!direct_) {
        ::posix_fadvise(fd_, static_cast<off_t>(offset), static_cast<off_t>(length),
                        POSIX_FADV_DONTNEED);
    }
}

int BlockReader::ReadWhole(std::uint64_t offset, std::size_t length, std::uint8_t* into) const {
    std::size_t done = 0;
    while (done < length) {
        ssize_t got = ::pread(fd_, into + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return errno;
        }
        if (got == 0) {
            return -1;
        }
        done += static_cast<std::size_t>(got);
    }
    return 0;
}

void AppendSector(std::vector<SectorRange>& ranges, std::uint64_t sector, int error) {
    if (!ranges.empty()) {
        SectorRange& last = ranges.back();
        if (last.error == error && last.firstSector + last.sectorCount == sector) {
            ++last.sectorCount;
            return;
        }
    }
    ranges.push_back({sector, 1, error});
}

bool BlockReader::Read(std::uint64_t offset, std::size_t length, std::uint8_t* into,
                       std::vector<SectorRange>& failures, std::size_t maxFailures) {
    DropCache(offset, length);
    if (ReadWhole(offset, length, into) == 0) {
        return true;
    }
    // Find the unreadable sectors one by one; readable ones are kept.
    for (std::size_t at = 0; at < length; at += sectorSize_) {
        DropCache(offset + at, sectorSize_);
        int error = ReadWhole(offset + at, sectorSize_, into + at);
        if (error != 0) {
            std::memset(into + at, 0, sectorSize_);
            if (failures.size() < maxFailures) {
                AppendSector(failures, (offset + at) / sectorSize_, error < 0 ? 0 : error);
            }
        }
    }
    return false;
}

bool BlockReader::ReadTwiceAndCompare(std::uint64_t offset, std::size_t length,
                                      AlignedBuffer& scratch, std::vector<SectorRange>& failures,
                                      std::vector<SectorRange>& mismatches,
                                      std::size_t maxFailures) {
    std::uint8_t* first = scratch.Data();
    // The second copy starts at an aligned offset inside scratch.
    std::size_t secondAt = (length + kAlignment - 1) / kAlignment * kAlignment;
    if (scratch.Size() < secondAt + length) {
        throw std::invalid_argument("BlockReader::ReadTwiceAndCompare: scratch too small");
    }
    std::uint8_t* second = scratch.Data() + secondAt;
    std::size_t failuresBefore = failures.size();
    bool readable = Read(offset, length, first, failures, maxFailures);
    readable = Read(offset, length, second, failures, maxFailures) && readable;
    bool same = true;
    for (std::size_t at = 0; at < length; at += sectorSize_) {
        std::uint64_t sector = (offset + at) / sectorSize_;
        bool failed = false;
        for (std::size_t i = failuresBefore; i < failures.size(); ++i) {
            failed = failed || (sector >= failures[i].firstSector &&
                                sector < failures[i].firstSector + failures[i].sectorCount);
        }
        if (!failed && std::memcmp(first + at, second + at, sectorSize_) != 0) {
            same = false;
            if (mismatches.size() < maxFailures) {
                AppendSector(mismatches, sector, 0);
            }
        }
    }
    return readable && same;
}

std::vector<std::uint64_t> SampleChunks(std::uint64_t chunkCount, double percent) {
    std::vector<std::uint64_t> chunks;
    if (chunkCount == 0) {
        return chunks;
    }
    percent = std::clamp(percent, 0.0, 100.0);
    auto wanted =
        static_cast<std::uint64_t>(std::ceil(static_cast<double>(chunkCount) * percent / 100.0));
    wanted = std::clamp<std::uint64_t>(wanted, 1, chunkCount);
    chunks.reserve(wanted);
    for (std::uint64_t k = 0; k < wanted; ++k) {
        // k * chunkCount / wanted without overflow for any realistic size.
        chunks.push_back(
            static_cast<std::uint64_t>((static_cast<unsigned __int128>(k) * chunkCount) / wanted));
    }
    return chunks;
}

}  // namespace velk::module
