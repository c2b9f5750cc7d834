// The failure of the provider's engine facade to start the diagnostic engine.
// A Pegasus Exception, so a CIM server reports it to the client as a failed
// request carrying the message.
#ifndef VLK_ENGINE_EXCEPTION_H
#define VLK_ENGINE_EXCEPTION_H

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Exception.h>
#include <Pegasus/Common/String.h>

PEGASUS_NAMESPACE_BEGIN

class EngineException : public Exception {
  public:
    explicit EngineException(const String& message);
    virtual ~EngineException();
};

PEGASUS_NAMESPACE_END

#endif
