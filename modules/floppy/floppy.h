// VELkFloppy: tests of the machine's diskette drives.
//
//   0  media: a diskette is in the drive, its boot sector reads and holds a
//      standard (FAT) format
//   1  read every sector (or an evenly spread sample of the percent to test)
//   2  seek: reads one sector of each cylinder, alternating between the
//      outermost and innermost cylinders not yet visited (full strokes
//      first, shorter ones after)
//   3  write-protect detection: tells whether the diskette is write-protected
//      and which source said so
//   4  write: writes a pattern to every sector sampled, reads it back and puts
//      the original data back; destructive, runs only with WRITE=true
#pragma once

#include "bxi2.h"

namespace velk::floppy {

enum Test {
    kMediaPresent = 0,
    kReadAll = 1,
    kSeek = 2,
    kWriteProtect = 3,
    kWrite = 4,
};

enum EventCode {
    kEventUnreadable = 401,
    kEventMismatch = 402,
    kEventNotFormatted = 403,
    kEventWriteProtected = 404,
    kEventWriteFailed = 405,
    kEventVerifyFailed = 406,
    kEventRestoreFailed = 407,
    kEventNotAsked = 408,
    kEventTimeLimit = 409,
    kEventNoDevice = 410,
    kEventDriveStatus = 411,
};

int Enumerate();
int SysInfo(Bxi2_Device* device, const char* parameters);
int Run(int test, Bxi2_Device* device);

}  // namespace velk::floppy
