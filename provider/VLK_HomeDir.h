// The bin directory of the diagnostic engine: "/opt/Velkor/bin", unless the
// environment variable VELKOR_HOME names another one (a build tree, tests).
#ifndef VLK_HOME_DIR_H
#define VLK_HOME_DIR_H

#include <string>

namespace Pegasus {

extern const char* const VLK_DEFAULT_HOME_DIR;

std::string VLK_ResolveHomeDir();

}  // namespace Pegasus

#endif
