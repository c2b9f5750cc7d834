// Exception messages, CIM status codes and the provider exceptions.
#include <Pegasus/Common/Exception.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMStatusCode.h>
#include <Pegasus/Common/InternalException.h>
#include <Pegasus/Provider/ProviderException.h>

PEGASUS_USING_PEGASUS;

TEST(Exception, DefaultMessages) {
    EXPECT_EQ(IndexOutOfBoundsException().getMessage(), String("index out of bounds"));
    EXPECT_EQ(AlreadyExistsException("x").getMessage(), String("already exists: x"));
    EXPECT_EQ(InvalidNameException("1a").getMessage(), String("The CIM name is not valid: 1a"));
    EXPECT_EQ(InvalidNamespaceNameException("a//b").getMessage(),
              String("invalid CIM namespace name: a//b"));
    EXPECT_EQ(UninitializedObjectException().getMessage(), String("uninitialized object"));
    EXPECT_EQ(TypeMismatchException().getMessage(), String("type mismatch"));
    EXPECT_EQ(TypeMismatchException("uint8").getMessage(), String("type mismatch: uint8"));
    EXPECT_EQ(DynamicCastFailedException().getMessage(), String("dynamic cast failed"));
    EXPECT_EQ(InvalidDateTimeFormatException().getMessage(), String("invalid datetime format"));
    EXPECT_EQ(DateTimeOutOfRangeException("9").getMessage(),
              String("DateTime is out of range : 9"));
    EXPECT_EQ(MalformedObjectNameException("x.").getMessage(), String("malformed object name: x."));
    EXPECT_EQ(AssertionFailureException("Foo.cpp", 42, "x != 0").getMessage(),
              String("Foo.cpp(42): x != 0"));
    EXPECT_EQ(Exception("plain").getMessage(), String("plain"));
}

TEST(CIMException, MessageHasNoCodePrefix) {
    CIMException e(CIM_ERR_NOT_FOUND, "no such disk");
    EXPECT_EQ(e.getCode(), CIM_ERR_NOT_FOUND);
    EXPECT_EQ(e.getMessage(), String("no such disk"));
    CIMException d;
    EXPECT_EQ(d.getCode(), CIM_ERR_SUCCESS);
    EXPECT_EQ(d.getMessage(), String());
    CIMException withError(CIM_ERR_FAILED, "m", CIMInstance("CIM_Error"));
    CIMException copy(withError);
    EXPECT_EQ(copy.getCode(), CIM_ERR_FAILED);
    d = copy;
    EXPECT_EQ(d.getMessage(), String("m"));
    // Caught through the base class, the message is the same.
    try {
        throw CIMException(CIM_ERR_ACCESS_DENIED, "denied");
    } catch (const Exception& base) {
        EXPECT_EQ(base.getMessage(), String("denied"));
    }
}

TEST(CIMStatusCode, NamesAndGaps) {
    // Codes 0 to 28 in order; 18 and 19 are unassigned. 29 to 31 lie beyond the table but
    // inside the enumeration's value range (larger values are not representable).
    std::istringstream names(
        "SUCCESS FAILED ACCESS_DENIED INVALID_NAMESPACE INVALID_PARAMETER INVALID_CLASS "
        "NOT_FOUND NOT_SUPPORTED CLASS_HAS_CHILDREN CLASS_HAS_INSTANCES INVALID_SUPERCLASS "
        "ALREADY_EXISTS NO_SUCH_PROPERTY TYPE_MISMATCH QUERY_LANGUAGE_NOT_SUPPORTED "
        "INVALID_QUERY METHOD_NOT_AVAILABLE METHOD_NOT_FOUND - - NAMESPACE_NOT_EMPTY "
        "INVALID_ENUMERATION_CONTEXT INVALID_OPERATION_TIMEOUT PULL_HAS_BEEN_ABANDONED "
        "PULL_CANNOT_BE_ABANDONED FILTERED_ENUMERATION_NOT_SUPPORTED "
        "CONTINUATION_ON_ERROR_NOT_SUPPORTED SERVER_LIMITS_EXCEEDED SERVER_IS_SHUTTING_DOWN");
    int code = 0;
    for (std::string name; names >> name; code++) {
        std::string expected = name == "-" ? "empty" : "CIM_ERR_" + name;
        EXPECT_EQ(cimStatusCodeToString(CIMStatusCode(code)), expected) << code;
    }
    EXPECT_EQ(code, 29);
    for (int beyond : {29, 30, 31}) {
        EXPECT_STREQ(cimStatusCodeToString(CIMStatusCode(beyond)), "Unrecognized CIM status code");
    }
    EXPECT_EQ(int(CIM_ERR_NAMESPACE_NOT_EMPTY), 20);
    EXPECT_EQ(int(CIM_ERR_SERVER_IS_SHUTTING_DOWN), 28);
}

TEST(ProviderException, CodesAndHierarchy) {
    struct Case {
        CIMException exception;
        CIMStatusCode code;
    } cases[] = {
        {CIMOperationFailedException("m"), CIM_ERR_FAILED},
        {CIMAccessDeniedException("m"), CIM_ERR_ACCESS_DENIED},
        {CIMInvalidParameterException("m"), CIM_ERR_INVALID_PARAMETER},
        {CIMObjectNotFoundException("m"), CIM_ERR_NOT_FOUND},
        {CIMNotSupportedException("m"), CIM_ERR_NOT_SUPPORTED},
        {CIMObjectAlreadyExistsException("m"), CIM_ERR_ALREADY_EXISTS},
        {CIMPropertyNotFoundException("m"), CIM_ERR_NO_SUCH_PROPERTY},
        {CIMMethodNotFoundException("m"), CIM_ERR_METHOD_NOT_FOUND},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.exception.getCode(), c.code);
        EXPECT_EQ(c.exception.getMessage(), String("m"));
    }
    try {
        throw CIMObjectNotFoundException("gone");
    } catch (const CIMOperationFailedException& e) {
        EXPECT_EQ(e.getCode(), CIM_ERR_NOT_FOUND);
        EXPECT_EQ(e.getMessage(), String("gone"));
    }
}
