/* CheckDeviceHandle: turns a device that could not be opened into a warning
 * and a test result. */
#include <errno.h>

#include "bxi2-internal.h"

enum {
    kEventDeviceBusy = 150,
    kEventPrivilege = 151,
    kEventGeneric = 152,
};

int CheckDeviceHandle(int handle, int* result) {
    if (handle != -1) {
        return 1;
    }
    int error = errno;
    int eventCode = kEventGeneric;
    const char* textId = "szWarnGeneric";
    int testResult = BXI2_RESULT_SETUPERROR;
    if (error == EBUSY) {
        eventCode = kEventDeviceBusy;
        textId = "szWarnDeviceBusy";
        testResult = BXI2_RESULT_BUSY;
    } else if (error == EACCES) {
        eventCode = kEventPrivilege;
        textId = "szWarnPrivilege";
        testResult = BXI2_RESULT_PRIVILEGEERROR;
    }
    const char* tag = Bxi2_NlsTagToToken(textId);
    Bxi2_Warning(eventCode, "%s", tag != NULL ? tag : textId);
    if (result != NULL) {
        *result = testResult;
    }
    return 0;
}
