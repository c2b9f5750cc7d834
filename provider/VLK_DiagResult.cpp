#include "VLK_DiagResult.h"

#include <mutex>
#include <string>

#include <Pegasus/Common/CIMDateTime.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Provider/ProviderException.h>

#include "VLK_ComputerSystem.h"
#include "VLK_Log.h"
#include "VLK_PathInstancePairs.h"
#include "VLK_RequestContext.h"

PEGASUS_NAMESPACE_BEGIN

log4cpp::Category& VLK_DiagResult::log = log4cpp::Category::getInstance("VLK_DiagResult");

namespace {

const Uint16 STATE_IN_PROGRESS = 4;
const Uint16 STATE_BUSY = 5;

// The results of every handle.  One mutex makes each operation, including
// the look-up, removal and rebuild of createResult, atomic.
struct ResultStore {
    std::recursive_mutex mutex;
    VLK_PathInstancePairs res_ref_inst;
    int createCalls = 0;
};

ResultStore& store() {
    static ResultStore instance;
    return instance;
}

typedef std::lock_guard<std::recursive_mutex> StoreLock;

String stringValue(const CIMInstance& instance, const char* name) {
    Uint32 index = instance.findProperty(CIMName(name));
    String text;
    if (index != PEG_NOT_FOUND) {
        const CIMValue& value = instance.getProperty(index).getValue();
        if (!value.isNull() && !value.isArray() && value.getType() == CIMTYPE_STRING) {
            value.get(text);
        }
    }
    return text;
}

}  // namespace

VLK_DiagResult::VLK_DiagResult() : runNumber(0) {}

VLK_DiagResult::VLK_DiagResult(const CIMOMHandle& cimom) : runNumber(0), _cimom(cimom) {}

VLK_DiagResult::~VLK_DiagResult() {}

String VLK_DiagResult::getExecutionID(String deviceID, int run) const {
    String id(deviceID);
    id.append(String(":run"));
    id.append(String(std::to_string(run).c_str()));
    return id;
}

bool VLK_DiagResult::createResult(CIMOMHandle& cimom, const String& testName,
                                  const String& deviceID) {
    // Fetched before the store is locked: it may ask the CIM server.
    VLK_ComputerSystem::GetInstance(cimom);
    ResultStore& results = store();
    StoreLock lock(results.mutex);
    int calls = ++results.createCalls;
    VLK_LOG_INFO(log, "In createResult");
    runNumber = 0;
    Uint32 index = getRefInstIndex(testName, getExecutionID(deviceID, 0));
    if (index == NOT_FOUND) {
        VLK_LOG_INFO(log, "result object not found, creating.");
        buildTestResult(cimom, testName, getExecutionID(deviceID, 0));
    } else if (getPropertyValue(index, "TestState") == CIMValue(STATE_IN_PROGRESS)) {
        VLK_LOG_INFO(log, "running result object found, creating busy result object.");
        runNumber = calls;
        buildTestResult(cimom, testName, getExecutionID(deviceID, runNumber));
        setResultProperty(testName, deviceID, "TestState", CIMValue(STATE_BUSY));
        setResultPropertyTestResults(testName, deviceID, "DEVICEINUSE");
    } else {
        VLK_LOG_INFO(log, "non-running result object found, removing.");
        removeOldResults(testName, deviceID);
        buildTestResult(cimom, testName, getExecutionID(deviceID, 0));
    }
    if (getRefInstIndex(testName, getExecutionID(deviceID, runNumber)) == NOT_FOUND) {
        VLK_LOG_INFO(log, "result object that was just found/created couldn't be found.");
        return false;
    }
    VLK_LOG_INFO(log, "successfully refound object that was just found/created.");
    return true;
}

void VLK_DiagResult::removeOldResults(String testName, String deviceID) {
    ResultStore& results = store();
    StoreLock lock(results.mutex);
    // The device's own results only: "<deviceID>:run", not every device
    // whose ID merely begins with deviceID.
    std::string prefix(static_cast<const char*>(getExecutionID(deviceID, 0).getCString()));
    prefix.pop_back();
    for (auto it = results.res_ref_inst.begin(); it != results.res_ref_inst.end();) {
        if (stringValue(it->second, "DiagnosticName") != testName) {
            ++it;
            continue;
        }
        String executionID = stringValue(it->second, "ExecutionID");
        VLK_LOG_DEBUG(log, "executionID: " << executionID << ", deviceID: " << deviceID);
        std::string id(static_cast<const char*>(executionID.getCString()));
        if (id.compare(0, prefix.size(), prefix) == 0) {
            VLK_LOG_DEBUG(log, "old result removed.");
            it = results.res_ref_inst.erase(it);
        } else {
            ++it;
        }
    }
}

void VLK_DiagResult::buildTestResult(CIMOMHandle& cimom, const String& testName,
                                     const String& executionID) const {
    VLK_LOG_INFO(log, "      In VLK_DiagResult::buildTestResult");
    VLK_ComputerSystem system = VLK_ComputerSystem::GetInstance(cimom);
    const String className("VLK_DiagResult");
    const String testClassName("VLK_DiagTest");

    CIMInstance instance{CIMName(className)};
    instance.addProperty(CIMProperty(CIMName("DiagnosticName"), CIMValue(testName)));
    instance.addProperty(
        CIMProperty(CIMName("DiagnosticCreationClassName"), CIMValue(testClassName)));
    instance.addProperty(CIMProperty(CIMName("ExecutionID"), CIMValue(executionID)));
    instance.addProperty(CIMProperty(CIMName("DiagSystemName"), CIMValue(system.GetName())));
    instance.addProperty(CIMProperty(CIMName("DiagSystemCreationClassName"),
                                     CIMValue(system.GetCreationClassName())));
    buildDefaultResultProperties(instance);

    Array<CIMKeyBinding> keys;
    keys.append(CIMKeyBinding(CIMName("DiagnosticName"), testName, CIMKeyBinding::STRING));
    keys.append(CIMKeyBinding(CIMName("DiagnosticCreationClassName"), testClassName,
                              CIMKeyBinding::STRING));
    keys.append(CIMKeyBinding(CIMName("ExecutionID"), executionID, CIMKeyBinding::STRING));
    keys.append(CIMKeyBinding(CIMName("DiagSystemName"), system.GetName(), CIMKeyBinding::STRING));
    keys.append(CIMKeyBinding(CIMName("DiagSystemCreationClassName"), system.GetCreationClassName(),
                              CIMKeyBinding::STRING));
    CIMObjectPath path(VLK_GetHostName(), VLK_GetNameSpace(), CIMName(className), keys);
    VLK_LOG_DEBUG(log, "btr: CIMObjectPath = " << path.toString());
    instance.setPath(path);

    ResultStore& results = store();
    StoreLock lock(results.mutex);
    results.res_ref_inst.emplace_back(path, instance);
}

void VLK_DiagResult::buildDefaultResultProperties(CIMInstance& instance) {
    instance.addProperty(CIMProperty(CIMName("TimeStamp"), CIMValue(CIMDateTime())));
    instance.addProperty(CIMProperty(CIMName("TestStartTime"), CIMValue(CIMDateTime())));
    instance.addProperty(CIMProperty(CIMName("TestCompletionTime"), CIMValue(CIMDateTime())));
    instance.addProperty(CIMProperty(CIMName("IsPackage"), CIMValue(Boolean(false))));
    instance.addProperty(CIMProperty(CIMName("TestState"), CIMValue(Uint16(0))));
    instance.addProperty(CIMProperty(CIMName("OtherStateDescription"), CIMValue(String())));
    instance.addProperty(CIMProperty(CIMName("EstimatedTimeOfPerforming"), CIMValue(Uint32(0))));
    instance.addProperty(CIMProperty(CIMName("TestResults"), CIMValue(Array<String>())));
    instance.addProperty(CIMProperty(CIMName("PercentComplete"), CIMValue(Uint8(0))));
    instance.addProperty(CIMProperty(CIMName("TestWarningLevel"), CIMValue(Uint16(0))));
    instance.addProperty(CIMProperty(CIMName("ReportSoftErrors"), CIMValue(Boolean(false))));
    instance.addProperty(CIMProperty(CIMName("ReportStatusMessages"), CIMValue(Boolean(false))));
    instance.addProperty(CIMProperty(CIMName("HaltOnError"), CIMValue(Boolean(false))));
    instance.addProperty(CIMProperty(CIMName("QuickMode"), CIMValue(Boolean(false))));
    instance.addProperty(CIMProperty(CIMName("PercentOfTestCoverage"), CIMValue(Uint8(0))));
    instance.addProperty(CIMProperty(CIMName("LoopControlParameter"), CIMValue(Array<String>())));
    instance.addProperty(CIMProperty(CIMName("LoopControl"), CIMValue(Array<Uint16>())));
    instance.addProperty(
        CIMProperty(CIMName("OtherLoopControlDescription"), CIMValue(Boolean(true))));
    instance.addProperty(CIMProperty(CIMName("ErrorCode"), CIMValue(Array<String>())));
    instance.addProperty(CIMProperty(CIMName("ActionOnFailure"), CIMValue(Array<String>())));
    instance.addProperty(CIMProperty(CIMName("ErrorCount"), CIMValue(Array<Uint32>())));
    instance.addProperty(CIMProperty(CIMName("LoopsFailed"), CIMValue(Uint32(0))));
    instance.addProperty(CIMProperty(CIMName("LoopsPassed"), CIMValue(Uint32(0))));
}

Uint32 VLK_DiagResult::getRefInstIndex(const String& testName, const String& executionID) const {
    ResultStore& results = store();
    StoreLock lock(results.mutex);
    for (Uint32 i = 0; i < results.res_ref_inst.size(); i++) {
        const CIMInstance& instance = results.res_ref_inst[i].second;
        if (stringValue(instance, "DiagnosticName") == testName &&
            stringValue(instance, "ExecutionID") == executionID) {
            return i;
        }
    }
    return NOT_FOUND;
}

CIMValue VLK_DiagResult::getPropertyValue(unsigned index, const String& property) const {
    ResultStore& results = store();
    StoreLock lock(results.mutex);
    if (index >= results.res_ref_inst.size()) {
        throw CIMObjectNotFoundException("VLK_DiagResult - result instance not found");
    }
    const CIMInstance& instance = results.res_ref_inst[index].second;
    Uint32 at = instance.findProperty(CIMName(property));
    if (at == PEG_NOT_FOUND) {
        throw CIMPropertyNotFoundException(property);
    }
    return instance.getProperty(at).getValue();
}

CIMValue VLK_DiagResult::getResultProperty(const String& testName, const String& deviceID,
                                           const String& property) const {
    ResultStore& results = store();
    StoreLock lock(results.mutex);
    Uint32 index = getRefInstIndex(testName, getExecutionID(deviceID, runNumber));
    if (index == NOT_FOUND) {
        return CIMValue(Uint32(NOT_FOUND));
    }
    return getPropertyValue(index, property);
}

void VLK_DiagResult::setResultProperty(const String& testName, const String& deviceID,
                                       const String& property, const CIMValue& value) {
    VLK_LOG_DEBUG(log, "         In setResultProperty " << testName << " " << deviceID);
    ResultStore& results = store();
    StoreLock lock(results.mutex);
    Uint32 index = getRefInstIndex(testName, getExecutionID(deviceID, runNumber));
    if (index == NOT_FOUND) {
        VLK_LOG_ERROR(log, "Could not find: " << testName << " " << deviceID);
        return;
    }
    CIMInstance& instance = results.res_ref_inst[index].second;
    Uint32 at = instance.findProperty(CIMName(property));
    if (at == PEG_NOT_FOUND) {
        VLK_LOG_ERROR(log, "Could not find: " << property);
        return;
    }
    instance.getProperty(at).setValue(value);
}

void VLK_DiagResult::setResultPropertyTestResults(const String& testName, const String& deviceID,
                                                  const String& text) {
    ResultStore& results = store();
    StoreLock lock(results.mutex);
    CIMValue current = getResultProperty(testName, deviceID, "TestResults");
    if (current.getType() != CIMTYPE_STRING || !current.isArray()) {
        VLK_LOG_ERROR(log, "Could not find: TestResults");
        return;
    }
    Array<String> entries;
    current.get(entries);
    String entry = CIMDateTime::getCurrentDateTime().toString();
    entry.append(String(" | "));
    entry.append(testName);
    entry.append(String(" | "));
    entry.append(text);
    entries.append(entry);
    setResultProperty(testName, deviceID, "TestResults", CIMValue(entries));
}

CIMObjectPath VLK_DiagResult::getTestResultReference(const String& testName,
                                                     const String& deviceID) const {
    ResultStore& results = store();
    StoreLock lock(results.mutex);
    Uint32 index = getRefInstIndex(testName, getExecutionID(deviceID, runNumber));
    if (index == NOT_FOUND) {
        throw CIMObjectNotFoundException("VLK_DiagResult - result instance not found");
    }
    return results.res_ref_inst[index].first;
}

CIMInstance VLK_DiagResult::getResultInstance(const CIMObjectPath& reference) const {
    VLK_LOG_INFO(log, "getResultInstance() start");
    VLK_LOG_INFO(log, "looking for " << reference.toString());
    ResultStore& results = store();
    StoreLock lock(results.mutex);
    for (const auto& entry : results.res_ref_inst) {
        VLK_LOG_DEBUG(log, "comparing to: " << entry.first.toString());
        if (entry.first == reference) {
            VLK_LOG_INFO(log, "getResultInstance(): found res_instance");
            return entry.second.clone();
        }
    }
    VLK_LOG_INFO(log, "getResultInstance(): result instance not found");
    throw CIMObjectNotFoundException("VLK_DiagResult - result instance not found");
}

Array<CIMInstance> VLK_DiagResult::enumResultInstances() const {
    Array<CIMInstance> instances;
    ResultStore& results = store();
    StoreLock lock(results.mutex);
    for (const auto& entry : results.res_ref_inst) {
        instances.append(entry.second.clone());
    }
    return instances;
}

Array<CIMObjectPath> VLK_DiagResult::enumResultReferences() const {
    Array<CIMObjectPath> paths;
    ResultStore& results = store();
    StoreLock lock(results.mutex);
    for (const auto& entry : results.res_ref_inst) {
        paths.append(entry.first);
    }
    return paths;
}

PEGASUS_NAMESPACE_END
