/* Device record creators: one per locator kind.  Each builds the hardware
 * locator from its numbers, sets the bus type and keeps the new record on
 * the list of unregistered records. */
#include <stdio.h>
#include <string.h>

#include "bxi2-internal.h"

enum { kLocatorSize = 128 };

/* USB locators number their devices in creation order. */
static uint32_t gUsbCounter;

void Bxi2_I_ResetUsbCounter(void) {
    gUsbCounter = 0;
}

static int Create(const char* devType, uint32_t did, const char* name, const char* osLocator,
                  const char* description, const char* hwLocator, const char* busType,
                  Bxi2_Device** out) {
    if (devType == NULL) {
        return BXI2_E_BAD_ARGUMENT;
    }
    Bxi2_Device* device =
        Bxi2_I_NewDeviceRecord(did, name, description, osLocator, hwLocator, devType, busType);
    if (device == NULL) {
        return BXI2_E_NO_MEMORY;
    }
    return Bxi2_I_KeepNewRecord(device, out);
}

static int IsType(const char* devType, const char* wanted) {
    return devType != NULL && strcmp(devType, wanted) == 0;
}

int Bxi2_CreateDeviceBus(const char* devType, uint32_t did, const char* name, const char* osLocator,
                         const char* description, uint32_t number, Bxi2_Device** device) {
    char locator[kLocatorSize];
    if (IsType(devType, "PCI") || IsType(devType, "1394") || IsType(devType, "PCMCIA")) {
        snprintf(locator, sizeof locator, "%s:%u", devType, number);
    } else {
        return BXI2_E_BAD_ARGUMENT;
    }
    return Create(devType, did, name, osLocator, description, locator, "SYSTEM_BUS", device);
}

int Bxi2_CreateDeviceModem(const char* devType, uint32_t did, const char* name,
                           const char* osLocator, const char* description, uint32_t port,
                           Bxi2_Device** device) {
    if (port == 0) {
        return BXI2_E_BAD_ARGUMENT;
    }
    char locator[kLocatorSize];
    snprintf(locator, sizeof locator, "MODEM:%u", port);
    return Create(devType, did, name, osLocator, description, locator, "COM_BUS", device);
}

int Bxi2_CreateDeviceFD(const char* devType, uint32_t did, const char* name, const char* osLocator,
                        const char* description, uint32_t number, Bxi2_Device** device) {
    char locator[kLocatorSize];
    snprintf(locator, sizeof locator, "FD:%u", number);
    return Create(devType, did, name, osLocator, description, locator, "SYSTEM_BUS", device);
}

int Bxi2_CreateDeviceSCSI(const char* devType, uint32_t did, const char* name,
                          const char* osLocator, const char* description, uint32_t host,
                          uint32_t channel, uint32_t target, uint32_t lun, Bxi2_Device** device) {
    char locator[kLocatorSize];
    snprintf(locator, sizeof locator, "SCSI:%u:%u:%u:%u", host, channel, target, lun);
    return Create(devType, did, name, osLocator, description, locator, "SCSI_BUS", device);
}

int Bxi2_CreateDevice1394(const char* devType, uint32_t did, const char* name,
                          const char* osLocator, const char* description, uint32_t first,
                          uint32_t second, uint32_t third, Bxi2_Device** device) {
    char locator[kLocatorSize];
    snprintf(locator, sizeof locator, "1394:%u:%u:%u", first, second, third);
    return Create(devType, did, name, osLocator, description, locator, "SYSTEM_BUS", device);
}

int Bxi2_CreateDeviceIDE(const char* devType, uint32_t did, const char* name, const char* osLocator,
                         const char* description, uint32_t channel, uint32_t position,
                         Bxi2_Device** device) {
    char locator[kLocatorSize];
    snprintf(locator, sizeof locator, "IDE:%u:%u", channel, position);
    return Create(devType, did, name, osLocator, description, locator, "IDE_BUS", device);
}

int Bxi2_CreateDeviceUSB(const char* devType, uint32_t did, const char* name, const char* osLocator,
                         const char* description, uint32_t number, Bxi2_Device** device) {
    if (devType == NULL) {
        return BXI2_E_BAD_ARGUMENT;
    }
    char locator[kLocatorSize];
    snprintf(locator, sizeof locator, "USB:%u:%u", ++gUsbCounter, number);
    return Create(devType, did, name, osLocator, description, locator, "USB_BUS", device);
}

int Bxi2_CreateDeviceUSBEx(const char* devType, uint32_t did, const char* name,
                           const char* osLocator, const char* description, uint32_t bus,
                           uint32_t number, Bxi2_Device** device) {
    char locator[kLocatorSize];
    snprintf(locator, sizeof locator, "USB:%u:%u", bus, number);
    return Create(devType, did, name, osLocator, description, locator, "USB_BUS", device);
}

int Bxi2_CreateDeviceNet(const char* devType, uint32_t did, const char* name, const char* osLocator,
                         const char* description, unsigned int b0, unsigned int b1, unsigned int b2,
                         unsigned int b3, unsigned int b4, unsigned int b5, Bxi2_Device** device) {
    char locator[kLocatorSize];
    snprintf(locator, sizeof locator, "NET:%02X:%02X:%02X:%02X:%02X:%02X", b0 & 0xFFu, b1 & 0xFFu,
             b2 & 0xFFu, b3 & 0xFFu, b4 & 0xFFu, b5 & 0xFFu);
    return Create(devType, did, name, osLocator, description, locator, "SYSTEM_BUS", device);
}

int Bxi2_CreateDevicePort(const char* devType, uint32_t did, const char* name,
                          const char* osLocator, const char* description, uint32_t number,
                          unsigned long ioAddress, Bxi2_Device** device) {
    char locator[kLocatorSize];
    if (IsType(devType, "COM") || IsType(devType, "LPT") || IsType(devType, "IR")) {
        snprintf(locator, sizeof locator, "%s:%u:%04lx", devType, number, ioAddress);
    } else {
        return BXI2_E_BAD_ARGUMENT;
    }
    return Create(devType, did, name, osLocator, description, locator, "SYSTEM_BUS", device);
}

int Bxi2_CreateDeviceCOM(const char* devType, uint32_t did, const char* name, const char* osLocator,
                         const char* description, uint32_t number, unsigned long ioAddress,
                         Bxi2_Device** device) {
    char locator[kLocatorSize];
    snprintf(locator, sizeof locator, "COM:%u:%04lx", number, ioAddress);
    return Create(devType, did, name, osLocator, description, locator, "COM_BUS", device);
}

int Bxi2_CreateDevicePrinter(const char* devType, uint32_t did, const char* name,
                             const char* osLocator, const char* description, uint32_t number,
                             Bxi2_Device** device) {
    char locator[kLocatorSize];
    snprintf(locator, sizeof locator, "PRINT:%u", number);
    return Create(devType, did, name, osLocator, description, locator, "SYSTEM_BUS", device);
}

int Bxi2_CreateDeviceCPU(const char* devType, uint32_t did, const char* name, const char* osLocator,
                         const char* description, uint32_t number, Bxi2_Device** device) {
    char locator[kLocatorSize];
    snprintf(locator, sizeof locator, "CPU:%u", number);
    return Create(devType, did, name, osLocator, description, locator, "SYSTEM_BUS", device);
}

int Bxi2_CreateDeviceMemory(const char* devType, uint32_t did, const char* name,
                            const char* osLocator, const char* description, uint32_t number,
                            Bxi2_Device** device) {
    char locator[kLocatorSize];
    snprintf(locator, sizeof locator, "MEM:%u", number);
    return Create(devType, did, name, osLocator, description, locator, "SYSTEM_BUS", device);
}

int Bxi2_CreateDeviceMonitor(const char* devType, uint32_t did, const char* name,
                             const char* osLocator, const char* description, uint32_t number,
                             Bxi2_Device** device) {
    char locator[kLocatorSize];
    snprintf(locator, sizeof locator, "MON:%u", number);
    return Create(devType, did, name, osLocator, description, locator, "SYSTEM_BUS", device);
}

int Bxi2_CreateDeviceMouse(const char* devType, uint32_t did, const char* name,
                           const char* osLocator, const char* description, uint32_t number,
                           Bxi2_Device** device) {
    char locator[kLocatorSize];
    snprintf(locator, sizeof locator, "MOUSE:%u", number);
    return Create(devType, did, name, osLocator, description, locator, "SYSTEM_BUS", device);
}

int Bxi2_CreateDevicePCI(const char* devType, uint32_t did, const char* name, const char* osLocator,
                         const char* description, uint32_t bus, uint32_t slot, uint32_t function,
                         Bxi2_Device** device) {
    char locator[kLocatorSize];
    snprintf(locator, sizeof locator, "PCI:%u:%u:%u", bus, slot, function);
    return Create(devType, did, name, osLocator, description, locator, "PCI_BUS", device);
}

int Bxi2_CreateDeviceAGP(const char* devType, uint32_t did, const char* name, const char* osLocator,
                         const char* description, uint32_t bus, uint32_t slot, uint32_t function,
                         Bxi2_Device** device) {
    char locator[kLocatorSize];
    snprintf(locator, sizeof locator, "AGP:%u:%u:%u", bus, slot, function);
    return Create(devType, did, name, osLocator, description, locator, "AGP_BUS", device);
}

int Bxi2_CreateDevicePS2(const char* devType, uint32_t did, const char* name, const char* osLocator,
                         const char* description, Bxi2_Device** device) {
    const char* locator;
    if (IsType(devType, "KBD")) {
        locator = "PS2KB";
    } else if (IsType(devType, "MOUSE")) {
        locator = "PS2MOUSE";
    } else {
        return BXI2_E_BAD_ARGUMENT;
    }
    return Create(devType, did, name, osLocator, description, locator, "PS2_BUS", device);
}

int Bxi2_CreateDeviceSys(const char* devType, uint32_t did, const char* name, const char* osLocator,
                         const char* description, Bxi2_Device** device) {
    static const char* const kNamedByType[] = {"RTC", "CMOS", "KBD", "SYSTEM", "SYSTEMBOARD"};
    char locator[kLocatorSize];
    if (IsType(devType, "MOUSE")) {
        snprintf(locator, sizeof locator, "MOUSE:%u", BXI2_SYS_MOUSE_NUMBER);
    } else {
        size_t i = 0;
        while (i < sizeof kNamedByType / sizeof kNamedByType[0] &&
               !IsType(devType, kNamedByType[i])) {
            ++i;
        }
        if (i == sizeof kNamedByType / sizeof kNamedByType[0]) {
            return BXI2_E_BAD_ARGUMENT;
        }
        snprintf(locator, sizeof locator, "%s", devType);
    }
    return Create(devType, did, name, osLocator, description, locator, "SYSTEM_BUS", device);
}

int Bxi2_CreateDeviceMM(const char* devType, uint32_t did, const char* name, const char* osLocator,
                        const char* description, uint32_t number, Bxi2_Device** device) {
    char locator[kLocatorSize];
    if (IsType(devType, "GAMEINPUT")) {
        snprintf(locator, sizeof locator, "JOY:%u", number);
    } else if (IsType(devType, "MICROPHONE")) {
        snprintf(locator, sizeof locator, "MIC:%u", number);
    } else if (IsType(devType, "CAMERA")) {
        snprintf(locator, sizeof locator, "CAMERA:%u", number);
    } else if (IsType(devType, "SCANNER")) {
        snprintf(locator, sizeof locator, "SCAN:%u", number);
    } else if (IsType(devType, "WAV")) {
        snprintf(locator, sizeof locator, "DSP");
    } else {
        return BXI2_E_BAD_ARGUMENT;
    }
    return Create(devType, did, name, osLocator, description, locator, "SYSTEM_BUS", device);
}

int Bxi2_CreateDeviceGenericEx(const char* devType, uint32_t did, const char* name,
                               const char* description, const char* osLocator,
                               const char* hwLocator, const char* busType, Bxi2_Device** device) {
    return Create(devType, did, name, osLocator, description, hwLocator, busType, device);
}

int Bxi2_CreateDeviceGeneric(const char* devType, uint32_t did, const char* name,
                             const char* description, const char* osLocator, const char* hwLocator,
                             const char* busType, Bxi2_Device** device) {
    return Bxi2_CreateDeviceGenericEx(devType, did, name, description, osLocator, hwLocator,
                                      busType, device);
}

int Bxi2_CreateDeviceISA(const char* devType, uint32_t did, const char* name,
                         const char* description, const char* osLocator, const char* hwLocator,
                         const char* busType, Bxi2_Device** device) {
    return Bxi2_CreateDeviceGenericEx(devType, did, name, description, osLocator, hwLocator,
                                      busType, device);
}
