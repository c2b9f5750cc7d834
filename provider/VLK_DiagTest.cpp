#include "VLK_DiagTest.h"

#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/Exception.h>
#include <Pegasus/Provider/ProviderException.h>

#include "Device.h"
#include "Test.h"
#include "TestEnvironment.h"
#include "VLK_Assert.h"
#include "VLK_ComputerSystem.h"
#include "VLK_Engine.h"
#include "VLK_Log.h"
#include "VLK_RequestContext.h"

using VELKCORE::CDevice;
using VELKCORE::CTest;
using VELKCORE::CTestEnvironment;

PEGASUS_NAMESPACE_BEGIN

log4cpp::Category& VLK_DiagTest::log = log4cpp::Category::getInstance("VLK_DiagTest");

namespace {

const char* const SOURCE_NAME = "VLK_DiagTest";
const char* const CLASS_NAME = "VLK_DiagTest";

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

PEGASUS_NAMESPACE_END
