/* velktest: a diagnostic module for tests.  It enumerates simulated
 * devices and runs tests whose outcome its parameters choose. */
#include <stddef.h>

#include "velktest.h"

int main(int argc, char** argv) {
    Bxi2_Registration* reg = Bxi2_CreateRegistrationStructure();
    if (reg == NULL) {
        return BXI2_E_NO_MEMORY;
    }
    Bxi2_AddRegistrationStructureCallback(reg, BXI2_SLOT_ENUMERATE,
                                          BXI2_CALLBACK(VelkTest_Enumerate));
    Bxi2_AddRegistrationStructureCallback(reg, BXI2_SLOT_VALIDATE,
                                          BXI2_CALLBACK(VelkTest_Validate));
    Bxi2_AddRegistrationStructureCallback(reg, BXI2_SLOT_RUN, BXI2_CALLBACK(VelkTest_Run));
    Bxi2_AddRegistrationStructureCallback(reg, BXI2_SLOT_SYSINFO, BXI2_CALLBACK(VelkTest_SysInfo));
    Bxi2_Version(1, 2, 3);
    int status = Bxi2_Main(argc, argv, reg);
    Bxi2_FreeRegistrationStructure(reg);
    return status;
}
