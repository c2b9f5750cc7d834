// Test 4: identity and size consistency.
#pragma once

#include "bxi2.h"

namespace velk::harddrive {

int RunIdentityCheck(const Bxi2_Device* record);

}  // namespace velk::harddrive
