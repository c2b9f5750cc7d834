#include <Pegasus/Common/Exception.h>

#include <Pegasus/Common/CIMInstance.h>

PEGASUS_NAMESPACE_BEGIN

// ---- Exception -------------------------------------------------------------------------------

Exception::Exception() = default;

Exception::Exception(const String& message) : _message(message) {}

Exception::Exception(const Exception& exception) = default;

Exception& Exception::operator=(const Exception& exception) = default;

Exception::~Exception() = default;

const String& Exception::getMessage() const {
    return _message;
}

// ---- Generic exceptions ----------------------------------------------------------------------

IndexOutOfBoundsException::IndexOutOfBoundsException() : Exception("index out of bounds") {}

AlreadyExistsException::AlreadyExistsException(const String& message)
    : Exception(String("already exists: ") + message) {}

InvalidNameException::InvalidNameException(const String& name)
    : Exception(String("The CIM name is not valid: ") + name) {}

InvalidNamespaceNameException::InvalidNamespaceNameException(const String& name)
    : Exception(String("invalid CIM namespace name: ") + name) {}

UninitializedObjectException::UninitializedObjectException() : Exception("uninitialized object") {}

TypeMismatchException::TypeMismatchException() : Exception("type mismatch") {}

TypeMismatchException::TypeMismatchException(const String& message)
    : Exception(String("type mismatch: ") + message) {}

DynamicCastFailedException::DynamicCastFailedException() : Exception("dynamic cast failed") {}

InvalidDateTimeFormatException::InvalidDateTimeFormatException()
    : Exception("invalid datetime format") {}

DateTimeOutOfRangeException::DateTimeOutOfRangeException(const String& message)
    : Exception(String("DateTime is out of range : ") + message) {}

MalformedObjectNameException::MalformedObjectNameException(const String& objectName)
    : Exception(String("malformed object name: ") + objectName) {}

NullPointerException::NullPointerException() : Exception("null pointer") {}

// ---- CIMException ----------------------------------------------------------------------------

struct CIMExceptionRep {
    Array<CIMInstance> errors;
};

CIMException::CIMException(CIMStatusCode code, const String& message)
    : Exception(message), _code(code) {}

CIMException::CIMException(CIMStatusCode code, const String& message, const CIMInstance& instance)
    : Exception(message), _code(code), _errors(std::make_shared<CIMExceptionRep>()) {
    _errors->errors.append(instance);
}

CIMException::CIMException(CIMStatusCode code, const String& message,
                           const Array<CIMInstance>& instances)
    : Exception(message), _code(code), _errors(std::make_shared<CIMExceptionRep>()) {
    _errors->errors = instances;
}

CIMException::CIMException(const CIMException& cimException) = default;

CIMException& CIMException::operator=(const CIMException& cimException) = default;

CIMException::~CIMException() = default;

CIMStatusCode CIMException::getCode() const {
    return _code;
}

PEGASUS_NAMESPACE_END
