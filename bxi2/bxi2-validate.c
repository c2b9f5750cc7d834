/* Validate mode: the module checks a set of parameter values for a test and
 * answers the client that asked, with a valid flag (and limits) for each. */
#include <stdlib.h>
#include <string.h>

#include "bxi2-internal.h"
#include "client-fifo-access.h"
#include "message-protocol.h"
#include "param-valid.h"
#include "tracing.h"

enum {
    kAnswerMessageSize = 4096,
    kFieldSize = 4096,
};

static const char kSenderArgument[] = "senderpid=";
static const char kReplyIdArgument[] = "reid=";

int Bxi2_I_GetValidationSender(int argc, char** argv, uint32_t* senderPid, uint32_t* replyId) {
    int haveSender = 0;
    int haveReplyId = 0;
    for (int i = 0; argv != NULL && i < argc; ++i) {
        const char* arg = argv[i];
        if (arg == NULL) {
            continue;
        }
        if (strncmp(arg, kSenderArgument, strlen(kSenderArgument)) == 0) {
            *senderPid = (uint32_t)strtoul(arg + strlen(kSenderArgument), NULL, 10);
            haveSender = 1;
        } else if (strncmp(arg, kReplyIdArgument, strlen(kReplyIdArgument)) == 0) {
            *replyId = (uint32_t)strtoul(arg + strlen(kReplyIdArgument), NULL, 10);
            haveReplyId = 1;
        }
    }
    return haveSender && haveReplyId;
}

int Bxi2_I_BuildValidationResults(Bxi2_ParamList* list, CGenStr* answer) {
    int ok = CGenStrAssignChar(answer, "<PARAM_VALIDATION_RESULTS>");
    for (Bxi2_Parameter* parameter = Bxi2_I_GetFirstParameter(list); ok && parameter != NULL;
         parameter = Bxi2_I_GetNextParameter(list)) {
        ok = CGenStrCatf(answer, "<PARAMETER><ID>%s</ID><VALID_FLAG>%s</VALID_FLAG>",
                         Bxi2_GetParameterId(parameter),
                         ParameterValidFlagToStr(Bxi2_GetParameterValidFlag(parameter)));
        if (ok && Bxi2_GetParameterHasMinVal(parameter)) {
            ok = CGenStrCatf(answer, "<MIN_VALUE>%s</MIN_VALUE>",
                             Bxi2_GetParameterMinValAsStr(parameter));
        }
        if (ok && Bxi2_GetParameterHasMaxVal(parameter)) {
            ok = CGenStrCatf(answer, "<MAX_VALUE>%s</MAX_VALUE>",
                             Bxi2_GetParameterMaxValAsStr(parameter));
        }
        ok = ok && CGenStrCatChar(answer, "</PARAMETER>");
    }
    return ok && CGenStrCatChar(answer, "</PARAM_VALIDATION_RESULTS>");
}

int Bxi2_AssignParameterFromXML(Bxi2_Parameter* parameter, const char* text, int* found) {
    if (parameter == NULL || text == NULL) {
        return 1;
    }
    char* field = malloc(kFieldSize);
    if (field == NULL) {
        return 1;
    }
    if (VelkXmlGetField(text, "ID", 0, field, kFieldSize) != 0) {
        free(field);
        return 1;
    }
    Bxi2_SetParameterId(parameter, field);
    int present = 1;
    if (VelkXmlGetField(text, "VALID_FLAG", 0, field, kFieldSize) == 0) {
        Bxi2_SetParameterValidFlag(parameter, ParameterValidFlagStrToType(field));
    } else {
        present = 0;
    }
    if (VelkXmlGetField(text, "MIN_VALUE", 0, field, kFieldSize) == 0) {
        Bxi2_SetParameterMinValFromStr(parameter, field);
    } else {
        present = 0;
    }
    if (VelkXmlGetField(text, "MAX_VALUE", 0, field, kFieldSize) == 0) {
        Bxi2_SetParameterMaxValFromStr(parameter, field);
    } else {
        present = 0;
    }
    if (present && found != NULL) {
        *found = 1;
    }
    free(field);
    return 0;
}

/* Builds the answer for the sender and sends it: 1 when sent. */
static int SendAnswer(Bxi2_ParamList* list, uint32_t senderPid, uint32_t replyId) {
    CGenStr answer;
    if (!CGenStrInit(&answer)) {
        return 0;
    }
    char* message = malloc(kAnswerMessageSize);
    int sent = message != NULL && Bxi2_I_BuildValidationResults(list, &answer) &&
               VelkClientCreateResponse(senderPid, replyId, CGenStrC_Str(&answer), message,
                                        kAnswerMessageSize) == 0 &&
               VelkClientSendMessage(message) == 0;
    free(message);
    CGenStrDelete(&answer);
    return sent;
}

/* Reads the parameters of the command line and the definitions of test: 1,
 * or 0 when that fails. */
static int FillParameters(Bxi2_ParamList* list, int test, int argc, char** argv) {
    if (!GetParamsFromCommandLine(argc, argv, list)) {
        return 0;
    }
    /* A refused percentage is answered with its flag. */
    ProcessPredefinedParameters(list, &g_Bxi2.percentage);
    return GetParamIniInfo(g_Bxi2.defFile, (uint32_t)test, list);
}

int Bxi2_PerformParamValidate(const char* reference, int test, int device, int argc, char** argv) {
    Bxi2_ValidateCallback validate = (Bxi2_ValidateCallback)Bxi2_I_GetCallback(BXI2_SLOT_VALIDATE);
    if (validate == NULL) {
        return BXI2_E_MODE;
    }
    Bxi2_ParamList list;
    if (!Bxi2_ParamListConstruct(&list)) {
        return BXI2_E_PARAMETERS;
    }
    uint32_t senderPid = 0;
    uint32_t replyId = 0;
    if (!Bxi2_I_GetValidationSender(argc, argv, &senderPid, &replyId) ||
        !FillParameters(&list, test, argc, argv)) {
        Bxi2_ParamListDestruct(&list);
        return BXI2_E_PARAMETERS;
    }
    VTRACE(VELK_TRACE_PV, "trace point 3\n");
    if (Bxi2_StartCommunications(reference) != BXI2_OK) {
        Bxi2_ParamListDestruct(&list);
        return BXI2_E_START_COMMS;
    }
    Bxi2_I_SetCurrentParamList(&list);
    validate(test, Bxi2_I_FindDeviceById(device));
    int sent = SendAnswer(&list, senderPid, replyId);
    Bxi2_StopCommunications();
    Bxi2_I_SetCurrentParamList(NULL);
    Bxi2_ParamListDestruct(&list);
    return sent ? BXI2_OK : BXI2_E_PARAMETERS;
}
