#include "sys_root.h"

#include <cstdlib>

namespace velk::module {

std::string SysRoot() {
    const char* root = std::getenv(kSysRootVariable);
    if (root == nullptr || root[0] == '\0') {
        return "/";
    }
    return root;
}

std::string SysPath(std::string_view machinePath) {
    std::string root = SysRoot();
    while (root.size() > 1 && root.back() == '/') {
        root.pop_back();
    }
    while (!machinePath.empty() && machinePath.front() == '/') {
        machinePath.remove_prefix(1);
    }
    if (root == "/") {
        return "/" + std::string(machinePath);
    }
    return root + "/" + std::string(machinePath);
}

}  // namespace velk::module
