#include "VLK_HomeDir.h"

#include <cstdlib>

namespace Pegasus {

const char* const VLK_DEFAULT_HOME_DIR = "/opt/Velkor/bin";

std::string VLK_ResolveHomeDir() {
    const char* override = std::getenv("VELKOR_HOME");
    if (override != nullptr && override[0] != '\0') {
        std::string dir(override);
        while (dir.size() > 1 && dir.back() == '/') {
            dir.pop_back();
        }
        return dir;
    }
    return VLK_DEFAULT_HOME_DIR;
}

}  // namespace Pegasus
