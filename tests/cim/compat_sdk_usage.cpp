// A provider written the way the OpenPegasus SDK sample providers are written: it includes only
// the SDK headers below and uses the API exactly as a provider built against the real SDK does,
// so this file compiling against velk_cim shows source compatibility. compat_sdk_test.cpp drives
// it through test handlers.
//
// It serves class Sample_Greeting (key Identifier, property Message) and the method
// SayHello(in string Name, out uint32 Length) returning a string.
#include <Pegasus/Common/Config.h>
#include <Pegasus/Provider/CIMInstanceProvider.h>
#include <Pegasus/Provider/CIMMethodProvider.h>

PEGASUS_USING_PEGASUS;

class SampleProvider : public CIMInstanceProvider, public CIMMethodProvider {
  public:
    SampleProvider() {}
    virtual ~SampleProvider() {}

    virtual void initialize(CIMOMHandle& cimom) {
        _cimom = cimom;
        _cimom.disallowProviderUnload();
        _add(1, "Hello");
        _add(2, "Bonjour");
        _add(3, "Hallo");
    }

    virtual void terminate() {
        _cimom.allowProviderUnload();
        delete this;
    }

    virtual void getInstance(const OperationContext& context,
                             const CIMObjectPath& instanceReference,
                             const Boolean includeQualifiers, const Boolean includeClassOrigin,
                             const CIMPropertyList& propertyList,
                             InstanceResponseHandler& handler) {
        // The server's path carries host and namespace; compare class and keys only.
        CIMObjectPath localReference =
            CIMObjectPath(String(), CIMNamespaceName(), instanceReference.getClassName(),
                          instanceReference.getKeyBindings());
        handler.processing();
        for (Uint32 i = 0, n = _paths.size(); i < n; i++) {
            if (localReference == _paths[i]) {
                handler.deliver(_instances[i].clone());
                handler.complete();
                return;
            }
        }
        throw CIMObjectNotFoundException(instanceReference.toString());
    }

    virtual void enumerateInstances(const OperationContext& context,
                                    const CIMObjectPath& classReference,
                                    const Boolean includeQualifiers,
                                    const Boolean includeClassOrigin,
                                    const CIMPropertyList& propertyList,
                                    InstanceResponseHandler& handler) {
        handler.processing();
        for (Uint32 i = 0, n = _instances.size(); i < n; i++)
            handler.deliver(_instances[i].clone());
        handler.complete();
    }

    virtual void enumerateInstanceNames(const OperationContext& context,
                                        const CIMObjectPath& classReference,
                                        ObjectPathResponseHandler& handler) {
        handler.processing();
        handler.deliver(_paths);
        handler.complete();
    }

    virtual void modifyInstance(const OperationContext& context,
                                const CIMObjectPath& instanceReference,
                                const CIMInstance& instanceObject, const Boolean includeQualifiers,
                                const CIMPropertyList& propertyList, ResponseHandler& handler) {
        Uint32 index = _find(instanceReference);
        Uint32 pos = instanceObject.findProperty("Message");
        if (pos == PEG_NOT_FOUND)
            throw CIMInvalidParameterException("Message is required");
        handler.processing();
        CIMInstance& target = _instances[index];
        target.getProperty(target.findProperty("Message"))
            .setValue(instanceObject.getProperty(pos).getValue());
        handler.complete();
    }

    virtual void createInstance(const OperationContext& context,
                                const CIMObjectPath& instanceReference,
                                const CIMInstance& instanceObject,
                                ObjectPathResponseHandler& handler) {
        Uint32 pos = instanceObject.findProperty("Identifier");
        if (pos == PEG_NOT_FOUND)
            throw CIMInvalidParameterException("Identifier is required");
        Uint8 id = 0;
        instanceObject.getProperty(pos).getValue().get(id);
        for (Uint32 i = 0, n = _paths.size(); i < n; i++) {
            // equal() is non-const: work on a copy of the key binding.
            CIMKeyBinding key = _paths[i].getKeyBindings()[0];
            if (key.equal(CIMValue(id)))
                throw CIMObjectAlreadyExistsException(_paths[i].toString());
        }
        String message;
        Uint32 messagePos = instanceObject.findProperty("Message");
        if (messagePos != PEG_NOT_FOUND)
            instanceObject.getProperty(messagePos).getValue().get(message);
        handler.processing();
        handler.deliver(_add(id, message));
        handler.complete();
    }

    virtual void deleteInstance(const OperationContext& context,
                                const CIMObjectPath& instanceReference, ResponseHandler& handler) {
        Uint32 index = _find(instanceReference);
        handler.processing();
        _instances.remove(index);
        _paths.remove(index);
        handler.complete();
    }

    virtual void invokeMethod(const OperationContext& context, const CIMObjectPath& objectReference,
                              const CIMName& methodName, const Array<CIMParamValue>& inParameters,
                              MethodResultResponseHandler& handler) {
        if (!methodName.equal("SayHello"))
            throw CIMMethodNotFoundException(methodName.getString());
        String name;
        for (Uint32 i = 0; i < inParameters.size(); i++) {
            if (String::equalNoCase(inParameters[i].getParameterName(), "Name"))
                inParameters[i].getValue().get(name);
        }
        if (name.size() == 0)
            throw CIMInvalidParameterException("Name");
        String greeting = String("Hello, ") + name;
        handler.processing();
        handler.deliverParamValue(CIMParamValue("Length", CIMValue(greeting.size())));
        handler.deliver(CIMValue(greeting));
        handler.complete();
    }

  private:
    CIMObjectPath _add(Uint8 id, const String& message) {
        CIMInstance instance("Sample_Greeting");
        instance.addProperty(CIMProperty("Identifier", id));
        instance.addProperty(CIMProperty("Message", String(message)));
        Array<CIMKeyBinding> keys;
        keys.append(CIMKeyBinding("Identifier", CIMValue(id)));
        CIMObjectPath path(String(), CIMNamespaceName(), "Sample_Greeting", keys);
        instance.setPath(path);
        _instances.append(instance);
        _paths.append(path);
        return path;
    }

    Uint32 _find(const CIMObjectPath& reference) {
        CIMObjectPath local(String(), CIMNamespaceName(), reference.getClassName(),
                            reference.getKeyBindings());
        for (Uint32 i = 0; i < _paths.size(); i++) {
            if (_paths[i] == local)
                return i;
        }
        throw CIMObjectNotFoundException(reference.toString());
    }

    CIMOMHandle _cimom;
    Array<CIMInstance> _instances;
    Array<CIMObjectPath> _paths;
};

PEGASUS_NAMESPACE_BEGIN

extern "C" PEGASUS_EXPORT CIMProvider* PegasusCreateProvider(const String& providerName) {
    if (String::equalNoCase(providerName, "SampleProvider") ||
        String::equalNoCase(providerName, "SampleProvider (PROVIDER)")) {
        return new SampleProvider();
    }
    return 0;
}

PEGASUS_NAMESPACE_END
