#include "VLK_Assert.h"

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/InternalException.h>

namespace Pegasus {

void VLK_AssertFailed(log4cpp::Category& log, const char* source, int line, const char* condition) {
    if (log.isPriorityEnabled(log4cpp::Priority::ERROR)) {
        log << log4cpp::Priority::ERROR << "(" << line << ")"
            << "Assert Failed";
    }
    throw AssertionFailureException(source, line, String(condition));
}

}  // namespace Pegasus
