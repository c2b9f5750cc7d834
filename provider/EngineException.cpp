#include "EngineException.h"

PEGASUS_NAMESPACE_BEGIN

EngineException::EngineException(const String& message) : Exception(message) {}

EngineException::~EngineException() {}

PEGASUS_NAMESPACE_END
