#include "VLK_MSEBuilder.h"

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/Exception.h>
#include <Pegasus/Provider/ProviderException.h>

#include "Device.h"
#include "TestEnvironment.h"
#include "VLK_Assert.h"
#include "VLK_ComputerSystem.h"
#include "VLK_Engine.h"
#include "VLK_Log.h"
#include "VLK_RequestContext.h"

using VELKCORE::CDevice;
using VELKCORE::CTestEnvironment;

PEGASUS_NAMESPACE_BEGIN

log4cpp::Category& VLK_MSEBuilder::log = log4cpp::Category::getInstance("VLK_MSEBuilder");

namespace {

struct DeviceKind {
    const char* className;
    const char* engineType;
    const char* typeText;
};

// Indexed by DeviceType.
const DeviceKind KINDS[] = {
    {"VLK_DiskDrive", CDevice::HD, "Hard Drive"},
    {"VLK_OpticalDrive", CDevice::OPTICAL, "Optical Drive"},
    {"VLK_Processor", CDevice::CPU, "CPU"},
    {"VLK_SerialPort", CDevice::SERIAL, "Serial Port"},
    {"VLK_ParallelPort", CDevice::LPT, "Parallel Port"},
    {"VLK_DisketteDrive", CDevice::FD, "Floppy Drive"},
};

const DeviceKind* kindOfEngineType(const std::string& engineType) {
    for (const DeviceKind& kind : KINDS) {
        if (engineType == kind.engineType) {
            return &kind;
        }
    }
    return nullptr;
}

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

String toString(const std::string& text) {
    return String(text.c_str());
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
    // Held while a builder is made, so a concurrent first request for the
    // same class waits for it instead of building a second one.
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

void VLK_MSEBuilder::clearInstance(DeviceType dt) {
    VLK_LOG_INFO(log, " clearInstances(...)");
    BuilderMap& map = devTypeInstanceMap();
    std::lock_guard<std::mutex> lock(map.mutex);
    for (auto it = map.entries.begin(); it != map.entries.end(); ++it) {
        if (dt == LAST || it->first == dt) {
            VLK_LOG_DEBUG(log, " clearing instance");
            if (dt != LAST) {
                map.entries.erase(it);
                return;
            }
        }
    }
    VLK_ASSERT(log, "VLK_MSEBuilder", dt == LAST);
    map.entries.clear();
}

VLK_PathInstancePairs VLK_MSEBuilder::buildMSE() {
    VLK_PathInstancePairs result;
    VLK_LOG_INFO(log, "  buildMSE() ");
    VLK_ComputerSystem system = VLK_ComputerSystem::GetInstance(_cimom);
    String systemName = system.GetName();
    String systemCreationClassName = system.GetCreationClassName();
    VLK_LOG_DEBUG(log, "         bT point 3  \n");

    VLK_Engine::AutoLock lock;
    CTestEnvironment* te = nullptr;
    try {
        te = VLK_Engine::getTestEnvironment();
    } catch (const Exception& e) {
        // No builder is kept for an engine that could not start: the request
        // fails and the next one tries again.
        VLK_LOG_ERROR(log, "Engine Exception" << e.getMessage());
        throw;
    }
    unsigned int count = 0;
    te->GetDeviceArraySize(count);
    VLK_LOG_INFO(log, "Found " << count << " devices");
    for (unsigned int i = 0; i < count; i++) {
        CDevice* device = nullptr;
        if (te->GetDeviceArrayElement(i, &device) == 0 && device != nullptr) {
            AddDevice(result, device, systemName, systemCreationClassName);
        }
    }
    VLK_LOG_INFO(log, "  return buildMSE() ");
    return result;
}

void VLK_MSEBuilder::AddDevice(VLK_PathInstancePairs& list, CDevice* device,
                               const String& systemName,
                               const String& systemCreationClassName) const {
    std::string name, hwLocator, engineType, description;
    device->GetName(name);
    device->GetHWLocator(hwLocator);
    device->GetDeviceType(engineType);
    device->GetDescription(description);
    VLK_LOG_INFO(
        log, ". " << name << " :  " << hwLocator << " :  " << engineType << " :  " << description);
    if (!isSupportedBxi2DeviceType(engineType)) {
        VLK_LOG_DEBUG(log, "Device not supported by this instance ignoring");
        return;
    }
    String className = bxi2DeviceToClass(engineType);
    if (className.size() == 0) {
        VLK_LOG_INFO(log, "Skipping device ");
        return;
    }
    std::string typeText(static_cast<const char*>(bxi2DeviceToString(engineType).getCString()));
    std::string caption = typeText + " - " + name;
    if (description != typeText) {
        caption += " - " + description;
    }

    VLK_LOG_DEBUG(log, "Adding device " << className);
    CIMInstance instance{CIMName(className)};
    instance.addProperty(CIMProperty(CIMName("Name"), CIMValue(toString(name))));
    instance.addProperty(CIMProperty(CIMName("SystemName"), CIMValue(systemName)));
    instance.addProperty(
        CIMProperty(CIMName("SystemCreationClassName"), CIMValue(systemCreationClassName)));
    instance.addProperty(CIMProperty(CIMName("CreationClassName"), CIMValue(className)));
    instance.addProperty(CIMProperty(CIMName("DeviceID"), CIMValue(toString(hwLocator))));
    instance.addProperty(CIMProperty(CIMName("Description"), CIMValue(toString(caption))));
    instance.addProperty(CIMProperty(CIMName("Caption"), CIMValue(toString(caption))));
    instance.addProperty(CIMProperty(CIMName("Status"), CIMValue(String("Unknown"))));

    Array<CIMKeyBinding> keys;
    keys.append(CIMKeyBinding(CIMName("CreationClassName"), className, CIMKeyBinding::STRING));
    keys.append(CIMKeyBinding(CIMName("DeviceID"), toString(hwLocator), CIMKeyBinding::STRING));
    keys.append(CIMKeyBinding(CIMName("SystemName"), systemName, CIMKeyBinding::STRING));
    keys.append(CIMKeyBinding(CIMName("SystemCreationClassName"), systemCreationClassName,
                              CIMKeyBinding::STRING));
    CIMObjectPath path(VLK_GetHostName(), VLK_GetNameSpace(), CIMName(className), keys);
    VLK_LOG_DEBUG(log, "Added device " << path.toString());
    list.emplace_back(path, instance);
}

bool VLK_MSEBuilder::isSupportedBxi2DeviceType(const std::string& bxi2Type) const {
    if (_type < DISKDRIVE || _type >= LAST) {
        VLK_LOG_WARN(log, "Unsupported bxi2DeviceType " << bxi2Type);
        return false;
    }
    return bxi2Type == KINDS[_type].engineType;
}

String VLK_MSEBuilder::bxi2DeviceToClass(const std::string& bxi2Type) {
    const DeviceKind* kind = kindOfEngineType(bxi2Type);
    if (kind == nullptr) {
        VLK_LOG_WARN(log, "Unsupported bxi2DeviceType " << bxi2Type);
        return String();
    }
    return String(kind->className);
}

String VLK_MSEBuilder::bxi2DeviceToString(const std::string& bxi2Type) {
    const DeviceKind* kind = kindOfEngineType(bxi2Type);
    if (kind == nullptr) {
        VLK_LOG_WARN(log, "Unsupported bxi2DeviceType " << bxi2Type);
        return String();
    }
    return String(kind->typeText);
}

Array<CIMInstance> VLK_MSEBuilder::getMSEInstance(const CIMObjectPath& reference) const {
    VLK_LOG_INFO(log, "  getMSEInstance(): instanceReference = " << reference.toString());
    Array<CIMInstance> found;
    for (const VLK_PathInstancePair& entry : mse_ref_inst) {
        VLK_LOG_DEBUG(log, "getMSEInstance() current MSE: " << entry.first.toString());
        if (entry.first == reference) {
            VLK_LOG_DEBUG(log, "getMSEInstance() *match*");
            found.append(entry.second.clone());
            return found;
        }
    }
    VLK_LOG_INFO(log, "getMSEInstance(): not found! ");
    throw CIMObjectNotFoundException("Invalid Reference");
}

Array<CIMInstance> VLK_MSEBuilder::enumMSEInstances() const {
    VLK_LOG_INFO(log, "enumMSEInstances()  mse_ref_inst.size():" << mse_ref_inst.size());
    Array<CIMInstance> instances;
    for (const VLK_PathInstancePair& entry : mse_ref_inst) {
        instances.append(entry.second.clone());
    }
    return instances;
}

Array<CIMObjectPath> VLK_MSEBuilder::enumMSEReferences() const {
    VLK_LOG_INFO(log, "enumMSEReferences()  mse_ref_inst.size():" << mse_ref_inst.size());
    Array<CIMObjectPath> paths;
    for (const VLK_PathInstancePair& entry : mse_ref_inst) {
        paths.append(entry.first);
    }
    return paths;
}

PEGASUS_NAMESPACE_END
