#include "cpu_topology.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>

#include "machine_files.h"

namespace velk::cpumodule {
namespace {

std::string Trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) {
        ++begin;
    }
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) {
        --end;
    }
    return text.substr(begin, end - begin);
}

std::optional<long> ReadNumber(const std::string& machinePath) {
    auto number = velk::module::ReadMachineNumber(machinePath);
    if (!number || *number > 1000000) {
        return std::nullopt;
    }
    return static_cast<long>(*number);
}

std::optional<int> ParseIndex(const std::string& text) {
    if (text.empty() || text.size() > 6 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    return std::atoi(text.c_str());
}

std::vector<CacheInfo> ReadCaches(const std::string& cpuDir) {
    using velk::module::ReadMachineAttribute;
    std::vector<CacheInfo> caches;
    for (const auto& name : velk::module::ListMachineDirectory(cpuDir + "/cache")) {
        if (name.rfind("index", 0) != 0) {
            continue;
        }
        const std::string dir = cpuDir + "/cache/" + name;
        CacheInfo cache;
        cache.level = static_cast<int>(ReadNumber(dir + "/level").value_or(0));
        cache.type = ReadMachineAttribute(dir + "/type").value_or("");
        cache.sizeBytes = ParseCacheSize(ReadMachineAttribute(dir + "/size").value_or(""));
        if (cache.level > 0) {
            caches.push_back(cache);
        }
    }
    std::sort(caches.begin(), caches.end(), [](const CacheInfo& a, const CacheInfo& b) {
        return a.level != b.level ? a.level < b.level : a.type < b.type;
    });
    return caches;
}

}  // namespace

std::string CpuInfoEntry::Field(const std::string& key) const {
    auto found = fields.find(key);
    return found == fields.end() ? std::string() : found->second;
}

std::vector<CpuInfoEntry> ParseCpuInfo(const std::string& text) {
    std::vector<CpuInfoEntry> entries;
    CpuInfoEntry current;
    bool inBlock = false;
    auto finish = [&] {
        if (inBlock && current.processor >= 0) {
            entries.push_back(current);
        }
        current = CpuInfoEntry();
        inBlock = false;
    };
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        size_t colon = line.find(':');
        if (Trim(line).empty() || colon == std::string::npos) {
            if (Trim(line).empty()) {
                finish();
            }
            continue;
        }
        std::string key = Trim(line.substr(0, colon));
        std::string value = Trim(line.substr(colon + 1));
        if (key == "processor") {
            if (inBlock) {
                finish();
            }
            auto index = ParseIndex(value);
            current.processor = index.value_or(-1);
            inBlock = true;
            continue;
        }
        if (!inBlock) {
            continue;
        }
        current.fields[key] = value;
        if (key == "flags" || key == "Features") {
            std::istringstream words(value);
            std::string flag;
            while (words >> flag) {
                current.flags.insert(flag);
            }
        }
    }
    finish();
    return entries;
}

std::optional<std::vector<int>> ParseCpuList(const std::string& text) {
    std::vector<int> cpus;
    std::string list = Trim(text);
    if (list.empty()) {
        return cpus;
    }
    std::istringstream ranges(list);
    std::string range;
    while (std::getline(ranges, range, ',')) {
        size_t dash = range.find('-');
        auto first = ParseIndex(range.substr(0, dash));
        auto last = dash == std::string::npos ? first : ParseIndex(range.substr(dash + 1));
        if (!first || !last || *last < *first || *last - *first > 65536) {
            return std::nullopt;
        }
        for (int cpu = *first; cpu <= *last; ++cpu) {
            cpus.push_back(cpu);
        }
    }
    std::sort(cpus.begin(), cpus.end());
    cpus.erase(std::unique(cpus.begin(), cpus.end()), cpus.end());
    return cpus;
}

uint64_t ParseCacheSize(const std::string& text) {
    std::string value = Trim(text);
    char* end = nullptr;
    unsigned long long number = std::strtoull(value.c_str(), &end, 10);
    if (value.empty() || end == value.c_str()) {
        return 0;
    }
    std::string unit = Trim(end);
    if (unit.empty()) {
        return number;
    }
    switch (std::toupper(static_cast<unsigned char>(unit[0]))) {
        case 'K':
            return number << 10;
        case 'M':
            return number << 20;
        case 'G':
            return number << 30;
        default:
            return 0;
    }
}

std::optional<CacheInfo> Processor::LevelTwoCache() const {
    for (const auto& cpu : cpus) {
        for (const auto& cache : cpu.caches) {
            if (cache.level == 2 && cache.sizeBytes > 0) {
                return cache;
            }
        }
    }
    return std::nullopt;
}

uint64_t Processor::LargestCacheBytes() const {
    uint64_t largest = 0;
    for (const auto& cpu : cpus) {
        for (const auto& cache : cpu.caches) {
            largest = std::max(largest, cache.sizeBytes);
        }
    }
    return largest;
}

std::string Processor::ModelName() const {
    for (const auto& cpu : cpus) {
        for (const char* key : {"model name", "Processor", "cpu model"}) {
            std::string name = cpu.info.Field(key);
            if (!name.empty()) {
                return name;
            }
        }
    }
    return {};
}

std::vector<Processor> ReadProcessors() {
    std::vector<CpuInfoEntry> infos =
        ParseCpuInfo(velk::module::ReadMachineFile("/proc/cpuinfo").value_or(""));
    const std::string cpuRoot = "/sys/devices/system/cpu";
    std::vector<int> online;
    auto onlineText = velk::module::ReadMachineFile(cpuRoot + "/online");
    if (auto parsed = onlineText ? ParseCpuList(*onlineText) : std::nullopt; parsed) {
        online = *parsed;
    } else {
        for (const auto& info : infos) {
            online.push_back(info.processor);
        }
    }
    std::map<int, Processor> byPackage;
    for (int index : online) {
        LogicalCpu cpu;
        cpu.index = index;
        for (const auto& info : infos) {
            if (info.processor == index) {
                cpu.info = info;
            }
        }
        const std::string dir = cpuRoot + "/cpu" + std::to_string(index);
        auto package = ReadNumber(dir + "/topology/physical_package_id");
        if (!package) {
            auto fromInfo = ParseIndex(cpu.info.Field("physical id"));
            package = fromInfo ? std::optional<long>(*fromInfo) : std::nullopt;
        }
        cpu.package = package && *package >= 0 ? static_cast<int>(*package) : 0;
        cpu.core = static_cast<int>(ReadNumber(dir + "/topology/core_id").value_or(-1));
        cpu.caches = ReadCaches(dir);
        Processor& processor = byPackage[cpu.package];
        processor.package = cpu.package;
        processor.cpus.push_back(cpu);
    }
    std::vector<Processor> processors;
    for (auto& [package, processor] : byPackage) {
        processors.push_back(std::move(processor));
    }
    return processors;
}

}  // namespace velk::cpumodule
