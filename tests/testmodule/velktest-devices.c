/* The simulated devices of velktest and their system information. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "velktest.h"

/* The module-wide tag buffer is overwritten by the next tag: keep a copy. */
static char* TagCopy(const char* id, const char* number) {
    const char* tag = number != NULL ? Bxi2_NlsTagToTokenVar(id, "NUM", number, (char*)NULL)
                                     : Bxi2_NlsTagToToken(id);
    return strdup(tag != NULL ? tag : id);
}

static int AddHardDrive(uint32_t did, uint32_t position, const char* serial, const char* field,
                        const char* description, const char* value, const char* tests) {
    char number[16];
    char osLocator[32];
    snprintf(number, sizeof number, "%u", position);
    snprintf(osLocator, sizeof osLocator, "/dev/velktest%u", position);
    char* name = TagCopy("szDevHardDrive", number);
    char* text = TagCopy("szDevHardDriveDescription", NULL);
    Bxi2_Device* device = NULL;
    int result = name != NULL && text != NULL
                     ? Bxi2_CreateDeviceIDE("HD", did, name, osLocator, text, 0, position, &device)
                     : BXI2_E_NO_MEMORY;
    free(name);
    free(text);
    if (result != BXI2_OK) {
        return result;
    }
    Bxi2_AddFruToDevice(device, "Velkor", "VT-1000", serial, "1.0", "2024-01-01",
                        Bxi2_GetDeviceHwLocator(device));
    Bxi2_AddFruAdditionalInfoToDevice(device, field, description, value);
    Bxi2_AddTestsToDevice(device, tests);
    return Bxi2_AddDevice(device);
}

static int AddProcessor(uint32_t did) {
    char* name = TagCopy("szDevCpu", "0");
    char* text = TagCopy("szDevCpuDescription", NULL);
    Bxi2_Device* device = NULL;
    int result = name != NULL && text != NULL
                     ? Bxi2_CreateDeviceCPU("CPU", did, name, "cpu0", text, 0, &device)
                     : BXI2_E_NO_MEMORY;
    free(name);
    free(text);
    return result == BXI2_OK ? Bxi2_AddDevice(device) : result;
}

static int AddSerialPort(uint32_t did) {
    char* name = TagCopy("szDevCom", "1");
    char* text = TagCopy("szDevComDescription", NULL);
    Bxi2_Device* device = NULL;
    int result = name != NULL && text != NULL
                     ? Bxi2_CreateDeviceCOM("COM", did, name, "/dev/ttyS0", text, 1, 0x3f8, &device)
                     : BXI2_E_NO_MEMORY;
    free(name);
    free(text);
    if (result != BXI2_OK) {
        return result;
    }
    Bxi2_AddTestsToDevice(device, "0");
    return Bxi2_AddDevice(device);
}

int VelkTest_Enumerate(void) {
    int result = AddHardDrive(1, 0, "SN0001", "CACHE", "Cache size", "8 MB", "0,1");
    if (result == BXI2_OK) {
        result = AddHardDrive(2, 1, "SN0002", "ROTATION", "Rotation rate", "7200 rpm", "*");
    }
    if (result == BXI2_OK) {
        result = AddProcessor(3);
    }
    if (result == BXI2_OK) {
        result = AddSerialPort(4);
    }
    return result;
}

int VelkTest_SysInfo(Bxi2_Device* device, const char* parameters) {
    Bxi2_AddSysInfoToDevice(device, "VENDOR", "Velkor", "Vendor");
    Bxi2_AddSysInfoToDevice(device, "FEATURE", "read", "Feature");
    Bxi2_AddSysInfoToDevice(device, "FEATURE", "write", "Feature");
    Bxi2_AddSysInfoToDevice(device, "FEATURE", "verify", "Feature");
    Bxi2_AddSysInfoToDevice(device, "LOCATOR", Bxi2_GetDeviceHwLocator(device), "Hardware locator");
    return BXI2_OK;
}
