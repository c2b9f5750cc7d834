// Reading the small text files of sysfs and procfs and listing directories.
// Every path here is a machine path ("/sys/block/sda/size"), read under the
// root of sys_root.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velk::module {

// The whole file (at most maxBytes), or nothing when it cannot be read.
std::optional<std::string> ReadMachineFile(std::string_view machinePath,
                                           std::size_t maxBytes = 1 << 20);

// The file's first line without surrounding blanks (sysfs attributes), or
// nothing when it cannot be read.
std::optional<std::string> ReadMachineAttribute(std::string_view machinePath);

// The attribute as an unsigned decimal number; nothing when the file cannot
// be read or does not hold exactly one such number.
std::optional<std::uint64_t> ReadMachineNumber(std::string_view machinePath);

// Names of the entries of a directory, "." and ".." left out, sorted; empty
// when it cannot be read.
std::vector<std::string> ListMachineDirectory(std::string_view machinePath);

// The target of a symbolic link as stored (sysfs links are relative), or
// nothing.
std::optional<std::string> ReadMachineLink(std::string_view machinePath);

// True when the path exists (as anything).
bool MachinePathExists(std::string_view machinePath);

// Text without leading and trailing blanks, tabs and line ends.
std::string TrimBlanks(std::string_view text);

}  // namespace velk::module
