/* The enumeration reply (the module's devices, enumerate mode) and the
 * system-information reply (sysinfo mode). */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "bxi2-internal.h"
#include "client-fifo-access.h"
#include "message-protocol.h"
#include "test-common.h"
#include "tracing.h"

enum { kHeaderSize = 150 };

static const char kEnumDataType[] = "DE_ENUMDATA";
static const char kSysInfoType[] = "SYSINFO_RETURNED";
static const char kProcessedKey[] = "**PROCESSED**";

/* ------------------------------------------------------------------------ */
/* Enumeration reply                                                        */
/* ------------------------------------------------------------------------ */

/* The FRU text of a record ("" without FRU data).  1, or 0 when memory runs
 * out. */
static int BuildFruText(Bxi2_Device* device, CGenStr* fruText) {
    CGenStrClear(fruText);
    Bxi2_Fru* fru = device->fru;
    if (fru == NULL) {
        return 1;
    }
    CGenStr additional;
    if (!CGenStrInit(&additional)) {
        return 0;
    }
    int ok = 1;
    for (Bxi2_FruAdditionalInfo* info = Bxi2_GetFirstFruAdditionalInfo(fru); ok && info != NULL;
         info = Bxi2_GetNextFruAdditionalInfo(fru)) {
        ok = CGenStrCatf(&additional,
                         "<FRU_ADDINFO_FIELD>%s</FRU_ADDINFO_FIELD><FRU_ADDINFO_DESC>%s</"
                         "FRU_ADDINFO_DESC><FRU_ADDINFO_VALUE>%s</FRU_ADDINFO_VALUE>",
                         info->field, info->description, info->value);
    }
    ok = ok && CGenStrSprintf(
                   fruText,
                   "<FRU_MANUFACTURER>%s</FRU_MANUFACTURER><FRU_MODELNUMBER>%s</"
                   "FRU_MODELNUMBER><FRU_SERIALNUMBER>%s</FRU_SERIALNUMBER><FRU_FIRMWAREREV>%"
                   "s</FRU_FIRMWAREREV><FRU_FIRMWAREDATE>%s</FRU_FIRMWAREDATE><FRU_PHYSADDRESS>"
                   "%s</FRU_PHYSADDRESS>%s",
                   fru->manufacturer, fru->modelNumber, fru->serialNumber, fru->firmwareRevision,
                   fru->firmwareDate, fru->physicalAddress, CGenStrC_Str(&additional)) >= 0;
    CGenStrDelete(&additional);
    return ok;
}

static int AppendEnumDevice(Bxi2_Device* device, CGenStr* fruText, CGenStr* data) {
    if (!BuildFruText(device, fruText)) {
        VTRACE(VELK_TRACE_DIAG, "Bxi2_SendEnumIno:outofmem2\n");
        return BXI2_E_NO_MEMORY;
    }
    if (!CGenStrCatf(data,
                     "<DEVICE><DID>%u</DID><NAME>%s</NAME><DESCRIPTION>%s</"
                     "DESCRIPTION><OSLOCATOR>%s</OSLOCATOR><HWLOCATOR>%s</HWLOCATOR><DEVTYPE>%s</"
                     "DEVTYPE><BUSTYPE>%s</BUSTYPE>%s<TESTS_SUPPORTED>%s</TESTS_SUPPORTED></"
                     "DEVICE>",
                     device->did, device->name, device->description, device->osLocator,
                     device->hwLocator, device->devType, device->busType, CGenStrC_Str(fruText),
                     device->testsSupported)) {
        VTRACE(VELK_TRACE_DIAG, "Bxi2_SendEnumInfo:outofmem3\n");
        return BXI2_E_NO_MEMORY;
    }
    return BXI2_OK;
}

int Bxi2_I_BuildEnumData(CGenStr* data) {
    if (!CGenStrAssignChar(data, "<DATA>")) {
        VTRACE(VELK_TRACE_DIAG, "Bxi2_SendEnumInfo:outofmem1\n");
        return BXI2_E_NO_MEMORY;
    }
    CGenStr fruText;
    if (!CGenStrInit(&fruText)) {
        VTRACE(VELK_TRACE_DIAG, "Bxi2_SendEnumInfo:outofmem1\n");
        return BXI2_E_NO_MEMORY;
    }
    int result = BXI2_OK;
    CGenList* registered = Bxi2_I_EnumerationList();
    if (registered != NULL) {
        CGenListIter it;
        for (CGenListIterInit(&it, registered); result == BXI2_OK && !CGenListIterAtEnd(&it);
             CGenListIterAdv(&it)) {
            result = AppendEnumDevice(CGenListIterGetData(&it), &fruText, data);
        }
    }
    CGenStrDelete(&fruText);
    if (result == BXI2_OK && !CGenStrCatChar(data, "</DATA>")) {
        VTRACE(VELK_TRACE_DIAG, "Bxi2_SendEnumInfo:outofmem4\n");
        result = BXI2_E_NO_MEMORY;
    }
    return result;
}

/* Wraps data under header into a message and sends it: 0, 27 or 24. */
static int SendWrapped(const char* header, const char* data, const char* traceFormat) {
    CGenStr message;
    if (!CGenStrInit(&message)) {
        return BXI2_E_NO_MEMORY;
    }
    VelkCreateMessageStr(&message, VELK_MSG_TAG_MSG, header, data, NULL);
    VTRACE(VELK_TRACE_DIAG, traceFormat, CGenStrC_Str(&message));
    int result = VelkClientSendMessage(CGenStrC_Str(&message)) == 0 ? BXI2_OK : BXI2_E_COMMS;
    CGenStrDelete(&message);
    return result;
}

int Bxi2_SendEnumInfo(void) {
    CGenStr data;
    if (!CGenStrInit(&data)) {
        VTRACE(VELK_TRACE_DIAG, "Bxi2_SendEnumInfo:outofmem1\n");
        return BXI2_E_NO_MEMORY;
    }
    int result = Bxi2_I_BuildEnumData(&data);
    char header[kHeaderSize];
    if (result == BXI2_OK && VelkCreateMessageHeader(header, sizeof header, VELK_MSG_TO_DIAGENGINE,
                                                     NULL, kEnumDataType, NULL) != 0) {
        VTRACE(VELK_TRACE_DIAG, "Bxi2_SendEnumInfo:createheader failed\n");
        result = BXI2_E_HEADER;
    }
    if (result == BXI2_OK) {
        result = SendWrapped(header, CGenStrC_Str(&data), "SendEnumInfo: %s\n");
    }
    CGenStrDelete(&data);
    return result;
}

/* ------------------------------------------------------------------------ */
/* System-information reply                                                 */
/* ------------------------------------------------------------------------ */

/* The SYSINFO elements of a record's chain; entries with a key met before
 * are folded into the first one's element and marked processed. */
static void BuildSysInfoText(Bxi2_Device* device, CGenStr* text) {
    CGenStrClear(text);
    for (Bxi2_SysInfo* entry = device->sysInfo; entry != NULL; entry = entry->next) {
        if (strcmp(entry->key, kProcessedKey) == 0) {
            continue;
        }
        VELK_VERIFY(CGenStrCatf(text,
                                "<SYSINFO><SYSINFO_DESCRIPTION>%s</"
                                "SYSINFO_DESCRIPTION><SYSINFO_KEY>%s</SYSINFO_KEY>",
                                entry->description, entry->key));
        VELK_VERIFY(CGenStrCatf(text, "<SYSINFO_VALUE>%s</SYSINFO_VALUE>", entry->value));
        for (Bxi2_SysInfo* later = entry->next; later != NULL; later = later->next) {
            if (strcmp(later->key, entry->key) == 0) {
                VELK_VERIFY(CGenStrCatf(text, "<SYSINFO_VALUE>%s</SYSINFO_VALUE>", later->value));
                VELK_VERIFY(Bxi2_I_ReplaceText(&later->key, kProcessedKey));
            }
        }
        VELK_VERIFY(CGenStrCatChar(text, "</SYSINFO>"));
    }
}

int Bxi2_I_BuildSysInfoData(const char* moduleName, const char* destination, const char* hwLocator,
                            CGenStr* data) {
    VELK_VERIFY(CGenStrAssignChar(data, "<DATA>"));
    CGenStr sysInfoText;
    VELK_VERIFY(CGenStrInit(&sysInfoText));
    CGenList* registered = Bxi2_I_EnumerationList();
    if (registered != NULL && hwLocator != NULL) {
        CGenListIter it;
        for (CGenListIterInit(&it, registered); !CGenListIterAtEnd(&it); CGenListIterAdv(&it)) {
            Bxi2_Device* device = CGenListIterGetData(&it);
            if (strcmp(device->hwLocator, hwLocator) != 0) {
                continue;
            }
            BuildSysInfoText(device, &sysInfoText);
            VELK_VERIFY(CGenStrCatf(
                data,
                "<DEVICE><TO>%s</TO><MODULE_NAME>%s</MODULE_NAME><DID>%u</DID><NAME>%s</"
                "NAME><DESCRIPTION>%s</DESCRIPTION><OSLOCATOR>%s</OSLOCATOR><HWLOCATOR>%s</"
                "HWLOCATOR><DEVTYPE>%s</DEVTYPE><BUSTYPE>%s</BUSTYPE>%s</DEVICE>",
                destination != NULL ? destination : "", moduleName != NULL ? moduleName : "",
                device->did, device->name, device->description, device->osLocator,
                device->hwLocator, device->devType, device->busType, CGenStrC_Str(&sysInfoText)));
        }
    }
    CGenStrDelete(&sysInfoText);
    VELK_VERIFY(CGenStrCatChar(data, "</DATA>"));
    return BXI2_OK;
}

int Bxi2_SendSysInfo(const char* moduleName, const char* destination, const char* replyTo,
                     const char* hwLocator) {
    CGenStr data;
    VELK_VERIFY(CGenStrInit(&data));
    Bxi2_I_BuildSysInfoData(moduleName, destination, hwLocator, &data);
    char header[kHeaderSize];
    int result = BXI2_OK;
    if (VelkCreateMessageHeader(header, sizeof header, VELK_MSG_TO_DIAGENGINE,
                                replyTo != NULL ? replyTo : "", kSysInfoType, NULL) != 0) {
        result = BXI2_E_HEADER;
    } else {
        result = SendWrapped(header, CGenStrC_Str(&data), "SendSysInfo: %s\n");
    }
    CGenStrDelete(&data);
    return result;
}
