// Tests 0 to 2: reading the drive's surface.
#pragma once

#include "bxi2.h"

namespace velk::harddrive {

// Test 0, 1 or 2 on the drive of record; the test result.
int RunSurfaceTest(int test, const Bxi2_Device* record);

}  // namespace velk::harddrive
