// System: small operating-system helpers used by the CIM layer and its hosts.
#ifndef Pegasus_System_h
#define Pegasus_System_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Linkage.h>
#include <Pegasus/Common/String.h>

PEGASUS_NAMESPACE_BEGIN

class PEGASUS_COMMON_LINKAGE System {
  public:
    // Sleeps the calling thread for the given number of seconds.
    static void sleep(Uint32 seconds);
    // This machine's host name ("localhost" if it cannot be read).
    static String getHostName();
    static Uint32 getPID();
};

PEGASUS_NAMESPACE_END

#endif
