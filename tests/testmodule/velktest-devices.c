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

/* A device of a class other than hard drives, its name numbered by number;
 * it runs tests when they are given, otherwise every test. */
static int AddClassDevice(const char* kind, uint32_t did, const char* number, const char* tests) {
    char nameId[32];
    char descriptionId[48];
    snprintf(nameId, sizeof nameId, "szDev%s", kind);
    snprintf(descriptionId, sizeof descriptionId, "szDev%sDescription", kind);
    char* name = TagCopy(nameId, number);
    char* text = TagCopy(descriptionId, NULL);
    Bxi2_Device* device = NULL;
    int result = BXI2_E_NO_MEMORY;
    if (name != NULL && text != NULL) {
        if (strcmp(kind, "Cpu") == 0) {
            result = Bxi2_CreateDeviceCPU("CPU", did, name, "cpu0", text, 0, &device);
        } else if (strcmp(kind, "Com") == 0) {
            result = Bxi2_CreateDeviceCOM("COM", did, name, "/dev/ttyS0", text, 1, 0x3f8, &device);
        } else if (strcmp(kind, "Optical") == 0) {
            result =
                Bxi2_CreateDeviceIDE("OPTICAL", did, name, "/dev/velktestcd", text, 1, 0, &device);
        } else if (strcmp(kind, "Floppy") == 0) {
            result = Bxi2_CreateDeviceFD("FD", did, name, "/dev/velktestfd", text, 0, &device);
        } else {
            result =
                Bxi2_CreateDevicePort("LPT", did, name, "/dev/velktestlp", text, 1, 0x378, &device);
        }
    }
    free(name);
    free(text);
    if (result != BXI2_OK) {
        return result;
    }
    if (tests != NULL) {
        Bxi2_AddTestsToDevice(device, tests);
    }
    return Bxi2_AddDevice(device);
}

/* VELKTEST_DISKS=N reports N hard drives running every test (instead of the
 * two default ones); VELKTEST_ALL_CLASSES=1 adds an optical drive, a diskette
 * drive and a parallel port. */
int VelkTest_Enumerate(void) {
    const char* disks = getenv("VELKTEST_DISKS");
    const char* allClasses = getenv("VELKTEST_ALL_CLASSES");
    uint32_t did = 1;
    int result = BXI2_OK;
    if (disks != NULL && disks[0] != '\0') {
        unsigned long count = strtoul(disks, NULL, 10);
        for (unsigned long i = 0; i < count && i < 10000 && result == BXI2_OK; ++i) {
            char serial[24];
            snprintf(serial, sizeof serial, "SN%05lu", i + 1);
            result = AddHardDrive(did++, (uint32_t)i, serial, "CACHE", "Cache size", "8 MB", "*");
        }
    } else {
        result = AddHardDrive(did++, 0, "SN0001", "CACHE", "Cache size", "8 MB", "0,1");
        if (result == BXI2_OK) {
            result = AddHardDrive(did++, 1, "SN0002", "ROTATION", "Rotation rate", "7200 rpm", "*");
        }
    }
    if (result == BXI2_OK) {
        result = AddClassDevice("Cpu", did++, "0", NULL);
    }
    if (result == BXI2_OK) {
        result = AddClassDevice("Com", did++, "1", "0");
    }
    if (allClasses != NULL && strcmp(allClasses, "1") == 0) {
        const char* const kinds[] = {"Optical", "Floppy", "Lpt"};
        for (size_t i = 0; i < 3 && result == BXI2_OK; ++i) {
            result = AddClassDevice(kinds[i], did++, "0", "0");
        }
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
