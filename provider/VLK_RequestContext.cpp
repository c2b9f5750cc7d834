#include "VLK_RequestContext.h"

#include <mutex>

PEGASUS_NAMESPACE_BEGIN

namespace {

// CIM server threads write and read the context concurrently; the mutex keeps
// each read and write whole.  Strings are copied in and out under it.
std::mutex& contextMutex() {
    static std::mutex mutex;
    return mutex;
}

CIMNamespaceName& currentNameSpace() {
    static CIMNamespaceName nameSpace;
    return nameSpace;
}

String& currentHostName() {
    static String hostName;
    return hostName;
}

}  // namespace

CIMNamespaceName VLK_GetNameSpace() {
    std::lock_guard<std::mutex> lock(contextMutex());
    return currentNameSpace();
}

void VLK_SetNameSpace(const CIMNamespaceName& nameSpace) {
    std::lock_guard<std::mutex> lock(contextMutex());
    currentNameSpace() = nameSpace;
}

String VLK_GetHostName() {
    std::lock_guard<std::mutex> lock(contextMutex());
    return currentHostName();
}

void VLK_SetHostName(const String& hostName) {
    std::lock_guard<std::mutex> lock(contextMutex());
    currentHostName() = hostName;
}

PEGASUS_NAMESPACE_END
