#include "VLK_DiagResult.h"

#include <mutex>
#include <utility>
#include <vector>

#include <Pegasus/Provider/ProviderException.h>

#include "VLK_Log.h"
#include "VLK_PathInstancePairs.h"

PEGASUS_NAMESPACE_BEGIN

log4cpp::Category& VLK_DiagResult::log = log4cpp::Category::getInstance("VLK_DiagResult");

namespace {

// Results are created by test runs; until a test has run the store is empty.
struct ResultStore {
    std::mutex mutex;
    VLK_PathInstancePairs entries;
};

ResultStore& store() {
    static ResultStore instance;
    return instance;
}

}  // namespace

VLK_DiagResult::VLK_DiagResult() {}

VLK_DiagResult::~VLK_DiagResult() {}

CIMInstance VLK_DiagResult::getResultInstance(const CIMObjectPath& reference) const {
    VLK_LOG_INFO(log, "getResultInstance() start");
    VLK_LOG_INFO(log, "looking for " << reference.toString());
    std::lock_guard<std::mutex> lock(store().mutex);
    for (const auto& entry : store().entries) {
        VLK_LOG_DEBUG(log, "comparing to: " << entry.first.toString());
        if (entry.first == reference) {
            VLK_LOG_INFO(log, "getResultInstance(): found res_instance");
            return entry.second.clone();
        }
    }
    VLK_LOG_INFO(log, "getResultInstance(): result instance not found");
    throw CIMObjectNotFoundException("VLK_DiagResult - result instance not found");
}

Array<CIMInstance> VLK_DiagResult::enumResultInstances() const {
    Array<CIMInstance> instances;
    std::lock_guard<std::mutex> lock(store().mutex);
    for (const auto& entry : store().entries) {
        instances.append(entry.second.clone());
    }
    return instances;
}

Array<CIMObjectPath> VLK_DiagResult::enumResultReferences() const {
    Array<CIMObjectPath> paths;
    std::lock_guard<std::mutex> lock(store().mutex);
    for (const auto& entry : store().entries) {
        paths.append(entry.first);
    }
    return paths;
}

PEGASUS_NAMESPACE_END
