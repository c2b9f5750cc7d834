// Exception, CIMException and the generic exceptions thrown by the CIM object classes.
#ifndef Pegasus_Exception_h
#define Pegasus_Exception_h

#include <memory>

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Linkage.h>
#include <Pegasus/Common/String.h>
#include <Pegasus/Common/CIMStatusCode.h>
#include <Pegasus/Common/Array.h>

PEGASUS_NAMESPACE_BEGIN

class CIMInstance;

// Root of every exception of this layer; it has no base class and carries one message.
class PEGASUS_COMMON_LINKAGE Exception {
  public:
    Exception(const String& message);
    Exception(const Exception& exception);
    Exception& operator=(const Exception& exception);
    virtual ~Exception();

    // The message as it was given, without any prefix.
    virtual const String& getMessage() const;

  protected:
    Exception();

    String _message;
};

class PEGASUS_COMMON_LINKAGE IndexOutOfBoundsException : public Exception {
  public:
    IndexOutOfBoundsException();
};

class PEGASUS_COMMON_LINKAGE AlreadyExistsException : public Exception {
  public:
    AlreadyExistsException(const String& message);
};

class PEGASUS_COMMON_LINKAGE InvalidNameException : public Exception {
  public:
    InvalidNameException(const String& name);
};

class PEGASUS_COMMON_LINKAGE InvalidNamespaceNameException : public Exception {
  public:
    InvalidNamespaceNameException(const String& name);
};

class PEGASUS_COMMON_LINKAGE UninitializedObjectException : public Exception {
  public:
    UninitializedObjectException();
};

class PEGASUS_COMMON_LINKAGE TypeMismatchException : public Exception {
  public:
    TypeMismatchException();
    TypeMismatchException(const String& message);
};

class PEGASUS_COMMON_LINKAGE DynamicCastFailedException : public Exception {
  public:
    DynamicCastFailedException();
};

class PEGASUS_COMMON_LINKAGE InvalidDateTimeFormatException : public Exception {
  public:
    InvalidDateTimeFormatException();
};

class PEGASUS_COMMON_LINKAGE DateTimeOutOfRangeException : public Exception {
  public:
    DateTimeOutOfRangeException(const String& message);
};

class PEGASUS_COMMON_LINKAGE MalformedObjectNameException : public Exception {
  public:
    MalformedObjectNameException(const String& objectName);
};

class PEGASUS_COMMON_LINKAGE NullPointerException : public Exception {
  public:
    NullPointerException();
};

struct CIMExceptionRep;

// An error with a CIM status code, the form in which failures reach a CIM client.
class PEGASUS_COMMON_LINKAGE CIMException : public Exception {
  public:
    CIMException(CIMStatusCode code = CIM_ERR_SUCCESS, const String& message = String::EMPTY);
    CIMException(CIMStatusCode code, const String& message, const CIMInstance& instance);
    CIMException(CIMStatusCode code, const String& message, const Array<CIMInstance>& instances);
    CIMException(const CIMException& cimException);
    CIMException& operator=(const CIMException& cimException);
    virtual ~CIMException();

    CIMStatusCode getCode() const;

  private:
    CIMStatusCode _code;
    // CIM_Error instances attached by the thrower; shared between copies, never modified.
    std::shared_ptr<CIMExceptionRep> _errors;
};

PEGASUS_NAMESPACE_END

#endif
