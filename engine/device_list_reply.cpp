#include "device_list_reply.h"

#include "markup_text.h"
#include "nls_tag.h"

namespace velk::engine {
namespace {

std::string OptionalText(const char* name, const std::optional<std::string>& text) {
    return text ? TextElement(name, *text) : std::string();
}

std::string Flag(const char* name, const std::optional<bool>& flag) {
    return flag ? Element(name, *flag ? "1" : "0") : std::string();
}

std::string Number(const char* name, const std::optional<int>& value) {
    return value ? Element(name, std::to_string(*value)) : std::string();
}

std::string PropertyElement(const ModuleEntry& module, const ParameterDefinition& parameter) {
    std::string content = TextElement("ID", parameter.id);
    content += Element("NAME", ModuleText(module, parameter.nameId, parameter.id));
    content += TextElement("TYPE", parameter.type);
    if (!parameter.descriptionId.empty()) {
        content += Element("DESCRIPTION", ModuleText(module, parameter.descriptionId, ""));
    }
    content += OptionalText("MASK", parameter.mask);
    content += OptionalText("DEFAULT_VALUE", parameter.defaultValue);
    content += Flag("MUST_BE_SET", parameter.mustBeSet);
    content += Flag("RECOMMEND_VALIDATE", parameter.recommendValidate);
    content += OptionalText("MIN_VALUE", parameter.minValue);
    content += OptionalText("MAX_VALUE", parameter.maxValue);
    return Element("PROPERTY", content);
}

std::string TestElement(const ModuleEntry& module, const TestDefinition& test,
                        const std::optional<RunningInstance>& running) {
    std::string index = std::to_string(test.index);
    std::string content = Element("NAME", ModuleText(module, test.nameId, "Test " + index));
    if (!test.descriptionId.empty()) {
        content += Element("DESCRIPTION", ModuleText(module, test.descriptionId, ""));
    }
    content += Element("ID", index);
    content += Element("FLAGS", std::to_string(test.flags));
    content += Number("TIMEOUT", test.timeoutSeconds);
    content += Number("EST_DURATION", test.estimatedSeconds);
    if (!test.parameters.empty()) {
        std::string properties;
        for (const ParameterDefinition& parameter : test.parameters) {
            properties += PropertyElement(module, parameter);
        }
        content += Element("TEST_PROPERTIES", properties);
    }
    if (running) {
        content += Element(
            "RUNNING_INSTANCES",
            Element("TESTSTATUS", Element("PROCESS_ID", running->processId) +
                                      Element("STATE", std::to_string(running->state)) +
                                      Element("PERCENTDONE", std::to_string(running->percent))));
    }
    return Element("TEST", content);
}

std::string ComponentElement(const ModuleEntry& module, const ModuleDevice& device,
                             const RunningLookup& running) {
    const ModuleDefinition& definition = module.definition;
    std::string content = Element("DID", std::to_string(device.did));
    content += TextElement("ID", definition.moduleId);
    content += Element("NAME", ModuleText(module, definition.nameId, module.name));
    if (!definition.descriptionId.empty()) {
        content += Element("DESCRIPTION", ModuleText(module, definition.descriptionId, ""));
    }
    content += TextElement("VERSION", definition.version);
    content += Element("TYPE", std::to_string(definition.TypeNumber()));
    content += Element("NUMTESTS", std::to_string(definition.tests.size()));
    content += TextElement("ENTRYEXE", module.stem + std::string(ModuleCatalog::kExecutableSuffix));
    content += Element("FRUINFOAVAILABLE", device.HasFru() ? "1" : "0");
    for (const TestDefinition& test : definition.tests) {
        if (device.Supports(test.index)) {
            std::optional<RunningInstance> instance =
                running ? running(module, device.did, test.index) : std::nullopt;
            content += TestElement(module, test, instance);
        }
    }
    return Element("COMPONENT", content);
}

std::string FruElements(const ModuleDevice& device) {
    std::string content;
    for (std::size_t i = 0; i < device.fru.size(); ++i) {
        content += OptionalText(ModuleDevice::kFruNames[i], device.fru[i]);
    }
    for (const FruAdditionalInfo& info : device.fruAdditional) {
        content += TextElement("FRU_ADDINFO_FIELD", info.field);
        content += TextElement("FRU_ADDINFO_DESC", info.description);
        content += TextElement("FRU_ADDINFO_VALUE", info.value);
    }
    return content;
}

std::string DeviceElement(const DeviceList& list, const MergedDevice& merged,
                          const RunningLookup& running) {
    const ModuleDevice& primary = list.Device(merged.primary);
    // Texts were neutralised when the enumeration reply was read.
    std::string content = Element("NAME", primary.name);
    if (primary.description) {
        content += Element("DESCRIPTION", *primary.description);
    }
    content += Element("OSLOCATOR", primary.osLocator);
    content += Element("HWLOCATOR", primary.hwLocator);
    content += Element("DEVTYPE", primary.devType);
    if (primary.busType) {
        content += Element("BUSTYPE", *primary.busType);
    }
    if (merged.fruSource) {
        content += FruElements(list.Device(*merged.fruSource));
    }
    for (const DeviceComponent& component : merged.components) {
        content += ComponentElement(list.Module(component), list.Device(component), running);
    }
    return Element("DEVICE", content);
}

}  // namespace

std::string ModuleText(const ModuleEntry& module, const std::string& id,
                       const std::string& fallback) {
    if (!IsNlsIdentifier(id) || !IsNlsIdentifier(module.name)) {
        return NeutraliseMarkup(fallback.empty() ? id : fallback);
    }
    NlsTag tag;
    tag.module = module.name;
    tag.id = id;
    return tag.Text();
}

std::string DevicesAndTestsBody(const DeviceList& list, const RunningLookup& running) {
    std::string body;
    for (const MergedDevice& device : list.Devices()) {
        body += DeviceElement(list, device, running);
    }
    return body;
}

std::string ModuleDevicesBody(const ModuleDevices& module) {
    std::string body;
    for (const ModuleDevice& device : module.devices) {
        body += Element("COMPONENT", Element("DEVICE", device.element));
    }
    return body;
}

std::string AllModuleDevicesBody(const DeviceList& list) {
    std::string body;
    for (const ModuleDevices& module : list.Modules()) {
        body += ModuleDevicesBody(module);
    }
    return body;
}

}  // namespace velk::engine
