// Response handlers that collect what a provider delivers and enforce the
// delivery protocol a CIM server enforces: processing() before deliver(),
// complete() once, nothing after complete(), and for a get request exactly
// one instance.
#ifndef VELK_CIMSERVER_COLLECTING_HANDLERS_H
#define VELK_CIMSERVER_COLLECTING_HANDLERS_H

#include <Pegasus/Common/ResponseHandler.h>

namespace velk::cimserver {

class HandlerProtocol {
  public:
    void markProcessing();
    void markDelivering();
    void markComplete();
    bool isProcessing() const { return _processing; }
    bool isComplete() const { return _complete; }

  private:
    bool _processing = false;
    bool _complete = false;
};

class CollectingInstanceHandler : public Pegasus::InstanceResponseHandler {
  public:
    // singleInstance: a get request, which must deliver exactly one instance.
    explicit CollectingInstanceHandler(bool singleInstance = false);

    void processing() override;
    void complete() override;
    void deliver(const Pegasus::CIMInstance& instance) override;
    void deliver(const Pegasus::Array<Pegasus::CIMInstance>& instances) override;

    const Pegasus::Array<Pegasus::CIMInstance>& instances() const { return _instances; }
    const HandlerProtocol& protocol() const { return _protocol; }

  private:
    bool _singleInstance;
    HandlerProtocol _protocol;
    Pegasus::Array<Pegasus::CIMInstance> _instances;
};

class CollectingPathHandler : public Pegasus::ObjectPathResponseHandler {
  public:
    void processing() override;
    void complete() override;
    void deliver(const Pegasus::CIMObjectPath& path) override;
    void deliver(const Pegasus::Array<Pegasus::CIMObjectPath>& paths) override;

    const Pegasus::Array<Pegasus::CIMObjectPath>& paths() const { return _paths; }
    const HandlerProtocol& protocol() const { return _protocol; }

  private:
    HandlerProtocol _protocol;
    Pegasus::Array<Pegasus::CIMObjectPath> _paths;
};

class CollectingMethodHandler : public Pegasus::MethodResultResponseHandler {
  public:
    void processing() override;
    void complete() override;
    void deliverParamValue(const Pegasus::CIMParamValue& value) override;
    void deliverParamValue(const Pegasus::Array<Pegasus::CIMParamValue>& values) override;
    void deliver(const Pegasus::CIMValue& returnValue) override;

    const Pegasus::Array<Pegasus::CIMParamValue>& outParameters() const { return _outParameters; }
    const Pegasus::CIMValue& returnValue() const { return _returnValue; }
    const HandlerProtocol& protocol() const { return _protocol; }

  private:
    HandlerProtocol _protocol;
    Pegasus::Array<Pegasus::CIMParamValue> _outParameters;
    Pegasus::CIMValue _returnValue;
};

// A handler for create/modify/delete requests, which deliver nothing.
class PlainHandler : public Pegasus::ResponseHandler {
  public:
    void processing() override;
    void complete() override;
    const HandlerProtocol& protocol() const { return _protocol; }

  private:
    HandlerProtocol _protocol;
};

}  // namespace velk::cimserver

#endif
