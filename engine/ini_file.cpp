#include "ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace velk::engine {
namespace {

bool IsLineEnd(char c) {
    unsigned char byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Closes the descriptor on every path out of Load.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

bool EqualsNoCase(std::string_view left, std::string_view right) {
    if (left.size() != right.size()) {
        return false;
    }
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (Lower(left[i]) != Lower(right[i])) {
            return false;
        }
    }
    return true;
}

std::optional<IniFile> IniFile::Load(const std::string& path) {
    // Non-blocking, so that a FIFO planted in place of the file cannot hang
    // the engine; it is refused as not regular below.
    FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0) {
        return std::nullopt;
    }
    struct stat status;
    if (fstat(fd.Get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        static_cast<std::size_t>(status.st_size) > kMaxFileBytes) {
        return std::nullopt;
    }
    std::string text;
    char chunk[8192];
    for (;;) {
        ssize_t got = read(fd.Get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        text.append(chunk, static_cast<std::size_t>(got));
        if (text.size() > kMaxFileBytes) {
            return std::nullopt;
        }
    }
    return Parse(text);
}

IniFile IniFile::Parse(std::string_view text) {
    IniFile file;
    Section* current = nullptr;
    std::size_t position = 0;
    while (position < text.size()) {
        std::size_t end = position;
        while (end < text.size() && !IsLineEnd(text[end])) {
            ++end;
        }
        std::string_view line = text.substr(position, std::min(end - position, kMaxLine));
        position = end + 1;
        while (!line.empty() && line.front() == ' ') {
            line.remove_prefix(1);
        }
        if (line.empty()) {
            continue;
        }
        if (line.front() == '[') {
            std::string_view name = line.substr(1);
            name = name.substr(0, name.find(']'));
            if (file.FindSection(name) != nullptr) {
                current = nullptr;  // a repeated section is not read
            } else {
                file.sections_.push_back(Section{std::string(name), {}});
                current = &file.sections_.back();
            }
            continue;
        }
        std::string_view::size_type equals = line.find('=');
        if (current == nullptr || equals == std::string_view::npos) {
            continue;
        }
        std::string_view key = line.substr(0, equals);
        while (!key.empty() && key.back() == ' ') {
            key.remove_suffix(1);
        }
        current->entries.emplace_back(std::string(key), std::string(line.substr(equals + 1)));
    }
    return file;
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
    for (const Section& section : sections_) {
        if (EqualsNoCase(section.name, name)) {
            return &section;
        }
    }
    return nullptr;
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const {
    const Section* found = FindSection(section);
    if (found == nullptr) {
        return std::nullopt;
    }
    for (const auto& [name, value] : found->entries) {
        if (EqualsNoCase(name, key)) {
            return value;
        }
    }
    return std::nullopt;
}

}  // namespace velk::engine
