// Response handlers for velk-provider-loader, written against the documented
// OpenPegasus API only.  They keep what the provider delivers and note the
// first breach of the delivery rules a CIM server enforces: processing()
// before deliver(), complete() once, nothing after complete(), exactly one
// instance for a get request, no uninitialized object or null return value.
#ifndef VELK_TESTS_SDK_LOADER_HANDLERS_H
#define VELK_TESTS_SDK_LOADER_HANDLERS_H

#include <string>

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/ResponseHandler.h>

class LoaderHandler : public virtual Pegasus::ResponseHandler {
  public:
    void processing() { _processing = true; }
    void complete() {
        if (_completed) {
            breach("complete() called twice");
        }
        _completed = true;
    }
    bool completed() const { return _completed; }
    const std::string& protocolError() const { return _error; }

  protected:
    void delivering() {
        if (!_processing) {
            breach("deliver() before processing()");
        }
        if (_completed) {
            breach("deliver() after complete()");
        }
    }
    void breach(const char* what) {
        if (_error.empty()) {
            _error = what;
        }
    }

  private:
    bool _processing = false;
    bool _completed = false;
    std::string _error;
};

class LoaderInstanceHandler : public LoaderHandler, public Pegasus::InstanceResponseHandler {
  public:
    explicit LoaderInstanceHandler(bool singleInstance = false) : _single(singleInstance) {}
    void processing() { LoaderHandler::processing(); }
    void complete() {
        if (_single && _instances.size() != 1) {
            breach("a get request did not deliver exactly one instance");
        }
        LoaderHandler::complete();
    }
    void deliver(const Pegasus::CIMInstance& instance) {
        delivering();
        if (instance.isUninitialized()) {
            breach("uninitialized instance delivered");
        }
        _instances.append(instance);
    }
    void deliver(const Pegasus::Array<Pegasus::CIMInstance>& instances) {
        for (Pegasus::Uint32 i = 0; i < instances.size(); i++) {
            deliver(instances[i]);
        }
    }
    const Pegasus::Array<Pegasus::CIMInstance>& instances() const { return _instances; }

  private:
    bool _single;
    Pegasus::Array<Pegasus::CIMInstance> _instances;
};

class LoaderPathHandler : public LoaderHandler, public Pegasus::ObjectPathResponseHandler {
  public:
    void processing() { LoaderHandler::processing(); }
    void complete() { LoaderHandler::complete(); }
    void deliver(const Pegasus::CIMObjectPath& path) {
        delivering();
        if (path.getClassName().isNull()) {
            breach("object path without a class name delivered");
        }
        _paths.append(path);
    }
    void deliver(const Pegasus::Array<Pegasus::CIMObjectPath>& paths) {
        for (Pegasus::Uint32 i = 0; i < paths.size(); i++) {
            deliver(paths[i]);
        }
    }
    const Pegasus::Array<Pegasus::CIMObjectPath>& paths() const { return _paths; }

  private:
    Pegasus::Array<Pegasus::CIMObjectPath> _paths;
};

class LoaderMethodHandler : public LoaderHandler, public Pegasus::MethodResultResponseHandler {
  public:
    void processing() { LoaderHandler::processing(); }
    void complete() { LoaderHandler::complete(); }
    void deliverParamValue(const Pegasus::CIMParamValue& value) {
        delivering();
        if (value.isUninitialized()) {
            breach("uninitialized parameter delivered");
        }
    }
    void deliverParamValue(const Pegasus::Array<Pegasus::CIMParamValue>& values) {
        for (Pegasus::Uint32 i = 0; i < values.size(); i++) {
            deliverParamValue(values[i]);
        }
    }
    void deliver(const Pegasus::CIMValue& returnValue) {
        delivering();
        if (returnValue.isNull()) {
            breach("null return value delivered");
        }
        _returnValue = returnValue;
    }
    const Pegasus::CIMValue& returnValue() const { return _returnValue; }

  private:
    Pegasus::CIMValue _returnValue;
};

// Create, modify and delete requests deliver nothing.
class LoaderPlainHandler : public LoaderHandler {
  public:
    void processing() { LoaderHandler::processing(); }
    void complete() { LoaderHandler::complete(); }
};

#endif
