// Directory and file helpers for tests: private temporary directories,
// recursive removal, listings and whole-file reads.
#pragma once

#include <string>
#include <vector>

namespace velk::testsupport {

// Creates /tmp/<prefix>-XXXXXX with mode 0700; its path, or "" (errno set)
// when it cannot be made.
std::string MakePrivateDirectory(const std::string& prefix);
// Removes path and everything below it (symbolic links are not followed).
void RemoveTree(const std::string& path);

// Names in a directory, without "." and "..".
std::vector<std::string> ListDirectory(const std::string& path);

// The whole content of a file ("" when it cannot be read).
std::string ReadFile(const std::string& path);

}  // namespace velk::testsupport
