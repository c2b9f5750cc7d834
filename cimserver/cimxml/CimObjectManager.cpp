#include "CimObjectManager.h"

#include <strings.h>

#include <atomic>
#include <cstring>
#include <stdexcept>

#include <Pegasus/Common/OperationContext.h>
#include <Pegasus/Provider/CIMOMHandleBackend.h>
#include <Pegasus/Provider/ProviderException.h>

#include "CimValueText.h"
#include "CollectingHandlers.h"

namespace velk::cimserver {

using namespace Pegasus;

namespace {

const char* const PROVIDER_NAME = "VLK_DiagProvider";
const char* const PROVIDER_CLASS_PREFIX = "VLK_";

std::string classNameOf(const CIMObjectPath& path) {
    return toStdString(path.getClassName().getString());
}

CIMValue localizedValue(const CimObjectManager& manager, const CIMValue& value) {
    if (value.isNull() || value.getType() != CIMTYPE_REFERENCE) {
        return value;
    }
    std::vector<CIMObjectPath> paths = cimValueReferences(value);
    if (!value.isArray()) {
        return CIMValue(manager.localized(paths.front()));
    }
    Array<CIMObjectPath> localized;
    for (const CIMObjectPath& path : paths) {
        localized.append(manager.localized(path));
    }
    return CIMValue(localized);
}

}  // namespace

// The provider's way back into this server. It outlives the manager when the
// provider keeps a copy of its handle; calls then fail instead of reaching a
// destroyed manager.
class CimObjectManager::Backend : public CIMOMHandleBackend {
  public:
    Backend(CimObjectManager* manager, std::shared_ptr<InstanceRepository> hostInstances)
        : _manager(manager), _hostInstances(std::move(hostInstances)) {}

    void detach() { _manager.store(nullptr); }

    CIMInstance getInstance(const OperationContext&, const CIMNamespaceName&,
                            const CIMObjectPath& instanceName, Boolean, Boolean, Boolean,
                            const CIMPropertyList&) override {
        return manager().getInstance(instanceName);
    }

    Array<CIMInstance> enumerateInstances(const OperationContext&, const CIMNamespaceName&,
                                          const CIMName& className, Boolean, Boolean, Boolean,
                                          Boolean, const CIMPropertyList&) override {
        Array<CIMInstance> found;
        for (NamedInstance& named :
             manager().enumerateInstances(toStdString(className.getString()))) {
            found.append(named.instance);
        }
        return found;
    }

    Array<CIMObjectPath> enumerateInstanceNames(const OperationContext&, const CIMNamespaceName&,
                                                const CIMName& className) override {
        Array<CIMObjectPath> found;
        for (const CIMObjectPath& path :
             manager().enumerateInstanceNames(toStdString(className.getString()))) {
            found.append(path);
        }
        return found;
    }

    CIMValue invokeMethod(const OperationContext&, const CIMNamespaceName&,
                          const CIMObjectPath& instanceName, const CIMName& methodName,
                          const Array<CIMParamValue>& inParameters,
                          Array<CIMParamValue>& outParameters) override {
        MethodResult result =
            manager().invokeMethod(instanceName, toStdString(methodName.getString()), inParameters);
        outParameters = result.outParameters;
        return result.returnValue;
    }

    void disallowProviderUnload() override { _hostInstances->disallowProviderUnload(); }
    void allowProviderUnload() override { _hostInstances->allowProviderUnload(); }

  private:
    CimObjectManager& manager() {
        CimObjectManager* manager = _manager.load();
        if (manager == nullptr) {
            throw CIMException(CIM_ERR_FAILED, "the CIM server has stopped");
        }
        return *manager;
    }

    std::atomic<CimObjectManager*> _manager;
    std::shared_ptr<InstanceRepository> _hostInstances;
};

CimObjectManager::CimObjectManager(const Options& options) : _options(options) {
    if (options.hostName.empty() || options.nameSpace.empty()) {
        throw std::runtime_error("the CIM server needs a host name and a namespace");
    }
    try {
        _schema = ClassSchema::load(options.schemaFile);
    } catch (const MofError& e) {
        throw std::runtime_error(std::string("cannot read the class schema: ") + e.what());
    }
    _hostInstances = std::make_shared<InstanceRepository>();
    _hostInstances->addComputerSystem(options.hostName);
    _hostClasses.push_back("CIM_UnitaryComputerSystem");
    keepSchemaInstances();

    _library = std::make_unique<ProviderLibrary>(options.providerLibrary);
    _provider = _library->createProvider(PROVIDER_NAME);
    if (_provider == nullptr) {
        throw std::runtime_error(options.providerLibrary + " has no provider named " +
                                 PROVIDER_NAME);
    }
    _instanceProvider = dynamic_cast<CIMInstanceProvider*>(_provider);
    _methodProvider = dynamic_cast<CIMMethodProvider*>(_provider);
    _backend = std::make_shared<Backend>(this, _hostInstances);
    try {
        CIMOMHandle cimom(_backend);
        _provider->initialize(cimom);
    } catch (const Exception& e) {
        std::string message = toStdString(e.getMessage());
        _provider->terminate();
        _provider = nullptr;
        _backend->detach();
        throw std::runtime_error("the provider " + std::string(PROVIDER_NAME) +
                                 " failed to initialize: " + message);
    }
}

CimObjectManager::~CimObjectManager() {
    if (_provider != nullptr) {
        try {
            _provider->terminate();
        } catch (...) {
            // Nothing to report to: the server is going away.
        }
    }
    if (_backend) {
        _backend->detach();
    }
}

const ClassSchema& CimObjectManager::schema() const {
    return _schema;
}

void CimObjectManager::keepSchemaInstances() {
    for (const InstanceDecl& declared : _schema.instances()) {
        const ClassDecl* declaration = _schema.find(declared.className);
        if (declaration == nullptr) {
            throw std::runtime_error("the schema declares an instance of the unknown class " +
                                     declared.className);
        }
        CIMInstance instance{CIMName(toPegasusString(declaration->name))};
        for (const PropertyDecl& property : declaration->properties) {
            CIMType type = cimTypeFromName(property.type);
            CIMValue value(type, property.isArray);
            try {
                // Arrays from their elements: a joined text would split elements with commas.
                if (property.isArray) {
                    for (const auto& [name, items] : declared.arrayValues) {
                        if (sameCimName(name, property.name)) {
                            value = parseCimArray(type, items);
                        }
                    }
                } else {
                    for (const auto& [name, text] : declared.values) {
                        if (sameCimName(name, property.name)) {
                            value = parseCimValue(type, text);
                        }
                    }
                }
            } catch (const std::invalid_argument& e) {
                throw std::runtime_error("instance of " + declaration->name + ", " + property.name +
                                         ": " + e.what());
            }
            instance.addProperty(CIMProperty(CIMName(toPegasusString(property.name)), value));
        }
        _hostInstances->add(pathOf(instance), instance);
        _hostClasses.push_back(declaration->name);
    }
}

bool CimObjectManager::providerServes(const std::string& className) const {
    for (const std::string& hostClass : _hostClasses) {
        if (sameCimName(hostClass, className)) {
            return false;
        }
    }
    return strncasecmp(className.c_str(), PROVIDER_CLASS_PREFIX, strlen(PROVIDER_CLASS_PREFIX)) ==
           0;
}

std::vector<std::string> CimObjectManager::concreteClasses(const std::string& className) const {
    const ClassDecl* declaration = _schema.find(className);
    if (declaration == nullptr) {
        throw CIMException(CIM_ERR_INVALID_CLASS, toPegasusString("unknown class " + className));
    }
    std::vector<std::string> classes;
    if (!declaration->isAbstract()) {
        classes.push_back(declaration->name);
    }
    for (const std::string& subclass : _schema.subclasses(declaration->name, true)) {
        const ClassDecl* sub = _schema.find(subclass);
        if (sub != nullptr && !sub->isAbstract()) {
            classes.push_back(sub->name);
        }
    }
    return classes;
}

CIMObjectPath CimObjectManager::localized(const CIMObjectPath& path) const {
    Array<CIMKeyBinding> keys = path.getKeyBindings();
    const ClassDecl* declaration = _schema.find(classNameOf(path));
    for (Uint32 i = 0; i < keys.size(); i++) {
        const PropertyDecl* property =
            declaration ? declaration->findProperty(toStdString(keys[i].getName().getString()))
                        : nullptr;
        if (property != nullptr && keys[i].getType() == CIMKeyBinding::STRING) {
            // Keys as the schema types them, whatever type the sender gave.
            if (property->type == "reference") {
                keys[i].setType(CIMKeyBinding::REFERENCE);
            } else if (property->type == "boolean") {
                keys[i].setType(CIMKeyBinding::BOOLEAN);
            } else if (property->type != "string" && property->type != "datetime" &&
                       property->type != "char16") {
                keys[i].setType(CIMKeyBinding::NUMERIC);
            }
        }
        if (keys[i].getType() == CIMKeyBinding::REFERENCE) {
            try {
                keys[i].setValue(localized(CIMObjectPath(keys[i].getValue())).toString());
            } catch (const Exception&) {
                // A reference that does not parse stays as sent; it names nothing here.
            }
        }
    }
    return CIMObjectPath(toPegasusString(_options.hostName),
                         CIMNamespaceName(toPegasusString(_options.nameSpace)), path.getClassName(),
                         keys);
}

CIMObjectPath CimObjectManager::classPath(const std::string& className) const {
    return CIMObjectPath(toPegasusString(_options.hostName),
                         CIMNamespaceName(toPegasusString(_options.nameSpace)),
                         CIMName(toPegasusString(className)));
}

CIMObjectPath CimObjectManager::pathOf(const CIMInstance& instance) const {
    if (instance.getPath().getKeyBindings().size() > 0) {
        return localized(instance.getPath());
    }
    Array<CIMKeyBinding> keys;
    const ClassDecl* declaration = _schema.find(toStdString(instance.getClassName().getString()));
    if (declaration != nullptr) {
        for (const std::string& key : declaration->keyNames()) {
            Uint32 index = instance.findProperty(CIMName(toPegasusString(key)));
            if (index != PEG_NOT_FOUND && !instance.getProperty(index).getValue().isNull()) {
                keys.append(CIMKeyBinding(CIMName(toPegasusString(key)),
                                          instance.getProperty(index).getValue()));
            }
        }
    }
    return localized(CIMObjectPath(String(), CIMNamespaceName(), instance.getClassName(), keys));
}

CIMInstance CimObjectManager::providerGet(const CIMObjectPath& path) {
    CIMObjectPath wanted = localized(path);
    try {
        CollectingInstanceHandler handler(true);
        _instanceProvider->getInstance(OperationContext(), wanted, false, false, CIMPropertyList(),
                                       handler);
        return handler.instances()[0];
    } catch (const CIMException& e) {
        // A provider may name associations with their references written as
        // string keys; ask once more in that form.
        Array<CIMKeyBinding> keys = wanted.getKeyBindings();
        bool references = false;
        for (Uint32 i = 0; i < keys.size(); i++) {
            if (keys[i].getType() == CIMKeyBinding::REFERENCE) {
                keys[i].setType(CIMKeyBinding::STRING);
                references = true;
            }
        }
        if (e.getCode() != CIM_ERR_NOT_FOUND || !references) {
            throw;
        }
        wanted.setKeyBindings(keys);
        CollectingInstanceHandler handler(true);
        _instanceProvider->getInstance(OperationContext(), wanted, false, false, CIMPropertyList(),
                                       handler);
        return handler.instances()[0];
    }
}

CIMInstance CimObjectManager::getInstance(const CIMObjectPath& path) {
    std::string className = classNameOf(path);
    const ClassDecl* declaration = _schema.find(className);
    if (declaration == nullptr) {
        throw CIMException(CIM_ERR_INVALID_CLASS, toPegasusString("unknown class " + className));
    }
    for (const std::string& concrete : concreteClasses(className)) {
        CIMObjectPath wanted = path;
        wanted.setClassName(CIMName(toPegasusString(concrete)));
        if (!providerServes(concrete)) {
            try {
                return _hostInstances->getInstance(OperationContext(), CIMNamespaceName(),
                                                   localized(wanted), false, false, false,
                                                   CIMPropertyList());
            } catch (const CIMException& e) {
                if (e.getCode() != CIM_ERR_NOT_FOUND) {
                    throw;
                }
            }
        } else if (_instanceProvider != nullptr && sameCimName(concrete, className)) {
            return providerGet(wanted);
        } else if (_instanceProvider != nullptr) {
            // A path naming a superclass: ask each subclass that has instances.
            try {
                return providerGet(wanted);
            } catch (const CIMException& e) {
                if (e.getCode() != CIM_ERR_NOT_FOUND && e.getCode() != CIM_ERR_FAILED) {
                    throw;
                }
            }
        }
    }
    throw CIMObjectNotFoundException(path.toString());
}

std::vector<NamedInstance> CimObjectManager::enumerateInstances(const std::string& className) {
    std::vector<NamedInstance> found;
    for (const std::string& concrete : concreteClasses(className)) {
        Array<CIMInstance> instances;
        if (providerServes(concrete)) {
            if (_instanceProvider == nullptr) {
                continue;
            }
            CollectingInstanceHandler handler;
            _instanceProvider->enumerateInstances(OperationContext(), classPath(concrete), false,
                                                  false, CIMPropertyList(), handler);
            instances = handler.instances();
        } else {
            instances = _hostInstances->enumerateInstances(
                OperationContext(), CIMNamespaceName(), CIMName(toPegasusString(concrete)), false,
                false, false, false, CIMPropertyList());
        }
        for (Uint32 i = 0; i < instances.size(); i++) {
            found.push_back({pathOf(instances[i]), instances[i]});
        }
    }
    return found;
}

std::vector<CIMObjectPath> CimObjectManager::enumerateInstanceNames(const std::string& className) {
    std::vector<CIMObjectPath> found;
    for (const std::string& concrete : concreteClasses(className)) {
        Array<CIMObjectPath> paths;
        if (providerServes(concrete)) {
            if (_instanceProvider == nullptr) {
                continue;
            }
            CollectingPathHandler handler;
            _instanceProvider->enumerateInstanceNames(OperationContext(), classPath(concrete),
                                                      handler);
            paths = handler.paths();
        } else {
            paths = _hostInstances->enumerateInstanceNames(OperationContext(), CIMNamespaceName(),
                                                           CIMName(toPegasusString(concrete)));
        }
        for (Uint32 i = 0; i < paths.size(); i++) {
            found.push_back(localized(paths[i]));
        }
    }
    return found;
}

MethodResult CimObjectManager::invokeMethod(const CIMObjectPath& target, const std::string& method,
                                            const Array<CIMParamValue>& inParameters) {
    std::string className = classNameOf(target);
    if (!providerServes(className) || _methodProvider == nullptr) {
        throw CIMException(CIM_ERR_NOT_SUPPORTED,
                           toPegasusString(className + " has no methods to invoke"));
    }
    Array<CIMParamValue> parameters;
    for (Uint32 i = 0; i < inParameters.size(); i++) {
        parameters.append(CIMParamValue(inParameters[i].getParameterName(),
                                        localizedValue(*this, inParameters[i].getValue())));
    }
    CollectingMethodHandler handler;
    _methodProvider->invokeMethod(OperationContext(), localized(target),
                                  CIMName(toPegasusString(method)), parameters, handler);
    return {handler.returnValue(), handler.outParameters()};
}

void CimObjectManager::createInstance(const CIMInstance& instance) {
    std::string className = toStdString(instance.getClassName().getString());
    if (!providerServes(className) || _instanceProvider == nullptr) {
        throw CIMException(CIM_ERR_NOT_SUPPORTED,
                           toPegasusString("instances of " + className + " cannot be created"));
    }
    CollectingPathHandler handler;
    _instanceProvider->createInstance(OperationContext(), classPath(className), instance, handler);
}

void CimObjectManager::modifyInstance(const CIMObjectPath& path, const CIMInstance& instance) {
    std::string className = classNameOf(path);
    if (!providerServes(className) || _instanceProvider == nullptr) {
        throw CIMException(CIM_ERR_NOT_SUPPORTED,
                           toPegasusString("instances of " + className + " cannot be modified"));
    }
    PlainHandler handler;
    _instanceProvider->modifyInstance(OperationContext(), localized(path), instance, false,
                                      CIMPropertyList(), handler);
}

void CimObjectManager::deleteInstance(const CIMObjectPath& path) {
    std::string className = classNameOf(path);
    if (!providerServes(className) || _instanceProvider == nullptr) {
        throw CIMException(CIM_ERR_NOT_SUPPORTED,
                           toPegasusString("instances of " + className + " cannot be deleted"));
    }
    PlainHandler handler;
    _instanceProvider->deleteInstance(OperationContext(), localized(path), handler);
}

}  // namespace velk::cimserver
