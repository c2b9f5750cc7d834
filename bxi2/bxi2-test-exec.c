/* Test execution requests: "<module>:<test>:<device>[:%<percent>][:<params>]".
 *
 * A test field that starts with '%', or a device field that starts with '%'
 * or 'p', is missing (-1) and is not taken as that field: it starts the
 * percentage or the parameter string.  A fourth field that does not start
 * with '%' is no percentage (100.0) and starts the parameter string, so that
 * "DISK:3:0:param=PASSES,5" keeps its parameter. */
#include <stdlib.h>
#include <string.h>

#include "bxi2-internal.h"

static const float kFullPercentage = 100.0f;

int TestExecRequestConstruct(Bxi2_TestExecRequest* request) {
    if (request == NULL || !CGenStrInit(&request->moduleName)) {
        return 0;
    }
    request->test = -1;
    request->device = -1;
    request->percentage = kFullPercentage;
    return Bxi2_ParamListConstruct(&request->parameters);
}

void TestExecRequestDestruct(Bxi2_TestExecRequest* request) {
    if (request == NULL) {
        return;
    }
    CGenStrDelete(&request->moduleName);
    Bxi2_ParamListDestruct(&request->parameters);
}

const char* TestExecRequestGetModuleName(const Bxi2_TestExecRequest* request) {
    return request == NULL ? NULL : CGenStrC_Str(&request->moduleName);
}

int TestExecRequestSetModuleName(Bxi2_TestExecRequest* request, const char* name) {
    return request != NULL && CGenStrAssignChar(&request->moduleName, name);
}

int32_t TestExecRequestGetTest(const Bxi2_TestExecRequest* request) {
    return request == NULL ? -1 : request->test;
}

void TestExecRequestSetTest(Bxi2_TestExecRequest* request, int32_t test) {
    if (request != NULL) {
        request->test = test;
    }
}

int32_t TestExecRequestGetDevice(const Bxi2_TestExecRequest* request) {
    return request == NULL ? -1 : request->device;
}

void TestExecRequestSetDevice(Bxi2_TestExecRequest* request, int32_t device) {
    if (request != NULL) {
        request->device = device;
    }
}

float TestExecRequestGetPercentage(const Bxi2_TestExecRequest* request) {
    return request == NULL ? kFullPercentage : request->percentage;
}

void TestExecRequestSetPercentage(Bxi2_TestExecRequest* request, float percentage) {
    if (request != NULL) {
        request->percentage = percentage;
    }
}

Bxi2_ParamList* TestExecRequestGetParamList(Bxi2_TestExecRequest* request) {
    return request == NULL ? NULL : &request->parameters;
}

/* The field at *at (up to ':' or the end); moves *at past it and its ':'. */
static size_t TakeField(const char** at) {
    size_t length = strcspn(*at, ":");
    *at += length;
    if (**at == ':') {
        ++*at;
    }
    return length;
}

/* Reads a test or device number at *at: -1 for a missing or empty field,
 * and for one starting with a character of notNumbers, which is left in
 * place for the fields after it. */
static int32_t TakeNumber(const char** at, const char* notNumbers) {
    if (**at == '\0') {
        return -1;
    }
    if (strchr(notNumbers, **at) != NULL) {
        return -1;
    }
    const char* field = *at;
    size_t length = TakeField(at);
    return length == 0 ? -1 : (int32_t)strtol(field, NULL, 10);
}

int AssignTestExecRequestFromStr(Bxi2_TestExecRequest* request, const char* text) {
    if (request == NULL || text == NULL) {
        return 0;
    }
    const char* at = text;
    const char* module = at;
    size_t moduleLength = TakeField(&at);
    CGenStrClear(&request->moduleName);
    for (size_t i = 0; i < moduleLength; ++i) {
        if (!CGenStrCatC(&request->moduleName, module[i])) {
            return 0;
        }
    }
    request->test = TakeNumber(&at, "%");
    request->device = TakeNumber(&at, "%p");
    request->percentage = kFullPercentage;
    if (*at == '%') {
        const char* field = at + 1;
        TakeField(&at);
        request->percentage = (float)strtod(field, NULL);
    }
    return *at == '\0' || AssignParamListFromC_Str(&request->parameters, at);
}
