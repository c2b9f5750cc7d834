#include "VLK_Engine.h"

#include <errno.h>
#include <string.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>

#include "Cycle.h"
#include "Device.h"
#include "EngineException.h"
#include "Scenario.h"
#include "Test.h"
#include "TestEnvironment.h"
#include "TestRun.h"
#include "VLK_Assert.h"
#include "VLK_HomeDir.h"
#include "VLK_Log.h"
#include "client-fifo-access.h"

using namespace VELKCORE;

PEGASUS_NAMESPACE_BEGIN

namespace {

const char* const SOURCE_NAME = "VLK_Engine";

String toString(const std::string& text) {
    return String(text.c_str());
}

}  // namespace

log4cpp::Category& VLK_Engine::log = log4cpp::Category::getInstance("VLK_Engine");
CTestEnvironment* VLK_Engine::pTE = nullptr;
pthread_mutex_t VLK_Engine::_tMutex = PTHREAD_ERRORCHECK_MUTEX_INITIALIZER_NP;
std::atomic<bool> VLK_Engine::mutexLocked(false);
std::mutex VLK_Engine::runningTestsMutex;
std::mutex VLK_Engine::updateMutex;
std::vector<std::shared_ptr<VLK_RunningTest>> VLK_Engine::runningTests;
unsigned long VLK_Engine::generation = 0;

VLK_Engine::AutoLock::AutoLock() : locked(true) {
    VLK_Engine::Lock();
}

VLK_Engine::AutoLock::~AutoLock() {
    if (locked) {
        VLK_Engine::Unlock();
    }
}

void VLK_Engine::AutoLock::Unlock() {
    VLK_Engine::Unlock();
    locked = false;
}

void VLK_Engine::Lock() {
    VLK_LOG_DEBUG(log, "Lock()");
    int stat = pthread_mutex_lock(&_tMutex);
    if (stat == EDEADLK) {
        VLK_LOG_WARN(log, "Mutex already locked by this proces");
    }
    if (stat != 0) {
        char text[128];
        VLK_LOG_ERROR(log, "Mutex error: " << strerror_r(stat, text, sizeof text));
        VLK_ASSERT(log, SOURCE_NAME, stat == 0);
    }
    mutexLocked = true;
}

void VLK_Engine::Unlock() {
    VLK_LOG_DEBUG(log, "Unlock()");
    VLK_ASSERT(log, SOURCE_NAME, mutexLocked);
    mutexLocked = false;
    int stat = pthread_mutex_unlock(&_tMutex);
    if (stat != 0) {
        // Another thread holds the lock: it stays held.
        mutexLocked = true;
    }
    VLK_ASSERT(log, SOURCE_NAME, stat == 0);
}

bool VLK_Engine::TryLock() {
    VLK_LOG_DEBUG(log, "TryLock()");
    int stat = pthread_mutex_trylock(&_tMutex);
    if (stat == EBUSY) {
        return false;
    }
    VLK_ASSERT(log, SOURCE_NAME, stat == 0);
    mutexLocked = true;
    return true;
}

void VLK_Engine::discardEnvironment() {
    if (pTE == nullptr) {
        return;
    }
    pTE->Stop();
    delete pTE;
    pTE = nullptr;
    generation++;
    // Their scenarios went with the environment: the records close their
    // results, which would otherwise stay in progress for ever.
    std::lock_guard<std::mutex> guard(runningTestsMutex);
    for (const auto& record : runningTests) {
        record->abandon();
    }
    runningTests.clear();
}

unsigned long VLK_Engine::environmentGeneration() {
    return generation;
}

void VLK_Engine::releaseScenario(CScenario* scenario) {
    VLK_ASSERT(log, SOURCE_NAME, mutexLocked);
    if (pTE == nullptr || scenario == nullptr) {
        return;
    }
    for (unsigned int i = 0; i < pTE->GetScenarioArraySize(); i++) {
        if (pTE->GetScenarioArrayElement(i) != scenario) {
            continue;
        }
        try {
            scenario->Stop();
            pTE->RemoveScenario(i);
        } catch (const std::exception& e) {
            VLK_LOG_WARN(log, "scenario kept: " << e.what());
        }
        return;
    }
}

CTestEnvironment* VLK_Engine::getTestEnvironment() {
    static int calls = 0;
    VLK_LOG_INFO(log, "getTestEnvironment(...) "
                          << " the  MSEClassesRequired param is being ignored " << calls++);
    VLK_ASSERT(log, SOURCE_NAME, mutexLocked);
    // An engine whose broker has gone cannot answer any more: start a new one.
    if (pTE != nullptr && VelkClient_I_BrokerGone()) {
        VLK_LOG_WARN(log, "getTestEnvironment(...) engine gone, starting it again");
        discardEnvironment();
    }
    if (pTE == nullptr) {
        VLK_LOG_INFO(log, "getTestEnvironment(...) creating new CTestEnvironment");
        std::fflush(nullptr);
        pTE = new CTestEnvironment();
        std::string home = VLK_ResolveHomeDir();
        if (pTE->SetVelkHomeDir(home) != 0) {
            VLK_LOG_ERROR(log, "No velkcore in " << home.c_str());
        }
        if (pTE->Start() != 0) {
            VLK_LOG_ERROR(log, "Error Starting Test Environment.  Are you running as root?");
            // The next request starts afresh rather than using a dead environment.
            discardEnvironment();
            throw EngineException("Error Starting Engine");
        }
    }
    VLK_LOG_INFO(log, "getTestEnvironment(...) return");
    return pTE;
}

void VLK_Engine::Stop() {
    VLK_LOG_INFO(log, "Stop(...)");
    if (pTE == nullptr) {
        VLK_LOG_INFO(log, "pTE is NULL");
        return;
    }
    VLK_LOG_INFO(log, "pTE is not NULL... getting Scenario.");
    if (pTE->GetScenarioArraySize() == 0) {
        VLK_LOG_INFO(log, "scenario array size is 0");
    } else {
        VLK_LOG_INFO(log, "scenario array size > 0");
        CScenario* pScenario = pTE->GetScenarioArrayElement(0);
        if (pScenario == nullptr) {
            VLK_LOG_INFO(log, "pScenario is NULL");
        } else {
            VLK_LOG_INFO(log, "calling pScenario->Stop()");
            pScenario->Stop();
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
    }
    VLK_LOG_INFO(log, "calling pTE->Stop()");
    discardEnvironment();
    VLK_LOG_INFO(log, " TE Stop() called ");
}

String VLK_Engine::getCIMTestName(const CTest* pTest) {
    VLK_ASSERT(log, SOURCE_NAME, mutexLocked);
    VLK_ASSERT(log, SOURCE_NAME, pTest != NULL);
    std::string testName;
    std::string moduleId;
    int index = 0;
    VLK_ASSERT(log, SOURCE_NAME, pTest->GetName(testName) == CTest::OK);
    VLK_ASSERT(log, SOURCE_NAME, pTest->GetModuleIdAndIndex(moduleId, index) == CTest::OK);
    return toString(moduleId + ":" + std::to_string(index) + ":" + testName);
}

namespace {

// The first device the engine lists whose hardware locator (and, when name is
// given, name) matches; null when none does.
CDevice* findDevice(CTestEnvironment* te, const String* name, const String& hwLocator,
                    log4cpp::Category& log, const char* what) {
    unsigned int count = 0;
    te->GetDeviceArraySize(count);
    for (unsigned int i = 0; i < count; i++) {
        CDevice* device = nullptr;
        if (te->GetDeviceArrayElement(i, &device) != 0 || device == nullptr) {
            continue;
        }
        std::string deviceName;
        std::string locator;
        device->GetName(deviceName);
        device->GetHWLocator(locator);
        if ((name == nullptr || *name == toString(deviceName)) && hwLocator == toString(locator)) {
            VLK_LOG_INFO(log, what << " match ");
            return device;
        }
        VLK_LOG_DEBUG(log, "hwLoc " << locator << "name " << deviceName);
    }
    return nullptr;
}

}  // namespace

std::vector<CTest*> VLK_Engine::getTestArrayForDevice(CTestEnvironment* te, String deviceName,
                                                      String deviceID) {
    VLK_ASSERT(log, SOURCE_NAME, mutexLocked);
    VLK_ASSERT(log, SOURCE_NAME, te);
    VLK_LOG_INFO(log, "getTestArrayForDevice(...) "
                          << "deviceName " << deviceName << "deviceID " << deviceID);
    std::vector<CTest*> tests;
    CDevice* device = findDevice(te, &deviceName, deviceID, log, "getTestArrayForDevice(...)");
    if (device == nullptr) {
        VLK_LOG_ERROR(log, "getTestArrayForDevice(...) NO match ");
        return tests;
    }
    unsigned int count = 0;
    device->GetTestArraySize(count);
    for (unsigned int i = 0; i < count; i++) {
        CTest* test = nullptr;
        if (device->GetTestArrayElement(i, &test) == 0 && test != nullptr) {
            tests.push_back(test);
        }
    }
    VLK_LOG_INFO(log, "getTestArrayForDevice(...) found " << tests.size() << " tests");
    return tests;
}

CCycle* VLK_Engine::getNewTestCycle(CTestEnvironment* te, const String& testName,
                                    const String& deviceID, CScenario** ppScenario) {
    VLK_ASSERT(log, SOURCE_NAME, mutexLocked);
    VLK_ASSERT(log, SOURCE_NAME, te);
    VLK_LOG_INFO(log, "createTestCycle(...) "
                          << "deviceID " << deviceID);
    CDevice* device = findDevice(te, nullptr, deviceID, log, "createTestCycle(...)");
    if (device == nullptr) {
        VLK_LOG_INFO(log, "createTestCycle(...) NO match ");
        return nullptr;
    }
    unsigned int count = 0;
    device->GetTestArraySize(count);
    VLK_LOG_INFO(log, "Test Array Size " << count);
    for (unsigned int i = 0; i < count; i++) {
        CTest* test = nullptr;
        if (device->GetTestArrayElement(i, &test) != 0 || test == nullptr) {
            continue;
        }
        String name = getCIMTestName(test);
        VLK_LOG_DEBUG(log, "testName : " << testName << "cimTestName: " << name);
        if (name == testName) {
            VLK_LOG_INFO(log, "found test...");
            return buildCycle(te, test, ppScenario);
        }
    }
    VLK_LOG_INFO(log, " createTestCycle(...) NO cycle");
    return nullptr;
}

CCycle* VLK_Engine::buildCycle(CTestEnvironment* te, CTest* test, CScenario** ppScenario) {
    *ppScenario = te->AddScenario(nullptr);
    VLK_ASSERT(log, SOURCE_NAME, *ppScenario != NULL);
    CCycle* cycle = (*ppScenario)->AddCycle(nullptr);
    if (test != nullptr) {
        CTestRun* run = cycle->AddTest(test, cycle->GetTestRunArraySize());
        run->SetPercentToTest(5);
    }
    return cycle;
}

String VLK_Engine::getRecommnedActionsTestName(const String& cimTestName) {
    std::string name(static_cast<const char*>(cimTestName.getCString()));
    // Module and index end at the second colon: a test name may hold colons.
    std::string::size_type first = name.find(':');
    std::string::size_type second =
        first == std::string::npos ? std::string::npos : name.find(':', first + 1);
    std::string::size_type end = second != std::string::npos ? second : name.rfind(':');
    if (end != std::string::npos) {
        name.erase(end);
    }
    first = name.find(':');
    if (first != std::string::npos) {
        name[first] = '_';
    }
    return toString(name);
}

String VLK_Engine::getRecommnedActionsTestNameNoMedia(const String& cimTestName) {
    std::string name(static_cast<const char*>(cimTestName.getCString()));
    return toString(name.substr(0, name.find(':')) + "_NoMedia");
}

bool VLK_Engine::StopTest(const String& testName, const String& deviceID) {
    VLK_LOG_INFO(log, "StopTest : " << testName << " " << deviceID);
    if (pTE == nullptr) {
        return false;
    }
    CScenario* scenario = nullptr;
    try {
        scenario = pTE->GetScenarioArrayElement(0);
    } catch (const std::logic_error& e) {
        VLK_LOG_ERROR(log, e.what());
        return false;
    }
    if (scenario == nullptr) {
        VLK_LOG_ERROR(log, "NO scenario");
        return false;
    }
    for (unsigned int c = 0; c < scenario->GetCycleArraySize(); c++) {
        CCycle* cycle = scenario->GetCycleArrayElement(c, 0);
        if (cycle == nullptr) {
            continue;
        }
        for (unsigned int r = 0; r < cycle->GetTestRunArraySize(); r++) {
            CTestRun* pTRun = cycle->GetTestRunArrayElement(r, 0);
            const CTest* pTest = nullptr;
            if (pTRun->GetTest(&pTest) != CTestRun::OK) {
                VLK_AssertFailed(log, SOURCE_NAME, __LINE__, "pTRun->GetTest(&pTest)");
            }
            if (getCIMTestName(pTest) != testName) {
                continue;
            }
            VLK_LOG_DEBUG(log, "matching test names");
            CDevice* pDevice = nullptr;
            pTest->GetDevice(&pDevice);
            if (pDevice == nullptr) {
                continue;
            }
            std::string hwLoc;
            if (pDevice->GetHWLocator(hwLoc) != CDevice::OK) {
                VLK_AssertFailed(log, SOURCE_NAME, __LINE__, "pDevice->GetHWLocator(hwLoc)");
            }
            if (toString(hwLoc) == deviceID) {
                VLK_LOG_INFO(log, "Match calling stop");
                pTRun->Stop();
                return true;
            }
        }
    }
    return false;
}

void VLK_Engine::addRunningTest(VLK_RunningTest* runningTest) {
    VLK_ASSERT(log, SOURCE_NAME, runningTest);
    addRunningTest(std::shared_ptr<VLK_RunningTest>(runningTest));
}

void VLK_Engine::addRunningTest(std::shared_ptr<VLK_RunningTest> runningTest) {
    VLK_ASSERT(log, SOURCE_NAME, runningTest);
    std::lock_guard<std::mutex> guard(runningTestsMutex);
    runningTests.push_back(std::move(runningTest));
}

unsigned int VLK_Engine::runningTestCount() {
    std::lock_guard<std::mutex> guard(runningTestsMutex);
    return static_cast<unsigned int>(runningTests.size());
}

void VLK_Engine::update() {
    std::lock_guard<std::mutex> serial(updateMutex);
    std::vector<std::shared_ptr<VLK_RunningTest>> records;
    {
        std::lock_guard<std::mutex> guard(runningTestsMutex);
        records = runningTests;
    }
    VLK_LOG_DEBUG(log, "Update() #running tests " << records.size());
    // Records take the engine lock themselves; the list lock is not held, so
    // a RunTest adding its record never waits for them.
    for (const auto& record : records) {
        if (!record->isComplete()) {
            record->update();
        }
    }
    VLK_LOG_DEBUG(log, "Clean Up list ");
    std::lock_guard<std::mutex> guard(runningTestsMutex);
    for (auto it = runningTests.begin(); it != runningTests.end();) {
        it = (*it)->isComplete() ? runningTests.erase(it) : it + 1;
    }
    VLK_LOG_DEBUG(log, "Done Updateing " << runningTests.size());
}

PEGASUS_NAMESPACE_END
