#include "VLK_DiagTestForMSE.h"

#include <vector>

#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMProperty.h>

#include "VLK_Assert.h"
#include "VLK_DiagProvider.h"
#include "VLK_DiagTest.h"
#include "VLK_Engine.h"
#include "VLK_Log.h"
#include "VLK_MSEBuilder.h"

PEGASUS_NAMESPACE_BEGIN

namespace {

const char* const SOURCE_NAME = "VLK_DiagTestForMSE";

}  // namespace

VLK_DiagTestForMSE::VLK_DiagTestForMSE(const CIMOMHandle& cimom, const String& assocClass,
                                       const String& role1Name, const String& role2Name,
                                       const String& role1Class, const String& role2Class)
    : VLK_CIM_AssociationBuilder(cimom, assocClass, role1Name, role2Name, role1Class, role2Class) {
    VLK_PathInstancePairs tests = getRole1ReferencesInstances();
    VLK_PathInstancePairs devices = getRole2ReferencesInstances();
    _associations = getTestForMSEAssociations(tests, devices);
}

VLK_DiagTestForMSE::~VLK_DiagTestForMSE() {}

VLK_PathInstancePairs VLK_DiagTestForMSE::getRole1ReferencesInstances() {
    VLK_DiagTest catalogue(_cimom);
    VLK_PathInstancePairs tests;
    for (const VLK_DiagTest::RefInstTest& test : catalogue.buildTests()) {
        tests.emplace_back(test.path, test.instance);
    }
    return tests;
}

VLK_PathInstancePairs VLK_DiagTestForMSE::getRole2ReferencesInstances() {
    VLK_PathInstancePairs devices;
    Array<String> classes = VLK_DiagProvider::getSupportedMSEClasses();
    for (Uint32 i = 0; i < classes.size(); i++) {
        VLK_MSEBuilder* builder = VLK_MSEBuilder::getInstance(_cimom, classes[i]);
        VLK_PathInstancePairs pairs =
            makePairArray(builder->enumMSEReferences(), builder->enumMSEInstances());
        devices.insert(devices.end(), pairs.begin(), pairs.end());
    }
    return devices;
}

VLK_PathInstancePairs VLK_DiagTestForMSE::makePairArray(const Array<CIMObjectPath>& paths,
                                                        const Array<CIMInstance>& instances) {
    VLK_ASSERT(log, SOURCE_NAME, paths.size() == instances.size());
    VLK_PathInstancePairs pairs;
    for (Uint32 i = 0; i < paths.size(); i++) {
        pairs.emplace_back(paths[i], instances[i]);
    }
    return pairs;
}

bool VLK_DiagTestForMSE::getStringPropertyFromRef(const CIMInstance& instance, const String& name,
                                                  String& out) {
    out.clear();
    Uint32 index = instance.findProperty(CIMName(name));
    if (index == PEG_NOT_FOUND) {
        VLK_LOG_ERROR(log, "getPropertyFromRef(...) " << name << " of instance not found");
        return false;
    }
    const CIMValue& value = instance.getProperty(index).getValue();
    if (value.getType() != CIMTYPE_STRING || value.isArray() || value.isNull()) {
        VLK_LOG_ERROR(log, "getPropertyFromRef(...) " << name << " of instance not a string");
        return false;
    }
    value.get(out);
    return true;
}

VLK_PathInstancePairs VLK_DiagTestForMSE::getTestForMSEAssociations(
    const VLK_PathInstancePairs& tests, const VLK_PathInstancePairs& devices) {
    VLK_LOG_INFO(log, " In VLK_DiagTestForMSE::getTestForMSEAssociations");
    VLK_ASSERT(log, SOURCE_NAME, _role2Class == "VLK_Device");
    VLK_PathInstancePairs associations;
    VLK_Engine::AutoLock lock;
    VELKCORE::CTestEnvironment* te = VLK_Engine::getTestEnvironment();
    VLK_LOG_DEBUG(log, "device count " << devices.size());
    for (const VLK_PathInstancePair& device : devices) {
        String name, deviceID, creationClassName;
        getStringPropertyFromRef(device.second, "Name", name);
        getStringPropertyFromRef(device.second, "DeviceID", deviceID);
        getStringPropertyFromRef(device.second, "CreationClassName", creationClassName);
        _role2Class = creationClassName;
        for (VELKCORE::CTest* engineTest : VLK_Engine::getTestArrayForDevice(te, name, deviceID)) {
            String cimTestName = VLK_Engine::getCIMTestName(engineTest);
            for (const VLK_PathInstancePair& test : tests) {
                String testName;
                if (!getStringPropertyFromRef(test.second, "Name", testName) ||
                    testName != cimTestName) {
                    continue;
                }
                VLK_LOG_DEBUG(log, "Match! " << testName << " <-***-> device " << deviceID);
                VLK_PathInstancePair association = makeAssociation(test.first, device.first);
                association.second.addProperty(
                    CIMProperty(CIMName("EstimatedTimeOfPerforming"),
                                CIMValue(getEstimatedTimeOfPerforming(testName))));
                association.second.addProperty(
                    CIMProperty(CIMName("IsExclusiveForMSE"), CIMValue(Boolean(true))));
                associations.push_back(association);
            }
        }
    }
    // The next call of this builder starts from the class it was made with.
    _role2Class = "VLK_Device";
    VLK_LOG_INFO(log, "      Leaving VLK_DiagTestForMSE::getTestForMSEAssociations(...)");
    return associations;
}

Sint32 VLK_DiagTestForMSE::getEstimatedTimeOfPerforming(const String&) {
    return 1;
}

Boolean VLK_DiagTestForMSE::getIsExclusiveForMSE(const String&) {
    return false;
}

PEGASUS_NAMESPACE_END
