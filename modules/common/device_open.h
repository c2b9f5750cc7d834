// Opening a device node for a test, with the failure told apart the way a
// test reports it: no media, busy (the device held exclusively elsewhere),
// privilege (not allowed to open it), write-protected media (write opens),
// or missing/other (a set-up error).
//
// "Busy" follows the two conventions Linux has for exclusive use: an
// exclusive open (O_EXCL on a block device, which the kernel refuses while
// another holder claims the device) and the BSD lock on the device node that
// partitioning and formatting tools take (flock LOCK_EX).  A block device that
// is only claimed by a mounted file system or by swap is not busy for a read
// test: the test then opens it shared and reads it all the same.
#pragma once

#include <string>
#include <string_view>

#include "unique_fd.h"

namespace velk::module {

enum class OpenFailure {
    kNone,
    kNoMedia,
    kBusy,
    kPrivilege,
    kWriteProtected,
    kMissing,
    kOther,
};

struct OpenOptions {
    bool write = false;             // read and write instead of read only
    bool direct = false;            // try O_DIRECT first (falls back to a cached open)
    bool nonBlocking = false;       // O_NONBLOCK: removable drives open without media
    bool exclusive = true;          // claim the device: exclusive open and node lock
    bool nxioMeansNoMedia = false;  // ENXIO is "no media" (diskette drives)
};

struct OpenedDevice {
    UniqueFd fd;
    OpenFailure failure = OpenFailure::kNone;
    int error = 0;                 // errno of the failure
    std::string path;              // the path opened (under the system root)
    bool direct = false;           // O_DIRECT is in effect
    bool blockDevice = false;      // the node is a block device (not an image file)
    bool sharedWithMount = false;  // opened shared: a mounted file system or swap holds it
};

// The failure an errno from open() stands for.  ENXIO counts as no media
// only when noMediaForNxio is set (diskette drives answer so without a disk).
OpenFailure ClassifyOpenError(int error, bool writing, bool noMediaForNxio = false);

// Opens the machine path (a device node under the system root).
OpenedDevice OpenDevice(std::string_view machinePath, const OpenOptions& options);

// The test result code (BXI2_RESULT_*) for an open failure.
int ResultForOpenFailure(OpenFailure failure);

// The NLS id of the module text for an open failure ("szWarnDeviceBusy",
// "szWarnPrivilege", "szWarnNoMedia", "szWarnWriteProtected", "szWarnGeneric").
const char* OpenFailureTextId(OpenFailure failure);

// Event code of the warning for an open failure: 150 busy, 151 privilege,
// 152 other, 153 no media, 154 write-protected.
int OpenFailureEventCode(OpenFailure failure);

// Sends the warning event for a failed open (text OpenFailureTextId with the
// variables DEVICE and ERROR) and returns the test result code.
int ReportOpenFailure(const OpenedDevice& device, std::string_view machinePath);

// True when the block device of the kernel name ("sda") or one of its
// partitions is mounted or used as swap, as /proc/self/mountinfo and
// /proc/swaps tell.
bool KernelDeviceInUseByMount(std::string_view kernelName);

}  // namespace velk::module
