#include "CollectingHandlers.h"

#include <Pegasus/Common/Exception.h>

namespace velk::cimserver {

using Pegasus::CIMException;

void HandlerProtocol::markProcessing() {
    if (_complete) {
        throw CIMException(Pegasus::CIM_ERR_FAILED, "processing() after complete()");
    }
    _processing = true;
}

void HandlerProtocol::markDelivering() {
    if (_complete) {
        throw CIMException(Pegasus::CIM_ERR_FAILED, "deliver() after complete()");
    }
    if (!_processing) {
        throw CIMException(Pegasus::CIM_ERR_FAILED, "deliver() before processing()");
    }
}

void HandlerProtocol::markComplete() {
    if (_complete) {
        throw CIMException(Pegasus::CIM_ERR_FAILED, "complete() called twice");
    }
    _complete = true;
}

CollectingInstanceHandler::CollectingInstanceHandler(bool singleInstance)
    : _singleInstance(singleInstance) {}

void CollectingInstanceHandler::processing() {
    _protocol.markProcessing();
}

void CollectingInstanceHandler::complete() {
    _protocol.markComplete();
    if (_singleInstance && _instances.size() == 0) {
        throw CIMException(Pegasus::CIM_ERR_FAILED, "Too few objects delivered.");
    }
}

void CollectingInstanceHandler::deliver(const Pegasus::CIMInstance& instance) {
    _protocol.markDelivering();
    if (instance.isUninitialized()) {
        throw CIMException(Pegasus::CIM_ERR_FAILED, "uninitialized instance delivered");
    }
    if (_singleInstance && _instances.size() > 0) {
        throw CIMException(Pegasus::CIM_ERR_FAILED, "Too many objects delivered.");
    }
    _instances.append(instance);
}

void CollectingInstanceHandler::deliver(const Pegasus::Array<Pegasus::CIMInstance>& instances) {
    for (Pegasus::Uint32 i = 0; i < instances.size(); i++) {
        deliver(instances[i]);
    }
}

void CollectingPathHandler::processing() {
    _protocol.markProcessing();
}

void CollectingPathHandler::complete() {
    _protocol.markComplete();
}

void CollectingPathHandler::deliver(const Pegasus::CIMObjectPath& path) {
    _protocol.markDelivering();
    if (path.getClassName().isNull()) {
        throw CIMException(Pegasus::CIM_ERR_FAILED, "path without class name delivered");
    }
    _paths.append(path);
}

void CollectingPathHandler::deliver(const Pegasus::Array<Pegasus::CIMObjectPath>& paths) {
    for (Pegasus::Uint32 i = 0; i < paths.size(); i++) {
        deliver(paths[i]);
    }
}

void CollectingMethodHandler::processing() {
    _protocol.markProcessing();
}

void CollectingMethodHandler::complete() {
    _protocol.markComplete();
}

void CollectingMethodHandler::deliverParamValue(const Pegasus::CIMParamValue& value) {
    _protocol.markDelivering();
    if (value.isUninitialized()) {
        throw CIMException(Pegasus::CIM_ERR_FAILED, "uninitialized parameter delivered");
    }
    _outParameters.append(value);
}

void CollectingMethodHandler::deliverParamValue(
    const Pegasus::Array<Pegasus::CIMParamValue>& values) {
    for (Pegasus::Uint32 i = 0; i < values.size(); i++) {
        deliverParamValue(values[i]);
    }
}

void CollectingMethodHandler::deliver(const Pegasus::CIMValue& returnValue) {
    _protocol.markDelivering();
    if (returnValue.isNull()) {
        throw CIMException(Pegasus::CIM_ERR_FAILED, "null method return value delivered");
    }
    _returnValue = returnValue;
}

void PlainHandler::processing() {
    _protocol.markProcessing();
}

void PlainHandler::complete() {
    _protocol.markComplete();
}

}  // namespace velk::cimserver
