// Exceptions used inside the CIM layer and its hosts rather than by provider code.
#ifndef Pegasus_InternalException_h
#define Pegasus_InternalException_h

#include <cstddef>

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Linkage.h>
#include <Pegasus/Common/Exception.h>

PEGASUS_NAMESPACE_BEGIN

// A broken invariant; the message reads "<file>(<line>): <message>".
class PEGASUS_COMMON_LINKAGE AssertionFailureException : public Exception {
  public:
    AssertionFailureException(const char* file, size_t line, const String& message);
    virtual ~AssertionFailureException();
};

PEGASUS_NAMESPACE_END

#endif
