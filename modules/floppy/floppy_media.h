// The diskette in a drive: opening it for a test, its geometry and whether
// it is write-protected.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "bxi2.h"
#include "device_open.h"
#include "floppy_inventory.h"

namespace velk::floppy {

struct Geometry {
    unsigned sectorsPerTrack = 18;
    unsigned heads = 2;
    unsigned cylinders = 80;
};

struct DisketteUnderTest {
    DisketteDrive drive;
    velk::module::OpenedDevice device;
    std::uint64_t sizeBytes = 0;
    Geometry geometry;
};

// Opens the diskette of record (for writing when write is set).  Nothing
// when it is open; else the test result after the warning that says why.
std::optional<int> OpenDiskette(const Bxi2_Device* record, DisketteUnderTest& diskette, bool write);

// The geometry the drive reports (FDGETPRM), or the standard one of the
// diskette's size.
Geometry GeometryOf(int fd, bool blockDevice, std::uint64_t sizeBytes);

struct WriteProtection {
    bool known = false;
    bool isProtected = false;
    std::string source;  // what told: "kernel", "drive", "write open", "image file"
    int driveError = 0;  // errno when a real drive did not report its status
};

// Asks every source in turn (the kernel's read-only flag, the drive's status,
// an open for writing that writes nothing, the image file's permissions).
WriteProtection DetectWriteProtection(const DisketteUnderTest& diskette);

}  // namespace velk::floppy
