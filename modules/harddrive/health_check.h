// Test 3: the drive's own health assessment.
#pragma once

#include "bxi2.h"

namespace velk::harddrive {

int RunHealthCheck(const Bxi2_Device* record);

}  // namespace velk::harddrive
