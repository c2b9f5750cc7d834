// Programming-error checks of the provider classes: a failed check logs
// "Assert Failed" at ERROR to the class's category and throws OpenPegasus's
// AssertionFailureException with the source name, line and condition text.
#ifndef VLK_ASSERT_H
#define VLK_ASSERT_H

#include <log4cpp/Category.hh>

namespace Pegasus {

[[noreturn]] void VLK_AssertFailed(log4cpp::Category& log, const char* source, int line,
                                   const char* condition);

}  // namespace Pegasus

#define VLK_ASSERT(log, source, condition)                                      \
    do {                                                                        \
        if (!(condition)) {                                                     \
            ::Pegasus::VLK_AssertFailed((log), (source), __LINE__, #condition); \
        }                                                                       \
    } while (0)

#endif
