// The engine's device list: the devices of every module of one enumeration,
// merged by hardware locator.  One device per locator, in the order the
// modules (sorted by name) and their replies first named it; one component
// per module that tests it.  The device's own fields (name, description,
// locators, types) come from the first module that named it, its FRU data
// from the first of its modules that sent any.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "device_records.h"
#include "module_catalog.h"

namespace velk::engine {

// What one module reported.
struct ModuleDevices {
    ModulePtr module;
    std::vector<ModuleDevice> devices;
};

struct DeviceComponent {
    std::size_t module = 0;  // index into DeviceList::Modules()
    std::size_t device = 0;  // index into that module's devices
};

struct MergedDevice {
    std::string hwLocator;
    DeviceComponent primary;
    std::optional<DeviceComponent> fruSource;
    std::vector<DeviceComponent> components;
};

class DeviceList {
  public:
    DeviceList() = default;
    explicit DeviceList(std::vector<ModuleDevices> modules);

    const std::vector<ModuleDevices>& Modules() const { return modules_; }
    const std::vector<MergedDevice>& Devices() const { return devices_; }
    const ModuleDevice& Device(const DeviceComponent& component) const;
    const ModuleEntry& Module(const DeviceComponent& component) const;

    const MergedDevice* FindByHwLocator(std::string_view hwLocator) const;
    // The module of that szModuleId, or null.
    const ModuleDevices* FindModuleById(std::string_view moduleId) const;
    // The module of that name ("NAME" or "NAME.vkm"), or null.
    const ModuleDevices* FindModuleByName(std::string_view name) const;
    static const ModuleDevice* FindDevice(const ModuleDevices& module, unsigned did);
    std::size_t DeviceCount() const { return devices_.size(); }

  private:
    std::vector<ModuleDevices> modules_;
    std::vector<MergedDevice> devices_;
};

}  // namespace velk::engine
