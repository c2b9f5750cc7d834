/* The device list as the engine enumerated it: fetched once in run,
 * validate and sysinfo modes, parsed from the engine's COMPONENT elements;
 * and the whole-machine lists for tools.
 *
 * Reply format read here: the DATA element of the engine's reply holds one
 * COMPONENT element per module device, whose content is the DEVICE element
 * of the module's enumeration reply:
 *
 *   <COMPONENT><DEVICE><DID>1</DID><NAME>..</NAME>...<TESTS_SUPPORTED>*
 *   </TESTS_SUPPORTED></DEVICE></COMPONENT>
 *
 * A COMPONENT may hold several DEVICE elements; one without any DEVICE
 * element is read as the fields of one device. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "bxi2-internal.h"
#include "client-messaging-engine.h"
#include "message-protocol.h"
#include "test-common.h"
#include "tracing.h"

enum {
    kListTimeoutMs = 5000,
    kSysInfoTimeoutMs = 15000,
    kCommandSize = 512,
    kShortNameSize = 256,
};

typedef enum DeviceListState {
    kNotFetched = 0,
    kReady = 1,
    kFetching = 2,
} DeviceListState;

static DeviceListState gListState = kNotFetched;
static CGenListIter gDeviceIterator;

static const char kComponentPath[] = "MSG/DATA/COMPONENT";

void Bxi2_I_ForgetDeviceIterator(void) {
    gDeviceIterator = NULL;
}

/* ------------------------------------------------------------------------ */
/* Parsing                                                                  */
/* ------------------------------------------------------------------------ */

/* The content of the skip-th outermost element name of text into value; 1
 * when it is there. */
static int ReadField(const char* text, const char* name, int skip, CGenStr* value) {
    return VelkXmlGetFieldStr(text, name, skip, value) == 0;
}

/* A text field, "" when missing. */
static const char* FieldOrEmpty(const char* text, const char* name, CGenStr* value) {
    if (!ReadField(text, name, 0, value)) {
        CGenStrClear(value);
    }
    return CGenStrC_Str(value);
}

static void ParseFru(const char* text, Bxi2_Device* device) {
    CGenStr fields[6];
    static const char* const kNames[6] = {"FRU_MANUFACTURER", "FRU_MODELNUMBER",
                                          "FRU_SERIALNUMBER", "FRU_FIRMWAREREV",
                                          "FRU_FIRMWAREDATE", "FRU_PHYSADDRESS"};
    int present = 0;
    for (int i = 0; i < 6; ++i) {
        VELK_VERIFY(CGenStrInit(&fields[i]));
        if (ReadField(text, kNames[i], 0, &fields[i])) {
            present = 1;
        }
    }
    if (present) {
        Bxi2_AddFruToDevice(device, CGenStrC_Str(&fields[0]), CGenStrC_Str(&fields[1]),
                            CGenStrC_Str(&fields[2]), CGenStrC_Str(&fields[3]),
                            CGenStrC_Str(&fields[4]), CGenStrC_Str(&fields[5]));
    }
    /* The k-th description and value belong to the k-th field. */
    for (int k = 0; ReadField(text, "FRU_ADDINFO_FIELD", k, &fields[0]); ++k) {
        if (!ReadField(text, "FRU_ADDINFO_DESC", k, &fields[1])) {
            CGenStrClear(&fields[1]);
        }
        if (!ReadField(text, "FRU_ADDINFO_VALUE", k, &fields[2])) {
            CGenStrClear(&fields[2]);
        }
        Bxi2_AddFruAdditionalInfoToDevice(device, CGenStrC_Str(&fields[0]),
                                          CGenStrC_Str(&fields[1]), CGenStrC_Str(&fields[2]));
    }
    for (int i = 0; i < 6; ++i) {
        CGenStrDelete(&fields[i]);
    }
}

/* One device from the fields of a DEVICE element; NULL without DID or
 * memory. */
static Bxi2_Device* ParseDevice(const char* text) {
    CGenStr did, name, description, osLocator, hwLocator, devType, busType, tests;
    CGenStr* all[] = {&did,       &name,    &description, &osLocator,
                      &hwLocator, &devType, &busType,     &tests};
    for (size_t i = 0; i < sizeof all / sizeof all[0]; ++i) {
        VELK_VERIFY(CGenStrInit(all[i]));
    }
    Bxi2_Device* device = NULL;
    if (ReadField(text, "DID", 0, &did)) {
        device = Bxi2_I_NewDeviceRecord(
            (uint32_t)strtoul(CGenStrC_Str(&did), NULL, 10), FieldOrEmpty(text, "NAME", &name),
            FieldOrEmpty(text, "DESCRIPTION", &description),
            FieldOrEmpty(text, "OSLOCATOR", &osLocator),
            FieldOrEmpty(text, "HWLOCATOR", &hwLocator), FieldOrEmpty(text, "DEVTYPE", &devType),
            FieldOrEmpty(text, "BUSTYPE", &busType));
    }
    if (device != NULL) {
        if (ReadField(text, "TESTS_SUPPORTED", 0, &tests)) {
            Bxi2_AddTestsToDevice(device, CGenStrC_Str(&tests));
        }
        ParseFru(text, device);
    }
    for (size_t i = 0; i < sizeof all / sizeof all[0]; ++i) {
        CGenStrDelete(all[i]);
    }
    return device;
}

static int AppendParsedDevice(const char* text, CGenList* list, int index) {
    Bxi2_Device* device = ParseDevice(text);
    if (device == NULL) {
        return 0;
    }
    VTRACE(VELK_TRACE_DIAG, "VelkDiagGetDeviceList-Add: %i=%s / %i / %s / %s / %s / %s\n", index,
           device->name, (int)device->did, device->osLocator, device->hwLocator, device->devType,
           device->busType);
    if (!CGenListPushBack(list, device)) {
        Bxi2_I_FreeDeviceRecord(device);
        return 0;
    }
    return 1;
}

int VelkParseModuleDeviceList(const char* component, CGenList* list) {
    if (component == NULL || list == NULL) {
        return 0;
    }
    VTRACE(VELK_TRACE_DIAG, "VelkDiagGetDeviceList:parsing\n");
    CGenStr device;
    VELK_VERIFY(CGenStrInit(&device));
    int added = 0;
    int index = 0;
    while (ReadField(component, "DEVICE", index, &device)) {
        added += AppendParsedDevice(CGenStrC_Str(&device), list, index);
        ++index;
    }
    if (index == 0) {
        added += AppendParsedDevice(component, list, 0);
    }
    CGenStrDelete(&device);
    VTRACE(VELK_TRACE_DIAG, "VelkDiagGetDeviceList:Added: %d\n", added);
    return added;
}

/* ------------------------------------------------------------------------ */
/* The module's list from the engine                                        */
/* ------------------------------------------------------------------------ */

/* Sends the diagnostic-engine command and waits for its reply: 0, 3 when the
 * command cannot be built, 4 without a reply. */
static int EngineRequest(const char* command, int timeoutMs, CGenStr* reply) {
    CGenStr message;
    VELK_VERIFY(CGenStrInit(&message));
    int result = 0;
    if (VelkClientCreateDiagnosticEngineCommandStr(command, NULL, &message) != 0) {
        result = 3;
    } else if (VelkClientSendTransactionStr(CGenStrC_Str(&message), reply, timeoutMs, 0) != 0) {
        result = 4;
    }
    CGenStrDelete(&message);
    return result;
}

/* Appends the devices of every COMPONENT of reply to list, printing each
 * COMPONENT when print is set. */
static void ParseReply(const char* reply, CGenList* list, int print) {
    CGenStr component;
    VELK_VERIFY(CGenStrInit(&component));
    for (int c = 0; VelkXmlGetFieldStr(reply, kComponentPath, c, &component) == 0; ++c) {
        if (print) {
            printf("\n%s\n\n", CGenStrC_Str(&component));
        }
        VelkParseModuleDeviceList(CGenStrC_Str(&component), list);
    }
    CGenStrDelete(&component);
}

static void FetchModuleDevices(int sysinfo) {
    char shortName[kShortNameSize];
    Bxi2_I_CutAtFirstDot(Bxi2_I_OwnModuleName(), 0, shortName, sizeof shortName);
    char command[kCommandSize];
    snprintf(command, sizeof command, "%s:%s", sysinfo ? "LIST_SYSINFO_DEVICES" : "LIST_DEVICES",
             shortName);
    CGenStr reply;
    VELK_VERIFY(CGenStrInit(&reply));
    CGenList* list = Bxi2_I_EnsureEnumerationList();
    if (EngineRequest(command, kListTimeoutMs, &reply) != 0) {
        VTRACE(VELK_TRACE_DIAG, "RequestDeList:No response.\n");
    } else {
        ParseReply(CGenStrC_Str(&reply), list, 0);
    }
    CGenStrDelete(&reply);
}

static Bxi2_Device* CurrentDevice(void) {
    if (gDeviceIterator == NULL || CGenListIterAtEnd(&gDeviceIterator)) {
        return NULL;
    }
    return CGenListIterGetData(&gDeviceIterator);
}

Bxi2_Device* Bxi2_GetFirstDevice(int sysinfo) {
    if (g_Bxi2.mode == BXI2_MODE_ENUMERATE) {
        gListState = kReady;
    } else if (gListState == kNotFetched) {
        gListState = kFetching;
        FetchModuleDevices(sysinfo);
        gListState = kReady;
    }
    CGenList* list = Bxi2_I_EnumerationList();
    if (list == NULL) {
        gDeviceIterator = NULL;
        return NULL;
    }
    CGenListIterInit(&gDeviceIterator, list);
    return CurrentDevice();
}

Bxi2_Device* Bxi2_GetNextDevice(void) {
    if (gDeviceIterator == NULL || CGenListIterAtEnd(&gDeviceIterator)) {
        return NULL;
    }
    CGenListIterAdv(&gDeviceIterator);
    return CurrentDevice();
}

Bxi2_Device* Bxi2_I_FindDeviceById(int deviceId) {
    for (Bxi2_Device* device = Bxi2_GetFirstDevice(0); device != NULL;
         device = Bxi2_GetNextDevice()) {
        if (Bxi2_GetDeviceId(device) == (int64_t)deviceId) {
            return device;
        }
    }
    return NULL;
}

/* ------------------------------------------------------------------------ */
/* Whole-machine lists                                                      */
/* ------------------------------------------------------------------------ */

int Bxi2_I_GetXMLDeviceList(CGenStr* reply) {
    if (reply == NULL) {
        return 1;
    }
    return EngineRequest("LIST_DEVICES", kListTimeoutMs, reply);
}

int Bxi2_I_GetAllDevicesList(CGenList* list) {
    if (list == NULL) {
        return 1;
    }
    CGenStr reply;
    VELK_VERIFY(CGenStrInit(&reply));
    int result = Bxi2_I_GetXMLDeviceList(&reply);
    if (result == 4) {
        VTRACE(VELK_TRACE_DIAG, "RequestDeList:No response.\n");
    } else if (result == 0) {
        ParseReply(CGenStrC_Str(&reply), list, 1);
    }
    CGenStrDelete(&reply);
    return result;
}

/* Appends one device with the engine's system information for it. */
static void AppendDeviceSysInfo(const char* deviceText, const char* hwLocator, CGenStr* out) {
    char command[kCommandSize];
    snprintf(command, sizeof command, "%s:%s", "SYSINFO", hwLocator);
    CGenStr reply;
    CGenStr info;
    VELK_VERIFY(CGenStrInit(&reply));
    VELK_VERIFY(CGenStrInit(&info));
    VELK_VERIFY(CGenStrCatChar(out, "<DEVICE>") && CGenStrCatChar(out, deviceText));
    if (EngineRequest(command, kSysInfoTimeoutMs, &reply) == 0 &&
        VelkXmlGetFieldStr(CGenStrC_Str(&reply), "MSG/DATA/DEVICE", 0, &info) == 0) {
        VELK_VERIFY(CGenStrCatStr(out, &info));
    }
    VELK_VERIFY(CGenStrCatChar(out, "</DEVICE>"));
    CGenStrDelete(&info);
    CGenStrDelete(&reply);
}

int Bxi2_I_GetSysInfo(CGenStr* out) {
    if (out == NULL) {
        return 1;
    }
    if (Bxi2_CheckForStop()) {
        return -1;
    }
    CGenStr reply, component, device, hwLocator;
    VELK_VERIFY(CGenStrInit(&reply) && CGenStrInit(&component) && CGenStrInit(&device) &&
                CGenStrInit(&hwLocator));
    int result = Bxi2_I_GetXMLDeviceList(&reply);
    if (result == 0) {
        VELK_VERIFY(CGenStrAssignChar(out, "<DEVICELIST>"));
        for (int c = 0; result == 0 && VelkXmlGetFieldStr(CGenStrC_Str(&reply), kComponentPath, c,
                                                          &component) == 0;
             ++c) {
            for (int d = 0;
                 result == 0 && ReadField(CGenStrC_Str(&component), "DEVICE", d, &device); ++d) {
                if (!ReadField(CGenStrC_Str(&device), "HWLOCATOR", 0, &hwLocator)) {
                    continue;
                }
                if (Bxi2_CheckForStop()) {
                    result = -1;
                    break;
                }
                AppendDeviceSysInfo(CGenStrC_Str(&device), CGenStrC_Str(&hwLocator), out);
            }
        }
        if (result == 0) {
            VELK_VERIFY(CGenStrCatChar(out, "</DEVICELIST>"));
        }
    }
    CGenStrDelete(&hwLocator);
    CGenStrDelete(&device);
    CGenStrDelete(&component);
    CGenStrDelete(&reply);
    return result;
}
