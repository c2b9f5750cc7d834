// VeLkHardDrive: tests of the machine's disk drives.
//
//   0  surface scan: reads the whole surface, or an evenly spread sample of
//      the percent to test, and names every unreadable sector
//   1  sequential verify: reads the sample twice, the second time past any
//      cache, and compares
//   2  random verify: reads COUNT random places twice and compares
//   3  drive health: the drive's own assessment (ATA SMART, NVMe health log)
//   4  identity and size: the kernel's, the node's and the drive's own view
//      of size and identity agree, the first and last sectors read, and the
//      drive ends where it says
#pragma once

#include "bxi2.h"

namespace velk::harddrive {

enum Test {
    kSurfaceScan = 0,
    kSequentialVerify = 1,
    kRandomVerify = 2,
    kDriveHealth = 3,
    kIdentityAndSize = 4,
};

// Event codes of the module's log items.
enum EventCode {
    kEventUnreadable = 201,
    kEventMismatch = 202,
    kEventHealthBad = 203,
    kEventHealthWarning = 204,
    kEventSizeMismatch = 205,
    kEventIdentityMismatch = 206,
    kEventEdgeUnreadable = 207,
    kEventNotApplicable = 208,
    kEventTimeLimit = 209,
    kEventNoDevice = 210,
};

int Enumerate();
int SysInfo(Bxi2_Device* device, const char* parameters);
int Run(int test, Bxi2_Device* device);

}  // namespace velk::harddrive
