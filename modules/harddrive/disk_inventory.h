// The machine's disk drives as the kernel lists them in /sys/block: whole
// disks backed by hardware, without optical and diskette drives.
#pragma once

#include <string>
#include <vector>

#include "block_device_info.h"

namespace velk::harddrive {

// The drives in kernel-name order.
std::vector<velk::module::BlockDeviceInfo> FindDisks();

// True for kernel names this module tests ("sda", "nvme0n1", "vda", ...).
bool IsDiskName(const std::string& name);

// "1.5 GB" style text of a size (decimal units, as drives are labelled).
std::string SizeText(unsigned long long bytes);

}  // namespace velk::harddrive
