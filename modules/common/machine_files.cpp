#include "machine_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>

#include "sys_root.h"
#include "unique_fd.h"

namespace velk::module {

std::optional<std::string> ReadMachineFile(std::string_view machinePath, std::size_t maxBytes) {
    UniqueFd fd(::open(SysPath(machinePath).c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.IsOpen()) {
        return std::nullopt;
    }
    std::string text;
    char buffer[4096];
    while (text.size() < maxBytes) {
        ssize_t got = ::read(fd.Get(), buffer, std::min(sizeof buffer, maxBytes - text.size()));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
}

std::string TrimBlanks(std::string_view text) {
    const char* blanks = " \t\r\n";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    std::size_t last = text.find_last_not_of(blanks);
    return std::string(text.substr(first, last - first + 1));
}

std::optional<std::string> ReadMachineAttribute(std::string_view machinePath) {
    std::optional<std::string> text = ReadMachineFile(machinePath, 64 * 1024);
    if (!text) {
        return std::nullopt;
    }
    std::string_view view = *text;
    view = view.substr(0, view.find('\n'));
    return TrimBlanks(view);
}

std::optional<std::uint64_t> ReadMachineNumber(std::string_view machinePath) {
    std::optional<std::string> text = ReadMachineAttribute(machinePath);
    if (!text || text->empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    const char* end = text->data() + text->size();
    auto [at, error] = std::from_chars(text->data(), end, value);
    if (error != std::errc() || at != end) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string> ListMachineDirectory(std::string_view machinePath) {
    std::vector<std::string> names;
    DIR* directory = ::opendir(SysPath(machinePath).c_str());
    if (directory == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(directory)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(std::move(name));
        }
    }
    ::closedir(directory);
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::string> ReadMachineLink(std::string_view machinePath) {
    std::string path = SysPath(machinePath);
    char target[4096];
    ssize_t length = ::readlink(path.c_str(), target, sizeof target);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof target) {
        return std::nullopt;
    }
    return std::string(target, static_cast<std::size_t>(length));
}

bool MachinePathExists(std::string_view machinePath) {
    struct stat info;
    return ::lstat(SysPath(machinePath).c_str(), &info) == 0;
}

}  // namespace velk::module
