/* The parameter list of a run: records, iteration, "param=" tokens and the
 * predefined percentage parameter. */
#include <math.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "bxi2-internal.h"
#include "param-valid.h"
#include "tracing.h"

static const char kParamKeyword[] = "param";
static const char kParamArgument[] = "param=";
static const float kMinPercentage = 0.0f;
static const float kMaxPercentage = 100.0f;

/* The list of the current run or validation. */
static Bxi2_ParamList* gCurrentList;

static void DestroyParameterData(void* data) {
    Bxi2_DestructParameter(data);
}

static int IsPredefined(const Bxi2_Parameter* parameter) {
    return strcmp(Bxi2_GetParameterId(parameter), BXI2_PERCENT_TO_TEST_ID) == 0;
}

/* ------------------------------------------------------------------------ */
/* List and iteration                                                       */
/* ------------------------------------------------------------------------ */

int Bxi2_ParamListConstruct(Bxi2_ParamList* list) {
    if (list == NULL) {
        return 0;
    }
    CGenListConstruct(&list->list, 1, DestroyParameterData);
    list->iterator = NULL;
    return 1;
}

void Bxi2_ParamListDestruct(Bxi2_ParamList* list) {
    if (list == NULL) {
        return;
    }
    CGenListDestruct(&list->list);
    list->iterator = NULL;
    if (gCurrentList == list) {
        gCurrentList = NULL;
    }
}

int Bxi2_AddParameter(Bxi2_ParamList* list, Bxi2_Parameter* parameter) {
    if (list == NULL || parameter == NULL) {
        if (parameter != NULL) {
            Bxi2_DestructParameter(parameter);
            free(parameter);
        }
        return 0;
    }
    if (!CGenListPushBack(&list->list, parameter)) {
        Bxi2_DestructParameter(parameter);
        free(parameter);
        return 0;
    }
    return 1;
}

static Bxi2_Parameter* AtIterator(Bxi2_ParamList* list) {
    return CGenListIterAtEnd(&list->iterator) ? NULL : CGenListIterGetData(&list->iterator);
}

Bxi2_Parameter* Bxi2_I_GetFirstParameter(Bxi2_ParamList* list) {
    if (list == NULL) {
        return NULL;
    }
    CGenListIterInit(&list->iterator, &list->list);
    return AtIterator(list);
}

Bxi2_Parameter* Bxi2_I_GetNextParameter(Bxi2_ParamList* list) {
    if (list == NULL || CGenListIterAtEnd(&list->iterator)) {
        return NULL;
    }
    CGenListIterAdv(&list->iterator);
    return AtIterator(list);
}

void Bxi2_I_SetCurrentParamList(Bxi2_ParamList* list) {
    gCurrentList = list;
}

Bxi2_ParamList* Bxi2_I_GetCurrentParamList(void) {
    return gCurrentList;
}

/* The record at the current position or after it that is not the predefined
 * one. */
static Bxi2_Parameter* SkipPredefined(Bxi2_Parameter* parameter) {
    while (parameter != NULL && IsPredefined(parameter)) {
        parameter = Bxi2_I_GetNextParameter(gCurrentList);
    }
    return parameter;
}

Bxi2_Parameter* Bxi2_GetFirstParameter(void) {
    return SkipPredefined(Bxi2_I_GetFirstParameter(gCurrentList));
}

Bxi2_Parameter* Bxi2_GetNextParameter(void) {
    return SkipPredefined(Bxi2_I_GetNextParameter(gCurrentList));
}

Bxi2_Parameter* Bxi2_DeleteCurrentParameter(void) {
    if (gCurrentList == NULL || CGenListIterAtEnd(&gCurrentList->iterator)) {
        return NULL;
    }
    gCurrentList->iterator = CGenListErase(&gCurrentList->list, gCurrentList->iterator);
    return SkipPredefined(AtIterator(gCurrentList));
}

/* ------------------------------------------------------------------------ */
/* Tokens                                                                   */
/* ------------------------------------------------------------------------ */

/* Assigns the bytes [start, end) to out: 1 or 0. */
static int AssignRange(CGenStr* out, const char* start, const char* end) {
    CGenStrClear(out);
    for (const char* c = start; c < end; ++c) {
        if (!CGenStrCatC(out, *c)) {
            return 0;
        }
    }
    return 1;
}

int ParseParamValidToken(const char* token, int* isParam, CGenStr* id, CGenStr* value) {
    if (token == NULL || isParam == NULL || id == NULL || value == NULL) {
        return 0;
    }
    *isParam = 0;
    const char* equals = strchr(token, '=');
    if (equals == NULL || (size_t)(equals - token) != strlen(kParamKeyword) ||
        strncasecmp(token, kParamKeyword, strlen(kParamKeyword)) != 0) {
        return 1;
    }
    const char* right = equals + 1;
    const char* comma = strchr(right, ',');
    const char* idEnd = comma != NULL ? comma : right + strlen(right);
    if (!AssignRange(id, right, idEnd) ||
        !CGenStrAssignChar(value, comma != NULL ? comma + 1 : "")) {
        return 0;
    }
    *isParam = 1;
    return 1;
}

int AddParamToParamListFromTokenStrings(Bxi2_ParamList* list, const char* id, const char* value) {
    Bxi2_Parameter* parameter = Bxi2_CreateParameter();
    if (parameter == NULL) {
        return 0;
    }
    if (!Bxi2_SetParameterId(parameter, id) || !Bxi2_SetParameterValFromStr(parameter, value)) {
        Bxi2_DestructParameter(parameter);
        free(parameter);
        return 0;
    }
    return Bxi2_AddParameter(list, parameter);
}

int AddParamToParamListFromTokenC_Str(Bxi2_ParamList* list, const char* token) {
    CGenStr id;
    CGenStr value;
    if (!CGenStrInit(&id)) {
        return 0;
    }
    if (!CGenStrInit(&value)) {
        CGenStrDelete(&id);
        return 0;
    }
    int isParam = 0;
    int ok = ParseParamValidToken(token, &isParam, &id, &value);
    if (ok && isParam && !CGenStrIsEmpty(&id)) {
        VTRACE(VELK_TRACE_PV, "AddParamToParamListFromToken: %s = %s\n", CGenStrC_Str(&id),
               CGenStrC_Str(&value));
        ok = AddParamToParamListFromTokenStrings(list, CGenStrC_Str(&id), CGenStrC_Str(&value));
    }
    CGenStrDelete(&value);
    CGenStrDelete(&id);
    return ok;
}

int AddParamToParamListFromToken(Bxi2_ParamList* list, const CGenStr* token) {
    return token != NULL && AddParamToParamListFromTokenC_Str(list, CGenStrC_Str(token));
}

int AssignParamListFromC_Str(Bxi2_ParamList* list, const char* text) {
    if (list == NULL || text == NULL) {
        return 0;
    }
    CGenStr token;
    if (!CGenStrInit(&token)) {
        return 0;
    }
    int ok = 1;
    const char* at = text;
    while (ok && *at != '\0') {
        const char* colon = strchr(at, ':');
        const char* end = colon != NULL ? colon : at + strlen(at);
        ok = AssignRange(&token, at, end) && AddParamToParamListFromToken(list, &token);
        at = colon != NULL ? colon + 1 : end;
    }
    CGenStrDelete(&token);
    return ok;
}

int AssignParamListFromStr(Bxi2_ParamList* list, const CGenStr* text) {
    return text != NULL && AssignParamListFromC_Str(list, CGenStrC_Str(text));
}

int GetParamsFromCommandLine(int argc, char** argv, Bxi2_ParamList* list) {
    for (int i = 0; argv != NULL && i < argc; ++i) {
        if (argv[i] != NULL && strncmp(argv[i], kParamArgument, strlen(kParamArgument)) == 0 &&
            !AddParamToParamListFromTokenC_Str(list, argv[i])) {
            return 0;
        }
    }
    return 1;
}

/* ------------------------------------------------------------------------ */
/* The predefined percentage parameter                                      */
/* ------------------------------------------------------------------------ */

int ProcessPredefinedParameters(Bxi2_ParamList* list, float* percent) {
    int ok = 1;
    for (Bxi2_Parameter* parameter = Bxi2_I_GetFirstParameter(list); parameter != NULL;
         parameter = Bxi2_I_GetNextParameter(list)) {
        if (!IsPredefined(parameter)) {
            continue;
        }
        if (!Bxi2_SetParameterMinValFromFloat(parameter, kMinPercentage) ||
            !Bxi2_SetParameterMaxValFromFloat(parameter, kMaxPercentage)) {
            return 0;
        }
        float value = Bxi2_GetParameterValAsFloat(parameter);
        if (isnan(value)) {
            Bxi2_SetParameterValidFlag(parameter, VELK_PARAM_VALUE_BAD);
            ok = 0;
        } else if (value <= kMinPercentage) {
            Bxi2_SetParameterValidFlag(parameter, VELK_PARAM_VALUE_TOO_SMALL);
            ok = 0;
        } else if (value > kMaxPercentage) {
            Bxi2_SetParameterValidFlag(parameter, VELK_PARAM_VALUE_TOO_BIG);
            ok = 0;
        } else if (percent != NULL) {
            *percent = value;
        }
    }
    return ok;
}
