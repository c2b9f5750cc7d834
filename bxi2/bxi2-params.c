/* Parameter records: text fields, flags and typed access to the value,
 * default, minimum and maximum. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "bxi2-internal.h"
#include "param-valid.h"
#include "test-common.h"

enum {
    kValueCapacity = 40,
    kNumberTextSize = 64,
};

/* The text fields of a record, in order. */
static CGenStr* TextField(Bxi2_Parameter* parameter, int index) {
    CGenStr* fields[] = {&parameter->id,       &parameter->name,    &parameter->description,
                         &parameter->mask,     &parameter->value,   &parameter->defaultValue,
                         &parameter->minValue, &parameter->maxValue};
    return index < (int)(sizeof fields / sizeof fields[0]) ? fields[index] : NULL;
}

int Bxi2_InitParameter(Bxi2_Parameter* parameter) {
    if (parameter == NULL) {
        return 0;
    }
    memset(parameter, 0, sizeof *parameter);
    for (int i = 0; TextField(parameter, i) != NULL; ++i) {
        if (!CGenStrInit(TextField(parameter, i))) {
            while (--i >= 0) {
                CGenStrDelete(TextField(parameter, i));
            }
            return 0;
        }
    }
    if (!CGenStrReserve(&parameter->value, kValueCapacity) ||
        !CGenStrReserve(&parameter->defaultValue, kValueCapacity)) {
        Bxi2_DestructParameter(parameter);
        return 0;
    }
    parameter->type = VELK_PARAM_TYPE_UNSET;
    parameter->validFlag = VELK_PARAM_VALID;
    return 1;
}

void Bxi2_DestructParameter(Bxi2_Parameter* parameter) {
    if (parameter == NULL) {
        return;
    }
    for (int i = 0; TextField(parameter, i) != NULL; ++i) {
        CGenStrDelete(TextField(parameter, i));
    }
}

Bxi2_Parameter* Bxi2_CreateParameter(void) {
    Bxi2_Parameter* parameter = malloc(sizeof *parameter);
    if (parameter != NULL && !Bxi2_InitParameter(parameter)) {
        free(parameter);
        return NULL;
    }
    return parameter;
}

/* ------------------------------------------------------------------------ */
/* Text fields and flags                                                    */
/* ------------------------------------------------------------------------ */

static const char* TextOf(const CGenStr* text) {
    return text->pBuffer != NULL ? text->pBuffer : "";
}

static int SetText(CGenStr* field, const char* text) {
    return CGenStrAssignChar(field, text) ? 1 : 0;
}

const char* Bxi2_GetParameterId(const Bxi2_Parameter* parameter) {
    return parameter == NULL ? NULL : TextOf(&parameter->id);
}

int Bxi2_SetParameterId(Bxi2_Parameter* parameter, const char* id) {
    return parameter != NULL && SetText(&parameter->id, id);
}

const char* Bxi2_GetParameterName(const Bxi2_Parameter* parameter) {
    return parameter == NULL ? NULL : TextOf(&parameter->name);
}

int Bxi2_SetParameterName(Bxi2_Parameter* parameter, const char* name) {
    return parameter != NULL && SetText(&parameter->name, name);
}

const char* Bxi2_GetParameterDescription(const Bxi2_Parameter* parameter) {
    return parameter == NULL ? NULL : TextOf(&parameter->description);
}

int Bxi2_SetParameterDescription(Bxi2_Parameter* parameter, const char* description) {
    return parameter != NULL && SetText(&parameter->description, description);
}

const char* Bxi2_GetParameterMask(const Bxi2_Parameter* parameter) {
    return parameter == NULL ? NULL : TextOf(&parameter->mask);
}

int Bxi2_SetParameterMask(Bxi2_Parameter* parameter, const char* mask) {
    return parameter != NULL && SetText(&parameter->mask, mask);
}

int Bxi2_GetParameterType(const Bxi2_Parameter* parameter) {
    return parameter == NULL ? VELK_PARAM_TYPE_UNSET : parameter->type;
}

void Bxi2_SetParameterType(Bxi2_Parameter* parameter, int type) {
    if (parameter != NULL) {
        parameter->type = type;
    }
}

int Bxi2_GetParameterValidFlag(const Bxi2_Parameter* parameter) {
    return parameter == NULL ? VELK_PARAM_VALID : parameter->validFlag;
}

void Bxi2_SetParameterValidFlag(Bxi2_Parameter* parameter, int flag) {
    if (parameter != NULL) {
        parameter->validFlag = flag;
    }
}

int Bxi2_GetParameterMustBeSet(const Bxi2_Parameter* parameter) {
    return parameter == NULL ? 0 : parameter->mustBeSet;
}

void Bxi2_SetParameterMustBeSet(Bxi2_Parameter* parameter, int mustBeSet) {
    if (parameter != NULL) {
        parameter->mustBeSet = mustBeSet;
    }
}

int Bxi2_GetParameterRecommendValidate(const Bxi2_Parameter* parameter) {
    return parameter == NULL ? 0 : parameter->recommendValidate;
}

void Bxi2_SetParameterRecommendValidate(Bxi2_Parameter* parameter, int recommend) {
    if (parameter != NULL) {
        parameter->recommendValidate = recommend;
    }
}

int Bxi2_GetParameterHasDefaultValue(const Bxi2_Parameter* parameter) {
    return parameter == NULL ? 0 : parameter->hasDefault;
}

int Bxi2_GetParameterHasMinVal(const Bxi2_Parameter* parameter) {
    return parameter == NULL ? 0 : parameter->hasMin;
}

int Bxi2_GetParameterHasMaxVal(const Bxi2_Parameter* parameter) {
    return parameter == NULL ? 0 : parameter->hasMax;
}

/* ------------------------------------------------------------------------ */
/* Typed access                                                             */
/* ------------------------------------------------------------------------ */

/* The conversions of one text; each reads "" for a NULL text. */
static int32_t ReadInt32(const CGenStr* text) {
    return (int32_t)strtol(TextOf(text), NULL, 10);
}

static uint32_t ReadUInt32(const CGenStr* text) {
    return (uint32_t)atoul(TextOf(text));
}

static int ReadBool(const CGenStr* text) {
    return StrToBool(TextOf(text));
}

static float ReadFloat(const CGenStr* text) {
    return (float)strtod(TextOf(text), NULL);
}

/* Writes text and raises flag (may be NULL): 1, or 0 unchanged. */
static int Store(CGenStr* field, int32_t* flag, const char* text) {
    if (!CGenStrAssignChar(field, text)) {
        return 0;
    }
    if (flag != NULL) {
        *flag = 1;
    }
    return 1;
}

static int StoreInt32(CGenStr* field, int32_t* flag, int32_t value) {
    char text[kNumberTextSize];
    snprintf(text, sizeof text, "%i", value);
    return Store(field, flag, text);
}

static int StoreUInt32(CGenStr* field, int32_t* flag, uint32_t value) {
    char text[kNumberTextSize];
    snprintf(text, sizeof text, "%u", value);
    return Store(field, flag, text);
}

static int StoreBool(CGenStr* field, int32_t* flag, int value) {
    return Store(field, flag, BoolToStr(value));
}

static int StoreFloat(CGenStr* field, int32_t* flag, float value) {
    char text[kNumberTextSize];
    snprintf(text, sizeof text, "%f", (double)value);
    return Store(field, flag, text);
}

/* The value. */
int32_t Bxi2_GetParameterValAsInt32(const Bxi2_Parameter* p) {
    return p == NULL ? 0 : ReadInt32(&p->value);
}
int Bxi2_SetParameterValFromInt32(Bxi2_Parameter* p, int32_t v) {
    return p != NULL && StoreInt32(&p->value, NULL, v);
}
uint32_t Bxi2_GetParameterValAsUInt32(const Bxi2_Parameter* p) {
    return p == NULL ? 0 : ReadUInt32(&p->value);
}
int Bxi2_SetParameterValFromUInt32(Bxi2_Parameter* p, uint32_t v) {
    return p != NULL && StoreUInt32(&p->value, NULL, v);
}
int Bxi2_GetParameterValAsBool(const Bxi2_Parameter* p) {
    return p == NULL ? 0 : ReadBool(&p->value);
}
int Bxi2_SetParameterValFromBool(Bxi2_Parameter* p, int v) {
    return p != NULL && StoreBool(&p->value, NULL, v);
}
float Bxi2_GetParameterValAsFloat(const Bxi2_Parameter* p) {
    return p == NULL ? 0.0f : ReadFloat(&p->value);
}
int Bxi2_SetParameterValFromFloat(Bxi2_Parameter* p, float v) {
    return p != NULL && StoreFloat(&p->value, NULL, v);
}
const char* Bxi2_GetParameterValAsStr(const Bxi2_Parameter* p) {
    return p == NULL ? NULL : TextOf(&p->value);
}
int Bxi2_SetParameterValFromStr(Bxi2_Parameter* p, const char* v) {
    return p != NULL && Store(&p->value, NULL, v);
}

/* The default value. */
int32_t Bxi2_GetParameterDefaultValAsInt32(const Bxi2_Parameter* p) {
    return p == NULL ? 0 : ReadInt32(&p->defaultValue);
}
int Bxi2_SetParameterDefaultValFromInt32(Bxi2_Parameter* p, int32_t v) {
    return p != NULL && StoreInt32(&p->defaultValue, &p->hasDefault, v);
}
uint32_t Bxi2_GetParameterDefaultValAsUInt32(const Bxi2_Parameter* p) {
    return p == NULL ? 0 : ReadUInt32(&p->defaultValue);
}
int Bxi2_SetParameterDefaultValFromUInt32(Bxi2_Parameter* p, uint32_t v) {
    return p != NULL && StoreUInt32(&p->defaultValue, &p->hasDefault, v);
}
int Bxi2_GetParameterDefaultValAsBool(const Bxi2_Parameter* p) {
    return p == NULL ? 0 : ReadBool(&p->defaultValue);
}
int Bxi2_SetParameterDefaultValFromBool(Bxi2_Parameter* p, int v) {
    return p != NULL && StoreBool(&p->defaultValue, &p->hasDefault, v);
}
float Bxi2_GetParameterDefaultValAsFloat(const Bxi2_Parameter* p) {
    return p == NULL ? 0.0f : ReadFloat(&p->defaultValue);
}
int Bxi2_SetParameterDefaultValFromFloat(Bxi2_Parameter* p, float v) {
    return p != NULL && StoreFloat(&p->defaultValue, &p->hasDefault, v);
}
const char* Bxi2_GetParameterDefaultValAsStr(const Bxi2_Parameter* p) {
    return p == NULL ? NULL : TextOf(&p->defaultValue);
}
int Bxi2_SetParameterDefaultValFromStr(Bxi2_Parameter* p, const char* v) {
    return p != NULL && Store(&p->defaultValue, &p->hasDefault, v);
}

/* The minimum. */
int32_t Bxi2_GetParameterMinValAsInt32(const Bxi2_Parameter* p) {
    return p == NULL ? 0 : ReadInt32(&p->minValue);
}
int Bxi2_SetParameterMinValFromInt32(Bxi2_Parameter* p, int32_t v) {
    return p != NULL && StoreInt32(&p->minValue, &p->hasMin, v);
}
uint32_t Bxi2_GetParameterMinValAsUInt32(const Bxi2_Parameter* p) {
    return p == NULL ? 0 : ReadUInt32(&p->minValue);
}
int Bxi2_SetParameterMinValFromUInt32(Bxi2_Parameter* p, uint32_t v) {
    return p != NULL && StoreUInt32(&p->minValue, &p->hasMin, v);
}
int Bxi2_GetParameterMinValAsBool(const Bxi2_Parameter* p) {
    return p == NULL ? 0 : ReadBool(&p->minValue);
}
int Bxi2_SetParameterMinValFromBool(Bxi2_Parameter* p, int v) {
    return p != NULL && StoreBool(&p->minValue, &p->hasMin, v);
}
float Bxi2_GetParameterMinValAsFloat(const Bxi2_Parameter* p) {
    return p == NULL ? 0.0f : ReadFloat(&p->minValue);
}
int Bxi2_SetParameterMinValFromFloat(Bxi2_Parameter* p, float v) {
    return p != NULL && StoreFloat(&p->minValue, &p->hasMin, v);
}
const char* Bxi2_GetParameterMinValAsStr(const Bxi2_Parameter* p) {
    return p == NULL ? NULL : TextOf(&p->minValue);
}
int Bxi2_SetParameterMinValFromStr(Bxi2_Parameter* p, const char* v) {
    return p != NULL && Store(&p->minValue, &p->hasMin, v);
}

/* The maximum. */
int32_t Bxi2_GetParameterMaxValAsInt32(const Bxi2_Parameter* p) {
    return p == NULL ? 0 : ReadInt32(&p->maxValue);
}
int Bxi2_SetParameterMaxValFromInt32(Bxi2_Parameter* p, int32_t v) {
    return p != NULL && StoreInt32(&p->maxValue, &p->hasMax, v);
}
uint32_t Bxi2_GetParameterMaxValAsUInt32(const Bxi2_Parameter* p) {
    return p == NULL ? 0 : ReadUInt32(&p->maxValue);
}
int Bxi2_SetParameterMaxValFromUInt32(Bxi2_Parameter* p, uint32_t v) {
    return p != NULL && StoreUInt32(&p->maxValue, &p->hasMax, v);
}
int Bxi2_GetParameterMaxValAsBool(const Bxi2_Parameter* p) {
    return p == NULL ? 0 : ReadBool(&p->maxValue);
}
int Bxi2_SetParameterMaxValFromBool(Bxi2_Parameter* p, int v) {
    return p != NULL && StoreBool(&p->maxValue, &p->hasMax, v);
}
float Bxi2_GetParameterMaxValAsFloat(const Bxi2_Parameter* p) {
    return p == NULL ? 0.0f : ReadFloat(&p->maxValue);
}
int Bxi2_SetParameterMaxValFromFloat(Bxi2_Parameter* p, float v) {
    return p != NULL && StoreFloat(&p->maxValue, &p->hasMax, v);
}
const char* Bxi2_GetParameterMaxValAsStr(const Bxi2_Parameter* p) {
    return p == NULL ? NULL : TextOf(&p->maxValue);
}
int Bxi2_SetParameterMaxValFromStr(Bxi2_Parameter* p, const char* v) {
    return p != NULL && Store(&p->maxValue, &p->hasMax, v);
}
