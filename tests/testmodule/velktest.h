/* The test module velktest: devices, tests and parameter checks whose
 * behaviour the tests of the engine and its clients choose. */
#ifndef VELKTEST_H
#define VELKTEST_H

#include "bxi2.h"

/* Test indexes of velktest.vkm. */
#define VELKTEST_QUICK_TEST 0
#define VELKTEST_TIMED_TEST 1

/* Slot 1: creates and registers the module's devices. */
int VelkTest_Enumerate(void);
/* Slot 12: adds system information to a device. */
int VelkTest_SysInfo(Bxi2_Device* device, const char* parameters);
/* Slot 2: sets the valid flag of every parameter. */
int VelkTest_Validate(int test, Bxi2_Device* device);
/* Slot 3: runs a test; the test result. */
int VelkTest_Run(int test, Bxi2_Device* device);

/* Checks the parameters of the current run; 1 when all are valid. */
int VelkTest_CheckParameters(int test);
/* The value text of parameter id in the current run, or fallback. */
const char* VelkTest_ParameterText(const char* id, const char* fallback);

#endif
