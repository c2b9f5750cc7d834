// The engine client API in one include: the test environment with its
// devices, tests, parameters, scenarios and cycles, the NLS service, log
// messages, tokens and the scoped mutex.
#pragma once

#include "AutoMutex.h"
#include "Cycle.h"
#include "Device.h"
#include "Message.h"
#include "NLS.h"
#include "Scenario.h"
#include "Test.h"
#include "TestEnvironment.h"
#include "TestParameter.h"
#include "TestRun.h"
#include "Token.h"
