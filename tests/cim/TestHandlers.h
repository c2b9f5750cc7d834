// Response handlers for driving providers in tests. They keep what is delivered and enforce the
// rules a CIM server's handlers enforce: processing() first, nothing after complete(), exactly
// one object where one is expected, no uninitialized objects and no null method return value.
#ifndef VELK_TESTS_CIM_TEST_HANDLERS_H
#define VELK_TESTS_CIM_TEST_HANDLERS_H

#include <Pegasus/Common/CIMStatusCode.h>
#include <Pegasus/Common/Exception.h>
#include <Pegasus/Common/ResponseHandler.h>

namespace velk_test {

using namespace Pegasus;

// Shared protocol state of every test handler.
class HandlerProtocol : virtual public ResponseHandler {
  public:
    void processing() override {
        if (_completed)
            fail("processing() after complete()");
        _processing = true;
    }
    void complete() override {
        if (_completed)
            fail("complete() called twice");
        checkComplete();
        _completed = true;
    }
    bool completed() const { return _completed; }
    OperationContext context() const { return getContext(); }

  protected:
    // The count rules of the operation, checked when complete() runs.
    virtual void checkComplete() {}

    void beforeDeliver() {
        if (_completed)
            fail("deliver after complete()");
        if (!_processing)
            fail("deliver before processing()");
    }
    [[noreturn]] static void fail(const char* why) { throw CIMException(CIM_ERR_FAILED, why); }

  private:
    bool _processing = false;
    bool _completed = false;
};

// For getInstance (exactly = 1) and enumerateInstances (exactly = -1, any number).
class TestInstanceHandler : public InstanceResponseHandler, public HandlerProtocol {
  public:
    explicit TestInstanceHandler(int exactly = -1) : _exactly(exactly) {}

    void deliver(const CIMInstance& instance) override {
        beforeDeliver();
        if (instance.isUninitialized())
            fail("uninitialized instance delivered");
        if (_exactly >= 0 && int(instances.size()) >= _exactly)
            fail("Too many objects delivered.");
        instances.append(instance);
    }
    void deliver(const Array<CIMInstance>& list) override {
        for (Uint32 i = 0; i < list.size(); i++)
            deliver(list[i]);
    }

    Array<CIMInstance> instances;

  protected:
    void checkComplete() override {
        if (_exactly >= 0 && int(instances.size()) < _exactly)
            fail("Too few objects delivered.");
    }

  private:
    int _exactly;
};

// For enumerateInstanceNames (exactly = -1) and createInstance (exactly = 1).
class TestObjectPathHandler : public ObjectPathResponseHandler, public HandlerProtocol {
  public:
    explicit TestObjectPathHandler(int exactly = -1) : _exactly(exactly) {}

    void deliver(const CIMObjectPath& path) override {
        beforeDeliver();
        if (path.getClassName().isNull())
            fail("object path without a class name delivered");
        if (_exactly >= 0 && int(paths.size()) >= _exactly)
            fail("Too many objects delivered.");
        paths.append(path);
    }
    void deliver(const Array<CIMObjectPath>& list) override {
        for (Uint32 i = 0; i < list.size(); i++)
            deliver(list[i]);
    }

    Array<CIMObjectPath> paths;

  protected:
    void checkComplete() override {
        if (_exactly >= 0 && int(paths.size()) < _exactly)
            fail("Too few objects delivered.");
    }

  private:
    int _exactly;
};

class TestMethodResultHandler : public MethodResultResponseHandler, public HandlerProtocol {
  public:
    void deliverParamValue(const CIMParamValue& value) override {
        beforeDeliver();
        if (value.isUninitialized())
            fail("uninitialized parameter value delivered");
        outParameters.append(value);
    }
    void deliverParamValue(const Array<CIMParamValue>& values) override {
        for (Uint32 i = 0; i < values.size(); i++)
            deliverParamValue(values[i]);
    }
    void deliver(const CIMValue& value) override {
        beforeDeliver();
        if (value.isNull())
            fail("null method return value delivered");
        if (returnValues.size() > 0)
            fail("Too many objects delivered.");
        returnValues.append(value);
    }

    Array<CIMParamValue> outParameters;
    Array<CIMValue> returnValues;

  protected:
    void checkComplete() override {
        if (returnValues.size() != 1)
            fail("Too few objects delivered.");
    }
};

// For modifyInstance and deleteInstance, which deliver nothing.
class TestPlainHandler : public HandlerProtocol {};

}  // namespace velk_test

#endif
