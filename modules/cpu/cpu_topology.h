// What the kernel tells about this machine's processors: the logical CPUs
// of /proc/cpuinfo with their flags, the online list and package of
// /sys/devices/system/cpu, and each CPU's caches.  Everything is read under
// the system root, so that tests can describe a machine of their own.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace velk::cpumodule {

// One "processor" block of /proc/cpuinfo.
struct CpuInfoEntry {
    int processor = -1;
    std::map<std::string, std::string> fields;  // key without trailing blanks
    std::set<std::string> flags;                // "flags" (x86) or "Features"

    std::string Field(const std::string& key) const;
    bool HasFlag(const std::string& flag) const { return flags.count(flag) != 0; }
};

// The blocks of a /proc/cpuinfo text, in order; a block without a
// "processor" line is dropped.
std::vector<CpuInfoEntry> ParseCpuInfo(const std::string& text);

// A kernel CPU list such as "0-3,6,8-9"; nothing when it is malformed.
std::optional<std::vector<int>> ParseCpuList(const std::string& text);

// A cache size text of sysfs ("512K", "8M", "32768"): bytes, 0 when bad.
uint64_t ParseCacheSize(const std::string& text);

struct CacheInfo {
    int level = 0;
    std::string type;  // "Data", "Instruction", "Unified"
    uint64_t sizeBytes = 0;
};

// One logical CPU the kernel has online.
struct LogicalCpu {
    int index = -1;
    int package = 0;
    int core = -1;
    CpuInfoEntry info;  // its /proc/cpuinfo block (empty when absent)
    std::vector<CacheInfo> caches;
};

// A physical processor (package) with its online logical CPUs.
struct Processor {
    int package = 0;
    std::vector<LogicalCpu> cpus;

    // The level-2 cache of the first CPU that reports one.
    std::optional<CacheInfo> LevelTwoCache() const;
    // The largest cache any of its CPUs reports (0 when none).
    uint64_t LargestCacheBytes() const;
    std::string ModelName() const;
};

// The processors of the machine (under the system root of sys_root.h).
// The online list comes from sys/devices/system/cpu/online, else from the
// cpuinfo blocks; packages from topology/physical_package_id, else the
// cpuinfo "physical id", else 0.  Sorted by package, CPUs by index.
std::vector<Processor> ReadProcessors();

}  // namespace velk::cpumodule
