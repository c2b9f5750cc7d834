// The optical-drive modules (VeLkCdDrive, VeLkDvdDrive, VeLkCdDvdDrive):
// tests of the machine's CD and DVD drives.
//
//   0  media: a disc is in the drive, suits the module (a data CD, a data
//      DVD, or either) and its first sectors read and hold data
//   1  data area: reads the whole data area of the disc, or an evenly
//      spread sample of the percent to test, naming unreadable sectors
//   2  random verify: reads COUNT random places twice and compares
//   3  drive commands: the drive answers INQUIRY, TEST UNIT READY, GET
//      CONFIGURATION and the kernel's CD-ROM status requests
#pragma once

#include "bxi2.h"
#include "optical_family.h"

namespace velk::optical {

// The family this executable tests (set by the build).
inline constexpr Family kModuleFamily = static_cast<Family>(VELK_OPTICAL_FAMILY);

enum Test {
    kMediaPresent = 0,
    kDataArea = 1,
    kRandomVerify = 2,
    kDriveCommands = 3,
};

enum EventCode {
    kEventUnreadable = 301,
    kEventMismatch = 302,
    kEventNoData = 303,
    kEventNoAnswer = 304,
    kEventWrongDisc = 305,
    kEventTimeLimit = 306,
    kEventNoDevice = 307,
};

int Enumerate();
int SysInfo(Bxi2_Device* device, const char* parameters);
int Run(int test, Bxi2_Device* device);

}  // namespace velk::optical
