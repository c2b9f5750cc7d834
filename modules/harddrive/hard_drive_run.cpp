// Runs the hard-drive tests.
#include "hard_drive.h"
#include "health_check.h"
#include "identity_check.h"
#include "surface_tests.h"
#include "test_parameters.h"

namespace velk::harddrive {

int Run(int test, Bxi2_Device* device) {
    if (device == nullptr) {
        return BXI2_RESULT_NOTAPPLICABLE;
    }
    if (!velk::module::CheckParameters()) {
        return BXI2_RESULT_BADPARAMS;
    }
    switch (test) {
        case kSurfaceScan:
        case kSequentialVerify:
        case kRandomVerify:
            return RunSurfaceTest(test, device);
        case kDriveHealth:
            return RunHealthCheck(device);
        case kIdentityAndSize:
            return RunIdentityCheck(device);
        default:
            return BXI2_RESULT_NOTAPPLICABLE;
    }
}

}  // namespace velk::harddrive
