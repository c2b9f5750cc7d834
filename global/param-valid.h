/* Names of the parameter types and of the parameter validation results, as
 * they travel in definitions files and validation answers. */
#ifndef VELK_PARAM_VALID_H
#define VELK_PARAM_VALID_H

#include "velk-export.h"

VELK_BEGIN_DECLS

/* Parameter types. */
#define VELK_PARAM_TYPE_INT32 0
#define VELK_PARAM_TYPE_UINT32 1
#define VELK_PARAM_TYPE_BOOL 2
#define VELK_PARAM_TYPE_FLOAT 3
#define VELK_PARAM_TYPE_STRING 4
#define VELK_PARAM_TYPE_UNSET (-1)

/* Validation results (valid flags). */
#define VELK_PARAM_VALID 0
#define VELK_PARAM_ID_NOT_RECOGNIZED 1
#define VELK_PARAM_VALUE_TOO_BIG 2
#define VELK_PARAM_VALUE_TOO_SMALL 3
#define VELK_PARAM_VALUE_BAD 4

/* "int32", "uint32", "bool", "float", "string"; "invalid" for any other
 * value. */
const char* ParameterTypeToStr(int type);
/* The type of a name, compared without case; -1 for an unknown name or
 * NULL. */
int ParameterTypeStrToType(const char* text);

/* "valid", "id not recognized", "value too big", "value too small",
 * "value bad"; "valid flag invalid" for any other value. */
const char* ParameterValidFlagToStr(int flag);
/* The flag of a name, compared without case; -1 for an unknown name or
 * NULL. */
int ParameterValidFlagStrToType(const char* text);

VELK_END_DECLS

#endif
