/* Device naming: a record's name from its device type code. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "bxi2-internal.h"

enum { kNameSize = 512 };

typedef struct NamePrefix {
    const char* type;
    const char* prefix;
} NamePrefix;

/* Named by prefix and hardware locator. */
static const NamePrefix kByLocator[] = {
    {"VIDEOCONTROLLER", "Video Card "},
    {"AGP", "AGP Bus "},
    {"CABLEMODEM", "Cable Modem "},
    {"CD", "CD-ROM Drive "},
    {"CDR", "CDR Drive "},
    {"CDRW", "CDRW Drive "},
    {"CHASSIS", "Chassis "},
    {"DSL", "DSL Adapter "},
    {"DVD", "DVD Drive "},
    {"DVDPLUSRW", "DVD+RW Drive "},
    {"DVDMINUSRW", "DVD-RW Drive "},
    {"GPS", "GPS Receiver "},
    {"HD", "Hard Drive "},
    {"IDE", "IDE "},
    {"ISDN", "ISDN Adapter "},
    {"LS120", "LS Drive "},
    {"MICROPHONE", "Microphone "},
    {"MIDI", "MIDI Adapter "},
    {"NET", "Network Card "},
    {"OPTICAL", "Optical Drive "},
    {"PS", "Power Supply "},
    {"RTC", "Real Time Clock "},
    {"SCSI", "SCSI"},
    {"SMBUS", "SMBUS "},
    {"SPEAKER", "Speaker "},
    {"TAPE", "Tape Drive "},
    {"TEMP", "Temperature Sensor "},
    {"VOLT", "Voltage Sensor "},
    {"WAV", "WAV Adapter "},
};

/* Named by prefix and device id. */
static const NamePrefix kById[] = {
    {"1394", "IEEE1394 Controller "},
    {"CAMERA", "Camera "},
    {"COM", "Serial Port "},
    {"CPU", "CPU "},
    {"CPU64", "CPU64 "},
    {"DISPLAY", "Monitor "},
    {"FD", "FD "},
    {"GAMEINPUT", "Game Input Device "},
    {"HUB", "USB Bus "},
    {"IR", "Infared Port "},
    {"KBD", "Keyboard "},
    {"LPT", "Parallel Port "},
    {"MOUSE", "Mouse "},
    {"PCI", "PCI Bus "},
    {"PCMCIA", "PCMCIA Controller "},
    {"PRINTER", "Printer "},
    {"REMSTORAGE", "Removable Storage Device "},
    {"SCANNER", "Scanner "},
    {"USB CONT", "USB Controller "},
    {"ZIP", "Zip Drive "},
};

/* A fixed name. */
static const NamePrefix kFixed[] = {
    {"CMOS", "CMOS"},
    {"SYSTEMBOARD", "SystemBoard"},
    {"MEMORY", "RAM"},
    {"SYSTEM", "System "},
};

static const char kUnknownPrefix[] = "Unknown ";
static const char kUnnamedType[] = "OTHER";
static const char kModemType[] = "MODEM";
static const char kModemPrefix[] = "Modem Serial:";

static const char* FindPrefix(const NamePrefix* table, size_t count, const char* type) {
    for (size_t i = 0; i < count; ++i) {
        if (strcmp(table[i].type, type) == 0) {
            return table[i].prefix;
        }
    }
    return NULL;
}

#define FIND_PREFIX(table, type) FindPrefix((table), sizeof(table) / sizeof((table)[0]), (type))

int Bxi2_I_GenerateDeviceName(Bxi2_Device* device) {
    if (device == NULL || device->devType == NULL) {
        return BXI2_E_BAD_ARGUMENT;
    }
    const char* type = device->devType;
    if (strcmp(type, kUnnamedType) == 0) {
        return BXI2_OK;
    }
    char name[kNameSize];
    const char* prefix;
    if ((prefix = FIND_PREFIX(kByLocator, type)) != NULL) {
        snprintf(name, sizeof name, "%s%s", prefix, device->hwLocator);
    } else if ((prefix = FIND_PREFIX(kFixed, type)) != NULL) {
        snprintf(name, sizeof name, "%s", prefix);
    } else if (strcmp(type, kModemType) == 0) {
        const char* serial = strchr(device->osLocator, 'S');
        snprintf(name, sizeof name, "%s%s", kModemPrefix, serial != NULL ? serial + 1 : "");
    } else {
        prefix = FIND_PREFIX(kById, type);
        snprintf(name, sizeof name, "%s%u", prefix != NULL ? prefix : kUnknownPrefix, device->did);
    }
    return Bxi2_I_ReplaceText(&device->name, name) ? BXI2_OK : BXI2_E_NO_MEMORY;
}
