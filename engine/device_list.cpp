#include "device_list.h"

#include <map>

namespace velk::engine {

DeviceList::DeviceList(std::vector<ModuleDevices> modules) : modules_(std::move(modules)) {
    std::map<std::string, std::size_t, std::less<>> byLocator;
    for (std::size_t m = 0; m < modules_.size(); ++m) {
        for (std::size_t d = 0; d < modules_[m].devices.size(); ++d) {
            const ModuleDevice& device = modules_[m].devices[d];
            DeviceComponent component{m, d};
            auto [found, added] = byLocator.emplace(device.hwLocator, devices_.size());
            if (added) {
                devices_.push_back(MergedDevice{device.hwLocator, component, std::nullopt, {}});
            }
            MergedDevice& merged = devices_[found->second];
            merged.components.push_back(component);
            if (!merged.fruSource && device.HasFru()) {
                merged.fruSource = component;
            }
        }
    }
}

const ModuleDevice& DeviceList::Device(const DeviceComponent& component) const {
    return modules_[component.module].devices[component.device];
}

const ModuleEntry& DeviceList::Module(const DeviceComponent& component) const {
    return *modules_[component.module].module;
}

const MergedDevice* DeviceList::FindByHwLocator(std::string_view hwLocator) const {
    for (const MergedDevice& device : devices_) {
        if (device.hwLocator == hwLocator) {
            return &device;
        }
    }
    return nullptr;
}

const ModuleDevices* DeviceList::FindModuleById(std::string_view moduleId) const {
    for (const ModuleDevices& module : modules_) {
        if (module.module->definition.moduleId == moduleId) {
            return &module;
        }
    }
    return nullptr;
}

const ModuleDevices* DeviceList::FindModuleByName(std::string_view name) const {
    std::string_view stem = ModuleStem(name);
    for (const ModuleDevices& module : modules_) {
        if (module.module->stem == stem) {
            return &module;
        }
    }
    return nullptr;
}

const ModuleDevice* DeviceList::FindDevice(const ModuleDevices& module, unsigned did) {
    for (const ModuleDevice& device : module.devices) {
        if (device.did == did) {
            return &device;
        }
    }
    return nullptr;
}

}  // namespace velk::engine
