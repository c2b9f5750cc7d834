#include <Pegasus/Common/InternalException.h>

PEGASUS_NAMESPACE_BEGIN

namespace {

String assertionMessage(const char* file, size_t line, const String& message) {
    String text(file ? file : "");
    text.appendPrintf("(%zu): ", line);
    text.append(message);
    return text;
}

}  // namespace

AssertionFailureException::AssertionFailureException(const char* file, size_t line,
                                                     const String& message)
    : Exception(assertionMessage(file, line, message)) {}

AssertionFailureException::~AssertionFailureException() = default;

PEGASUS_NAMESPACE_END
