/* Device records: their lists, FRU data, system information and getters. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "bxi2-internal.h"
#include "tracing.h"

/* Records created and not yet registered (not owned: they are freed one by
 * one), and the registered records (owned). */
static CGenList gUnregistered;
static CGenList gRegistered;

/* ------------------------------------------------------------------------ */
/* Records                                                                  */
/* ------------------------------------------------------------------------ */

/* A copy of text, "" for NULL; NULL when memory runs out. */
static char* CopyText(const char* text) {
    return strdup(text != NULL ? text : "");
}

int Bxi2_I_ReplaceText(char** field, const char* text) {
    char* copy = CopyText(text);
    if (copy == NULL) {
        return 0;
    }
    free(*field);
    *field = copy;
    return 1;
}

static void FreeAdditionalInfoTexts(void* data) {
    Bxi2_FruAdditionalInfo* info = data;
    free(info->field);
    free(info->description);
    free(info->value);
}

static void FreeFru(Bxi2_Fru* fru) {
    if (fru == NULL) {
        return;
    }
    free(fru->manufacturer);
    free(fru->modelNumber);
    free(fru->serialNumber);
    free(fru->firmwareRevision);
    free(fru->firmwareDate);
    free(fru->physicalAddress);
    if (fru->additionalInfo != NULL) {
        CGenListDestruct(fru->additionalInfo);
        free(fru->additionalInfo);
    }
    free(fru);
}

static void FreeSysInfoChain(Bxi2_SysInfo* entry) {
    while (entry != NULL) {
        Bxi2_SysInfo* next = entry->next;
        free(entry->key);
        free(entry->value);
        free(entry->description);
        free(entry);
        entry = next;
    }
}

void Bxi2_I_DestroyDeviceRecord(void* data) {
    Bxi2_Device* device = data;
    if (device == NULL) {
        return;
    }
    free(device->name);
    free(device->description);
    free(device->osLocator);
    free(device->hwLocator);
    free(device->devType);
    free(device->busType);
    free(device->testsSupported);
    FreeFru(device->fru);
    FreeSysInfoChain(device->sysInfo);
    memset(device, 0, sizeof *device);
}

void Bxi2_I_FreeDeviceRecord(Bxi2_Device* device) {
    Bxi2_I_DestroyDeviceRecord(device);
    free(device);
}

Bxi2_Device* Bxi2_I_NewDeviceRecord(uint32_t did, const char* name, const char* description,
                                    const char* osLocator, const char* hwLocator,
                                    const char* devType, const char* busType) {
    Bxi2_Device* device = calloc(1, sizeof *device);
    if (device == NULL) {
        return NULL;
    }
    device->did = did;
    device->name = CopyText(name);
    device->description = CopyText(description);
    device->osLocator = CopyText(osLocator);
    device->hwLocator = CopyText(hwLocator);
    device->devType = CopyText(devType);
    device->busType = CopyText(busType);
    device->testsSupported = CopyText("*");
    if (device->name == NULL || device->description == NULL || device->osLocator == NULL ||
        device->hwLocator == NULL || device->devType == NULL || device->busType == NULL ||
        device->testsSupported == NULL) {
        Bxi2_I_FreeDeviceRecord(device);
        return NULL;
    }
    return device;
}

/* ------------------------------------------------------------------------ */
/* The two lists                                                            */
/* ------------------------------------------------------------------------ */

static int SameRecord(const void* data, const void* key) {
    return data == key ? 0 : 1;
}

/* The node of device in list, or NULL. */
static CGenListIter FindRecord(CGenList* list, const Bxi2_Device* device) {
    if (list->pHead == NULL) {
        return NULL;
    }
    CGenListIter it = CGenListFind(list, SameRecord, device);
    return CGenListIterAtEnd(&it) ? NULL : it;
}

int Bxi2_I_KeepNewRecord(Bxi2_Device* device, Bxi2_Device** out) {
    if (gUnregistered.pHead == NULL) {
        CGenListConstruct(&gUnregistered, 0, NULL);
    }
    if (!CGenListPushBack(&gUnregistered, device)) {
        Bxi2_I_FreeDeviceRecord(device);
        return BXI2_E_NO_MEMORY;
    }
    VTRACE(VELK_TRACE_DIAG, "Added device %p\n", (void*)device);
    if (out != NULL) {
        *out = device;
    }
    return BXI2_OK;
}

CGenList* Bxi2_I_EnumerationList(void) {
    return gRegistered.pHead == NULL ? NULL : &gRegistered;
}

CGenList* Bxi2_I_EnsureEnumerationList(void) {
    if (gRegistered.pHead == NULL) {
        CGenListConstruct(&gRegistered, 1, Bxi2_I_DestroyDeviceRecord);
    }
    return &gRegistered;
}

uint32_t Bxi2_I_UnregisteredCount(void) {
    return CGenListGetCount(&gUnregistered);
}

int Bxi2_AddDevice(Bxi2_Device* device) {
    if (device == NULL) {
        return BXI2_E_BAD_ARGUMENT;
    }
    CGenList* registered = Bxi2_I_EnsureEnumerationList();
    if (FindRecord(registered, device) != NULL) {
        return BXI2_OK;
    }
    if (!CGenListPushBack(registered, device)) {
        return BXI2_E_NO_MEMORY;
    }
    CGenListIter node = FindRecord(&gUnregistered, device);
    if (node != NULL) {
        CGenListErase(&gUnregistered, node);
    }
    return BXI2_OK;
}

void Bxi2_KillDeviceList(void) {
    if (gRegistered.pHead != NULL) {
        CGenListClear(&gRegistered);
    }
    if (gUnregistered.pHead != NULL) {
        CGenListIter it;
        for (CGenListIterInit(&it, &gUnregistered); !CGenListIterAtEnd(&it); CGenListIterAdv(&it)) {
            Bxi2_I_FreeDeviceRecord(CGenListIterGetData(&it));
        }
        CGenListClear(&gUnregistered);
    }
    Bxi2_I_ForgetDeviceIterator();
}

/* ------------------------------------------------------------------------ */
/* FRU data and system information                                          */
/* ------------------------------------------------------------------------ */

static Bxi2_Fru* NewFru(const char* manufacturer, const char* modelNumber, const char* serialNumber,
                        const char* firmwareRevision, const char* firmwareDate,
                        const char* physicalAddress) {
    Bxi2_Fru* fru = calloc(1, sizeof *fru);
    if (fru == NULL) {
        return NULL;
    }
    fru->size = BXI2_FRU_RECORD_SIZE;
    fru->manufacturer = CopyText(manufacturer);
    fru->modelNumber = CopyText(modelNumber);
    fru->serialNumber = CopyText(serialNumber);
    fru->firmwareRevision = CopyText(firmwareRevision);
    fru->firmwareDate = CopyText(firmwareDate);
    fru->physicalAddress = CopyText(physicalAddress);
    if (fru->manufacturer == NULL || fru->modelNumber == NULL || fru->serialNumber == NULL ||
        fru->firmwareRevision == NULL || fru->firmwareDate == NULL ||
        fru->physicalAddress == NULL) {
        FreeFru(fru);
        return NULL;
    }
    return fru;
}

int Bxi2_AddFruToDevice(Bxi2_Device* device, const char* manufacturer, const char* modelNumber,
                        const char* serialNumber, const char* firmwareRevision,
                        const char* firmwareDate, const char* physicalAddress) {
    if (device == NULL) {
        return BXI2_E_BAD_ARGUMENT;
    }
    Bxi2_Fru* fru = NewFru(manufacturer, modelNumber, serialNumber, firmwareRevision, firmwareDate,
                           physicalAddress);
    if (fru == NULL) {
        return BXI2_E_NO_MEMORY;
    }
    FreeFru(device->fru);
    device->fru = fru;
    return BXI2_OK;
}

int Bxi2_AddFruAdditionalInfoToFru(Bxi2_Fru* fru, const char* field, const char* description,
                                   const char* value) {
    if (fru == NULL) {
        return BXI2_E_BAD_ARGUMENT;
    }
    if (fru->additionalInfo == NULL) {
        CGenList* list = calloc(1, sizeof *list);
        if (list == NULL) {
            return BXI2_E_NO_MEMORY;
        }
        CGenListConstruct(list, 1, FreeAdditionalInfoTexts);
        fru->additionalInfo = list;
    }
    Bxi2_FruAdditionalInfo* info = calloc(1, sizeof *info);
    if (info == NULL) {
        return BXI2_E_NO_MEMORY;
    }
    info->field = CopyText(field);
    info->description = CopyText(description);
    info->value = CopyText(value);
    if (info->field == NULL || info->description == NULL || info->value == NULL ||
        !CGenListPushBack(fru->additionalInfo, info)) {
        FreeAdditionalInfoTexts(info);
        free(info);
        return BXI2_E_NO_MEMORY;
    }
    return BXI2_OK;
}

int Bxi2_AddFruAdditionalInfoToDevice(Bxi2_Device* device, const char* field,
                                      const char* description, const char* value) {
    if (device == NULL) {
        return BXI2_E_BAD_ARGUMENT;
    }
    if (device->fru == NULL) {
        device->fru = NewFru("", "", "", "", "", "");
        if (device->fru == NULL) {
            return BXI2_E_NO_MEMORY;
        }
    }
    return Bxi2_AddFruAdditionalInfoToFru(device->fru, field, description, value);
}

int Bxi2_AddSysInfoToDevice(Bxi2_Device* device, const char* key, const char* value,
                            const char* description) {
    if (device == NULL) {
        return BXI2_E_BAD_ARGUMENT;
    }
    Bxi2_SysInfo* entry = calloc(1, sizeof *entry);
    if (entry == NULL) {
        return BXI2_E_NO_MEMORY;
    }
    entry->key = CopyText(key);
    entry->value = CopyText(value);
    entry->description = CopyText(description);
    if (entry->key == NULL || entry->value == NULL || entry->description == NULL) {
        FreeSysInfoChain(entry);
        return BXI2_E_NO_MEMORY;
    }
    Bxi2_SysInfo** last = &device->sysInfo;
    while (*last != NULL) {
        last = &(*last)->next;
    }
    *last = entry;
    return BXI2_OK;
}

int Bxi2_AddTestsToDevice(Bxi2_Device* device, const char* tests) {
    if (device == NULL) {
        return BXI2_E_BAD_ARGUMENT;
    }
    return Bxi2_I_ReplaceText(&device->testsSupported, tests) ? BXI2_OK : BXI2_E_NO_MEMORY;
}

/* ------------------------------------------------------------------------ */
/* Getters                                                                  */
/* ------------------------------------------------------------------------ */

int64_t Bxi2_GetDeviceId(const Bxi2_Device* device) {
    return device == NULL ? -1 : (int64_t)device->did;
}

const char* Bxi2_GetDeviceName(const Bxi2_Device* device) {
    return device == NULL ? NULL : device->name;
}

const char* Bxi2_GetDeviceDescription(const Bxi2_Device* device) {
    return device == NULL ? NULL : device->description;
}

const char* Bxi2_GetDeviceOsLocator(const Bxi2_Device* device) {
    return device == NULL ? NULL : device->osLocator;
}

const char* Bxi2_GetDeviceHwLocator(const Bxi2_Device* device) {
    return device == NULL ? NULL : device->hwLocator;
}

const char* Bxi2_GetDeviceDevType(const Bxi2_Device* device) {
    return device == NULL ? NULL : device->devType;
}

const char* Bxi2_GetDeviceBusType(const Bxi2_Device* device) {
    return device == NULL ? NULL : device->busType;
}

const char* Bxi2_GetDeviceTestsSupported(const Bxi2_Device* device) {
    return device == NULL ? NULL : device->testsSupported;
}

Bxi2_Fru* Bxi2_GetDeviceFruInfo(const Bxi2_Device* device) {
    return device == NULL ? NULL : device->fru;
}

Bxi2_SysInfo* Bxi2_GetDeviceSysInfo(const Bxi2_Device* device) {
    return device == NULL ? NULL : device->sysInfo;
}

const char* Bxi2_GetFruManufacturer(const Bxi2_Fru* fru) {
    return fru == NULL ? NULL : fru->manufacturer;
}

const char* Bxi2_GetFruModelNumber(const Bxi2_Fru* fru) {
    return fru == NULL ? NULL : fru->modelNumber;
}

const char* Bxi2_GetFruSerialNumber(const Bxi2_Fru* fru) {
    return fru == NULL ? NULL : fru->serialNumber;
}

const char* Bxi2_GetFruFirmwareRevision(const Bxi2_Fru* fru) {
    return fru == NULL ? NULL : fru->firmwareRevision;
}

const char* Bxi2_GetFruFirmwareDate(const Bxi2_Fru* fru) {
    return fru == NULL ? NULL : fru->firmwareDate;
}

const char* Bxi2_GetFruPhysicalAddress(const Bxi2_Fru* fru) {
    return fru == NULL ? NULL : fru->physicalAddress;
}

Bxi2_FruAdditionalInfo* Bxi2_GetFirstFruAdditionalInfo(Bxi2_Fru* fru) {
    if (fru == NULL || fru->additionalInfo == NULL) {
        return NULL;
    }
    CGenListIterInit(&fru->iterator, fru->additionalInfo);
    return CGenListIterAtEnd(&fru->iterator) ? NULL : CGenListIterGetData(&fru->iterator);
}

Bxi2_FruAdditionalInfo* Bxi2_GetNextFruAdditionalInfo(Bxi2_Fru* fru) {
    if (fru == NULL || fru->additionalInfo == NULL || CGenListIterAtEnd(&fru->iterator)) {
        return NULL;
    }
    CGenListIterAdv(&fru->iterator);
    return CGenListIterAtEnd(&fru->iterator) ? NULL : CGenListIterGetData(&fru->iterator);
}

const char* Bxi2_GetFruAdditionalInfoField(const Bxi2_FruAdditionalInfo* info) {
    return info == NULL ? NULL : info->field;
}

const char* Bxi2_GetFruAdditionalInfoDescription(const Bxi2_FruAdditionalInfo* info) {
    return info == NULL ? NULL : info->description;
}

const char* Bxi2_GetFruAdditionalInfoValue(const Bxi2_FruAdditionalInfo* info) {
    return info == NULL ? NULL : info->value;
}

const char* Bxi2_GetSysInfoKey(const Bxi2_SysInfo* entry) {
    return entry == NULL ? NULL : entry->key;
}

const char* Bxi2_GetSysInfoValue(const Bxi2_SysInfo* entry) {
    return entry == NULL ? NULL : entry->value;
}

const char* Bxi2_GetSysInfoDescription(const Bxi2_SysInfo* entry) {
    return entry == NULL ? NULL : entry->description;
}

Bxi2_SysInfo* Bxi2_GetNextSysInfo(const Bxi2_SysInfo* entry) {
    return entry == NULL ? NULL : entry->next;
}
