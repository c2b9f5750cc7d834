#include "VLK_MSEBuilder.h"

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include <Pegasus/Provider/ProviderException.h>

#include "VLK_Log.h"

PEGASUS_NAMESPACE_BEGIN

log4cpp::Category& VLK_MSEBuilder::log = log4cpp::Category::getInstance("VLK_MSEBuilder");

namespace {

struct BuilderMap {
    std::mutex mutex;
    std::vector<std::pair<VLK_MSEBuilder::DeviceType, std::unique_ptr<VLK_MSEBuilder>>> entries;
};

BuilderMap& devTypeInstanceMap() {
    static BuilderMap map;
    return map;
}

bool contains(const std::string& text, const char* what) {
    return text.find(what) != std::string::npos;
}

}  // namespace

VLK_MSEBuilder::VLK_MSEBuilder(const CIMOMHandle& cimom, DeviceType type)
    : _cimom(cimom), _type(type) {
    VLK_LOG_INFO(log, " VLK_MSEBuilder(...)" << static_cast<int>(type));
    mse_ref_inst = buildMSE();
    VLK_LOG_INFO(log, " VLK_MSEBuilder(...)  mse_ref_inst.size(): " << mse_ref_inst.size());
}

VLK_MSEBuilder::~VLK_MSEBuilder() {}

VLK_MSEBuilder::DeviceType VLK_MSEBuilder::mapClassToDeviceType(const String& className) {
    String lowered = className;
    lowered.toLower();
    std::string name(static_cast<const char*>(lowered.getCString()));
    if (contains(name, "diskdrive"))
        return DISKDRIVE;
    if (contains(name, "cdrom"))
        return CDROM;
    if (contains(name, "diskette"))
        return DISKETTE;
    if (contains(name, "processor"))
        return PROCESSOR;
    if (contains(name, "dvd"))
        return CDROM;
    if (contains(name, "serial"))
        return SERIAL;
    if (contains(name, "parallel"))
        return PARALLEL;
    return CDROM;
}

VLK_MSEBuilder* VLK_MSEBuilder::getInstance(const CIMOMHandle& cimom, const String& className) {
    VLK_LOG_INFO(log, " getInstance(...)");
    DeviceType type = mapClassToDeviceType(className);
    BuilderMap& map = devTypeInstanceMap();
    std::lock_guard<std::mutex> lock(map.mutex);
    for (auto& entry : map.entries) {
        if (entry.first == type) {
            VLK_LOG_INFO(log, " return an existing instance");
            return entry.second.get();
        }
    }
    VLK_LOG_INFO(log, " return a new instance");
    auto builder = std::make_unique<VLK_MSEBuilder>(cimom, type);
    map.entries.emplace_back(type, std::move(builder));
    return map.entries.back().second.get();
}

VLK_PathInstancePairs VLK_MSEBuilder::buildMSE() {
    // The engine client does not publish devices to the provider yet, so the
    // device class lists no device.
    return VLK_PathInstancePairs();
}

Array<CIMInstance> VLK_MSEBuilder::getMSEInstance(const CIMObjectPath& reference) const {
    VLK_LOG_INFO(log, "  getMSEInstance(): instanceReference = " << reference.toString());
    Array<CIMInstance> found;
    for (const VLK_PathInstancePair& entry : mse_ref_inst) {
        if (entry.first == reference) {
            found.append(entry.second.clone());
            return found;
        }
    }
    VLK_LOG_INFO(log, "getMSEInstance(): not found! ");
    throw CIMObjectNotFoundException("Invalid Reference");
}

Array<CIMInstance> VLK_MSEBuilder::enumMSEInstances() const {
    Array<CIMInstance> instances;
    for (const VLK_PathInstancePair& entry : mse_ref_inst) {
        instances.append(entry.second.clone());
    }
    return instances;
}

Array<CIMObjectPath> VLK_MSEBuilder::enumMSEReferences() const {
    Array<CIMObjectPath> paths;
    for (const VLK_PathInstancePair& entry : mse_ref_inst) {
        paths.append(entry.first);
    }
    return paths;
}

PEGASUS_NAMESPACE_END
