#include "VLK_DiagTest.h"

#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/Exception.h>
#include <Pegasus/Provider/ProviderException.h>

#include <chrono>
#include <exception>
#include <optional>
#include <thread>

#include <Pegasus/Common/CIMDateTime.h>

#include "Cycle.h"
#include "Device.h"
#include "Scenario.h"
#include "Test.h"
#include "TestEnvironment.h"
#include "TestRun.h"
#include "VLK_Assert.h"
#include "VLK_ComputerSystem.h"
#include "VLK_DiagLoopControls.h"
#include "VLK_Engine.h"
#include "VLK_Log.h"
#include "VLK_RecommendedActions.h"
#include "VLK_RequestContext.h"

using VELKCORE::CCycle;
using VELKCORE::CDevice;
using VELKCORE::CScenario;
using VELKCORE::CTest;
using VELKCORE::CTestEnvironment;
using VELKCORE::CTestRun;

PEGASUS_NAMESPACE_BEGIN

log4cpp::Category& VLK_DiagTest::log = log4cpp::Category::getInstance("VLK_DiagTest");

namespace {

const char* const SOURCE_NAME = "VLK_DiagTest";
const char* const CLASS_NAME = "VLK_DiagTest";

const Uint16 STATE_OTHER = 1;
const Uint16 STATE_IN_PROGRESS = 4;
const Uint16 STATE_BUSY = 5;
const Uint16 CHARACTERISTIC_EXCLUSIVE = 2;
const char* const BUSY_ACTIONS_KEY = "Device_Busy";
const char* const START_FAILURE_TEXT = "Error starting test";

void sleepOneSecond() {
    std::this_thread::sleep_for(std::chrono::seconds(1));
}

String text(const std::string& value) {
    return String(value.c_str());
}

bool isWritableProperty(const String& property) {
    return String::equalNoCase(property, "IsInUse") || String::equalNoCase(property, "Started");
}

}  // namespace

VLK_DiagTest::VLK_DiagTest(const CIMOMHandle& cimom) : _cimom(cimom), _results(cimom) {}

VLK_DiagTest::VLK_DiagTest(const CIMOMHandle& cimom, const String& testName, const String& deviceID)
    : _cimom(cimom), _testName(testName), _deviceID(deviceID), _results(cimom) {}

VLK_DiagTest::~VLK_DiagTest() {}

VLK_DiagTest::RefInstTests VLK_DiagTest::buildTests() {
    VLK_LOG_INFO(log, "      In VLK_DiagTest::buildTests");
    RefInstTests list;
    std::unordered_set<std::string> names;
    VLK_LOG_DEBUG(log, "         bT point 3");
    VLK_ComputerSystem system = VLK_ComputerSystem::GetInstance(_cimom);
    String systemName = system.GetName();
    String systemCreationClassName = system.GetCreationClassName();
    VLK_LOG_DEBUG(log, "System Name " << systemName);
    VLK_LOG_DEBUG(log, "SystemCreationClassName " << systemCreationClassName);
    VLK_LOG_DEBUG(log, "         bT point 4");

    VLK_LOG_DEBUG(log, "         bT point 5");
    VLK_Engine::AutoLock lock;
    VLK_LOG_DEBUG(log, "         bT point 6");
    CTestEnvironment* te = nullptr;
    try {
        te = VLK_Engine::getTestEnvironment();
    } catch (const Exception& e) {
        VLK_LOG_ERROR(log, "Engine Exception: " << e.getMessage());
        throw CIMException(CIM_ERR_FAILED, e.getMessage());
    }
    unsigned int deviceCount = 0;
    te->GetDeviceArraySize(deviceCount);
    VLK_LOG_INFO(log, "Found " << deviceCount << " devices");
    for (unsigned int d = 0; d < deviceCount; d++) {
        CDevice* pDevice = nullptr;
        if (te->GetDeviceArrayElement(d, &pDevice) != 0 || pDevice == nullptr) {
            continue;
        }
        unsigned int numTests = 0;
        VLK_ASSERT(log, SOURCE_NAME, pDevice->GetTestArraySize(numTests) == CDevice::OK);
        VLK_LOG_INFO(log, "Found " << numTests << " tests");
        for (unsigned int t = 0; t < numTests; t++) {
            CTest* pTest = nullptr;
            if (pDevice->GetTestArrayElement(t, &pTest) == 0 && pTest != nullptr) {
                AddTest(list, names, pTest, systemName, systemCreationClassName);
            }
        }
    }
    VLK_LOG_INFO(log, "      Leaving VLK_DiagTest::buildTests");
    return list;
}

void VLK_DiagTest::AddTest(RefInstTests& list, std::unordered_set<std::string>& names,
                           const CTest* pTest, const String& systemName,
                           const String& systemCreationClassName) {
    VLK_LOG_INFO(log, "AddTest(...)");
    VLK_ASSERT(log, SOURCE_NAME, pTest);
    String cimTestName = VLK_Engine::getCIMTestName(pTest);
    std::string testDescription;
    VLK_ASSERT(log, SOURCE_NAME, pTest->GetDescription(testDescription) == CTest::OK);
    VLK_LOG_DEBUG(log, "AddTest(...) 1");
    // The first test of a name wins, in device order then test order.
    if (!names.insert(std::string(static_cast<const char*>(cimTestName.getCString()))).second) {
        VLK_LOG_DEBUG(log, "Already in List, skipping " << cimTestName);
        return;
    }
    String description(testDescription.c_str());
    Array<Uint16> characteristics;
    characteristics.append(2);
    characteristics.append(7);
    Array<Uint16> resources;
    resources.append(0);
    resources.append(1);

    CIMInstance instance{CIMName(CLASS_NAME)};
    instance.addProperty(CIMProperty(CIMName("Name"), CIMValue(cimTestName)));
    instance.addProperty(CIMProperty(CIMName("SystemName"), CIMValue(systemName)));
    instance.addProperty(
        CIMProperty(CIMName("SystemCreationClassName"), CIMValue(systemCreationClassName)));
    instance.addProperty(CIMProperty(CIMName("CreationClassName"), CIMValue(String(CLASS_NAME))));
    instance.addProperty(CIMProperty(CIMName("Description"), CIMValue(description)));
    instance.addProperty(CIMProperty(CIMName("Caption"), CIMValue(description)));
    instance.addProperty(CIMProperty(CIMName("Status"), CIMValue(String("Unknown"))));
    instance.addProperty(CIMProperty(CIMName("StartMode"), CIMValue(String("Manual"))));
    instance.addProperty(
        CIMProperty(CIMName("OtherCharacteristicDescription"), CIMValue(String())));
    instance.addProperty(CIMProperty(CIMName("Characteristics"), CIMValue(characteristics)));
    instance.addProperty(CIMProperty(CIMName("ResourcesUsed"), CIMValue(resources)));
    instance.addProperty(CIMProperty(CIMName("IsInUse"), CIMValue(Boolean(false))));
    instance.addProperty(CIMProperty(CIMName("Started"), CIMValue(Boolean(false))));

    Array<CIMKeyBinding> keys;
    keys.append(CIMKeyBinding(CIMName("Name"), cimTestName, CIMKeyBinding::STRING));
    keys.append(
        CIMKeyBinding(CIMName("CreationClassName"), String(CLASS_NAME), CIMKeyBinding::STRING));
    keys.append(CIMKeyBinding(CIMName("SystemName"), systemName, CIMKeyBinding::STRING));
    keys.append(CIMKeyBinding(CIMName("SystemCreationClassName"), systemCreationClassName,
                              CIMKeyBinding::STRING));
    CIMObjectPath path(VLK_GetHostName(), VLK_GetNameSpace(), CIMName(CLASS_NAME), keys);
    list.push_back(RefInstTest{path, instance, pTest});
}

Array<CIMInstance> VLK_DiagTest::getTestInstance(const CIMObjectPath& reference) {
    VLK_LOG_INFO(log, "in getTestInstance()");
    _tests = buildTests();
    Array<CIMInstance> found;
    for (const RefInstTest& entry : _tests) {
        VLK_LOG_DEBUG(log, "CIMObjectPath:   " << entry.path.toString());
        if (entry.path == reference) {
            found.append(entry.instance.clone());
            VLK_LOG_INFO(log, "return getTestInstances()");
            return found;
        }
    }
    VLK_LOG_ERROR(log, "exception: Invalid Reference");
    throw CIMObjectNotFoundException("Invalid Reference");
}

Array<CIMInstance> VLK_DiagTest::enumTestInstances() {
    VLK_LOG_INFO(log, "enumTestInstances()");
    _tests = buildTests();
    Array<CIMInstance> copies;
    for (const RefInstTest& entry : _tests) {
        copies.append(entry.instance.clone());
    }
    VLK_LOG_INFO(log, "return enumTestInstances()");
    return copies;
}

Array<CIMObjectPath> VLK_DiagTest::enumTestReferences() {
    VLK_LOG_INFO(log, "enumTestReferences()");
    _tests = buildTests();
    Array<CIMObjectPath> paths;
    for (const RefInstTest& entry : _tests) {
        paths.append(entry.path);
    }
    VLK_LOG_INFO(log, "return enumTestReferences()");
    return paths;
}

void VLK_DiagTest::buildIfEmpty() {
    if (_tests.empty()) {
        _tests = buildTests();
    }
}

Uint32 VLK_DiagTest::getInstanceIndex(const String& name) {
    VLK_LOG_INFO(log, "getInstanceIndex()");
    buildIfEmpty();
    for (Uint32 i = 0; i < _tests.size(); i++) {
        const CIMInstance& instance = _tests[i].instance;
        String entryName;
        instance.getProperty(instance.findProperty(CIMName("Name"))).getValue().get(entryName);
        if (entryName == name) {
            VLK_LOG_INFO(log, "return getInstanceIndex()");
            return i;
        }
    }
    VLK_LOG_ERROR(log, "exception: getInstanceIndex - " << name);
    throw CIMPropertyNotFoundException(name);
}

CIMValue VLK_DiagTest::getTestProperty(const String& name, const String& property) {
    if (!isWritableProperty(property)) {
        VLK_LOG_ERROR(log, "VLK_DiagTest invalid property name");
        throw CIMNotSupportedException("VLK_DiagTest invalid property name");
    }
    const CIMInstance& instance = _tests[getInstanceIndex(name)].instance;
    return instance.getProperty(instance.findProperty(CIMName(property))).getValue();
}

void VLK_DiagTest::setTestProperty(const String& name, const String& property,
                                   const CIMValue& value) {
    if (!isWritableProperty(property)) {
        VLK_LOG_ERROR(log, "VLK_DiagTest invalid property name");
        throw CIMNotSupportedException("VLK_DiagTest invalid property name");
    }
    CIMInstance& instance = _tests[getInstanceIndex(name)].instance;
    instance.getProperty(instance.findProperty(CIMName(property))).setValue(value);
}

bool VLK_DiagTest::getHasCharacteristic(const String& name, Uint16 code) {
    const CIMInstance& instance = _tests[getInstanceIndex(name)].instance;
    Array<Uint16> characteristics;
    instance.getProperty(instance.findProperty(CIMName("Characteristics")))
        .getValue()
        .get(characteristics);
    for (Uint32 i = 0; i < characteristics.size(); i++) {
        if (characteristics[i] == code) {
            return true;
        }
    }
    return false;
}

bool VLK_DiagTest::createResults() {
    return _results.createResult(_cimom, _testName, _deviceID);
}

CIMValue VLK_DiagTest::retrieveResultProperty(const String& property) const {
    return _results.getResultProperty(_testName, _deviceID, property);
}

CIMObjectPath VLK_DiagTest::retrieveResultReference() const {
    return _results.getTestResultReference(_testName, _deviceID);
}

void VLK_DiagTest::writeToResults(const String& property, const CIMValue& value) {
    _results.setResultProperty(_testName, _deviceID, property, value);
}

void VLK_DiagTest::writeTestResults(const String& text) {
    _results.setResultPropertyTestResults(_testName, _deviceID, text);
}

void VLK_DiagTest::setLoopControls(const Array<Uint16>& controls, const Array<String>& parameters) {
    _loopControls = controls;
    _loopControlParameters = parameters;
}

CIMValue VLK_DiagTest::processTest(Array<CIMParamValue>& outParameters) {
    VLK_LOG_INFO(log, "In runTest processTestMethod ");
    if (_testName.size() == 0) {
        VLK_AssertFailed(log, SOURCE_NAME, __LINE__, "testName.size() > 0");
    }
    VLK_LOG_DEBUG(log, "Creating result instance");
    if (!createResults()) {
        VLK_LOG_ERROR(log, "Couldn't create result instance ");
        return CIMValue(RETURN_NO_RESULT);
    }
    VLK_LOG_DEBUG(log, "Verifying test exclusivity");
    Uint32 exclusivity = verifyExclusivity();
    if (exclusivity != 0) {
        return CIMValue(exclusivity);
    }
    VLK_LOG_DEBUG(log, "Retrieving result reference");
    CIMObjectPath reference = retrieveResultReference();
    reference.setHost(VLK_GetHostName());
    reference.setNameSpace(VLK_GetNameSpace());
    outParameters.append(CIMParamValue("Result", CIMValue(reference)));

    if (retrieveResultProperty("TestState") == CIMValue(STATE_BUSY)) {
        writeToResults("ActionOnFailure",
                       CIMValue(VLK_RecommendedActions::getAllActions(BUSY_ACTIONS_KEY)));
        VLK_LOG_INFO(log, "Test could not run ");
        return CIMValue(RETURN_BUSY);
    }
    if (_loopControls.size() > 0) {
        writeToResults("LoopControl", CIMValue(_loopControls));
        writeToResults("LoopControlParameter", CIMValue(_loopControlParameters));
    }
    VLK_LOG_DEBUG(log, "About to exec test ");
    Uint32 executed = executeTest();
    VLK_LOG_DEBUG(log, "Done executing test");
    if (executed != 0) {
        VLK_LOG_ERROR(log, "Execution unsuccessful");
        return CIMValue(executed);
    }
    VLK_LOG_DEBUG(log, "Returning successful");
    return CIMValue(RETURN_RAN);
}

Uint32 VLK_DiagTest::verifyExclusivity() {
    VLK_LOG_DEBUG(log, "In verifyExclusivity(...) ");
    Boolean inUse = false;
    getTestProperty(_testName, "IsInUse").get(inUse);
    if (inUse && getHasCharacteristic(_testName, CHARACTERISTIC_EXCLUSIVE)) {
        VLK_LOG_INFO(log, "Exclusive test currently executing.");
        return RETURN_EXCLUSIVE_IN_USE;
    }
    VLK_LOG_DEBUG(log, "verifyExclusivity: returning " << 0);
    return 0;
}

Uint32 VLK_DiagTest::executeTest() {
    VLK_LOG_INFO(log, "         in executeTest " << _testName << " --  " << _deviceID);
    VLK_LOG_DEBUG(log, "Setting dt to IsInUse");
    setTestProperty(_testName, "IsInUse", CIMValue(Boolean(true)));
    writeToResults("TestState", CIMValue(STATE_IN_PROGRESS));
    VLK_LOG_DEBUG(log, "Getting current time");
    CIMDateTime started = CIMDateTime::getCurrentDateTime();
    VLK_LOG_DEBUG(log, "current time is: " << started.toString());
    writeToResults("TestStartTime", CIMValue(started));
    writeToResults("TimeStamp", CIMValue(started));

    VLK_LOG_DEBUG(log, "Creating Loop Control");
    VLK_DiagLoopControls loopControls(_testName, _deviceID, _results);
    Uint16 loopCode = loopControls.getThisTestLoopControl();
    bool looping = loopCode != VLK_DiagLoopControls::ONCE;
    for (;;) {
        _lastRun.reset();
        bool ran = doVLKTest(_deviceID);
        VLK_LOG_DEBUG(log, "TEST COMPLETE");
        // A loop counts each run by its final state, so it follows each run
        // to its end; a start that failed or a discontinued run ends it.
        if (looping && ran) {
            waitForLastRun();
        }
        if (!ran || (_lastRun && _lastRun->wasTerminated()) ||
            loopControls.continueLoopingCheck(loopCode)) {
            break;
        }
        if (looping) {
            writeToResults("TestState", CIMValue(STATE_IN_PROGRESS));
        }
    }
    _lastRun.reset();

    CIMDateTime completed = CIMDateTime::getCurrentDateTime();
    writeToResults("TestCompletionTime", CIMValue(completed));
    writeToResults("TimeStamp", CIMValue(completed));
    setTestProperty(_testName, "IsInUse", CIMValue(Boolean(false)));
    VLK_LOG_DEBUG(log, "executeTest(...) return " << 0);
    return 0;
}

void VLK_DiagTest::waitForLastRun() {
    while (_lastRun && !_lastRun->isComplete()) {
        sleepOneSecond();
        _lastRun->update();
    }
}

bool VLK_DiagTest::doVLKTest(const String& deviceID) {
    VLK_LOG_INFO(log, " In doVLKTest(...) ");
    VLK_LOG_DEBUG(log, "Entering engine lock for " << _testName << " on " << deviceID);
    VLK_Engine::AutoLock lock;
    VLK_LOG_DEBUG(log, "Past engine lock for " << _testName << " on " << deviceID);
    CTestEnvironment* te = VLK_Engine::getTestEnvironment();
    const unsigned long generation = VLK_Engine::environmentGeneration();
    CScenario* pScenario = nullptr;
    CCycle* pCycle = VLK_Engine::getNewTestCycle(te, _testName, deviceID, &pScenario);

    String actionsKey = VLK_Engine::getRecommnedActionsTestName(_testName);
    VLK_LOG_DEBUG(log, "Recommended actions key " << actionsKey);
    Array<String> actions = VLK_RecommendedActions::getAllActions(actionsKey);
    VLK_LOG_DEBUG(log, actions.size() << " recommended actions");
    writeToResults("ActionOnFailure", CIMValue(actions));

    CTestRun* pTestRun = nullptr;
    const char* failure = START_FAILURE_TEXT;
    try {
        VLK_ASSERT(log, SOURCE_NAME, pCycle);
        VLK_ASSERT(log, SOURCE_NAME, pScenario);
        VLK_LOG_DEBUG(log, "Starting Cycle with tests: " << pCycle->GetTestRunArraySize());
        pScenario->Start(true, 1000);
        VLK_LOG_DEBUG(log, "Cycle Started");
        lock.Unlock();
        VLK_LOG_DEBUG(log, "GetCurrentTest()  " << pCycle->GetCurrentPassCount());

        // The engine lock is taken for each look only: the environment may
        // be replaced meanwhile, and then these objects are gone.
        for (int waited = 0; pTestRun == nullptr && waited < START_WAIT_SECONDS; waited++) {
            sleepOneSecond();
            VLK_Engine::AutoLock look;
            if (VLK_Engine::environmentGeneration() != generation) {
                VLK_LOG_ERROR(log, "engine lost before the test started");
                failure = "ENGINE LOST";
                pCycle = nullptr;
                break;
            }
            CCycle::State state = pCycle->GetState();
            VLK_LOG_DEBUG(log, " --- Cycle State : " << CCycle::CycleStateToString(state));
            if (state == CCycle::DEVICEINUSE) {
                writeTestResults(text(CCycle::CycleStateToString(state)));
                writeToResults("TestState", CIMValue(STATE_BUSY));
                writeToResults("OtherStateDescription",
                               CIMValue(text(CCycle::CycleStateToString(state))));
                writeToResults("ActionOnFailure",
                               CIMValue(VLK_RecommendedActions::getAllActions(BUSY_ACTIONS_KEY)));
                VLK_Engine::releaseScenario(pScenario);
                return false;
            }
            pTestRun = pCycle->GetFirstTestRun();
            // A cycle that ended without a run will not start one any more.
            if (pTestRun == nullptr && state != CCycle::RUNNING && state != CCycle::IDLE) {
                break;
            }
        }
    } catch (const std::exception& e) {
        VLK_LOG_ERROR(log, "Testing exception: " << e.what());
    } catch (...) {
        VLK_LOG_ERROR(log, "Testing exception: unknown");
    }
    VLK_LOG_DEBUG(log, "Cycle Started before loop");
    if (pTestRun == nullptr) {
        VLK_LOG_ERROR(log, "Error starting test");
        std::optional<VLK_Engine::AutoLock> relock;
        if (!lock.held()) {
            relock.emplace();
        }
        if (pCycle != nullptr && VLK_Engine::environmentGeneration() == generation) {
            VLK_Engine::releaseScenario(pScenario);
        }
        recordStartFailure(failure);
        return false;
    }

    std::shared_ptr<VLK_RunningTest> record;
    {
        // Made under the lock: the record belongs to this environment.
        VLK_Engine::AutoLock look;
        if (VLK_Engine::environmentGeneration() != generation) {
            recordStartFailure("ENGINE LOST");
            return false;
        }
        std::string processID;
        unsigned int pass = 0;
        pTestRun->GetPassCount(pass);
        pTestRun->GetProcessID(processID);
        VLK_LOG_DEBUG(log, "Starting  -- Pass " << pass);
        VLK_LOG_DEBUG(log, "Test PID " << processID);
        record = std::make_shared<VLK_RunningTest>(deviceID, _testName, text(processID), _results,
                                                   pCycle, pTestRun, pScenario);
    }
    sleepOneSecond();
    record->update();
    if (!record->isComplete()) {
        VLK_Engine::addRunningTest(record);
    }
    _lastRun = record;
    VLK_LOG_DEBUG(log, "10");
    return true;
}

void VLK_DiagTest::recordStartFailure(const char* why) {
    writeTestResults(why);
    writeToResults("TestState", CIMValue(STATE_OTHER));
    writeToResults("OtherStateDescription", CIMValue(String(why)));
}

PEGASUS_NAMESPACE_END
