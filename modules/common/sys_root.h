// Where a module reads the machine: sysfs, procfs and device nodes are all
// reached under one root, "/" normally, or the directory named by the
// environment variable VELK_SYSROOT, so that tests can build a fake machine
// (a directory tree with sysfs files and image files as device nodes) and run
// the real module code on it.
#pragma once

#include <string>
#include <string_view>

namespace velk::module {

inline constexpr const char* kSysRootVariable = "VELK_SYSROOT";

// The root directory: VELK_SYSROOT when set and not empty, else "/".
std::string SysRoot();

// An absolute machine path ("/sys/block") under the root
// ("$VELK_SYSROOT/sys/block").  A relative path is taken as absolute.
std::string SysPath(std::string_view machinePath);

}  // namespace velk::module
