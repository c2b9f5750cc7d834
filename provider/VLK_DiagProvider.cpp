#include "VLK_DiagProvider.h"

#include <memory>

#include <Pegasus/Common/InternalException.h>
#include <Pegasus/Common/System.h>
#include <Pegasus/Provider/ProviderException.h>
#include <log4cpp/Configurator.hh>
#include <log4cpp/PropertyConfigurator.hh>

#include "VLK_CIM_InParameterHandler.h"
#include "VLK_DiagResultForMSE.h"
#include "VLK_DiagResultForTest.h"
#include "VLK_DiagTest.h"
#include "VLK_DiagTestForMSE.h"
#include "VLK_DiagTestSoftwareAssoc.h"
#include "VLK_Engine.h"
#include "VLK_HomeDir.h"
#include "VLK_Log.h"
#include "VLK_MSEBuilder.h"
#include "VLK_RequestContext.h"

PEGASUS_NAMESPACE_BEGIN

namespace {

// Source file name carried by the provider's assertion and log failures.
const char* const SOURCE_NAME = "VLK_DiagProvider";
// TestState of a result whose test a client asked to discontinue.
const Uint16 DISCONTINUE_REQUESTED = 7;

// The builder of an association class, constructed with that class's roles,
// or null when className names no association class.  Builders live for one
// request and compute their instances when constructed.
std::unique_ptr<VLK_CIM_AssociationBuilder> makeAssociationBuilder(const CIMOMHandle& cimom,
                                                                   const String& className,
                                                                   VLK_DiagResult& results) {
    if (String::equalNoCase(className, VLK_DiagProvider::DIAG_RESULT_FOR_MSE)) {
        return std::make_unique<VLK_DiagResultForMSE>(
            cimom, VLK_DiagProvider::DIAG_RESULT_FOR_MSE, "Result", "SystemElement",
            VLK_DiagProvider::DIAG_RESULT, "VLK_Device", results);
    }
    if (String::equalNoCase(className, VLK_DiagProvider::DIAG_RESULT_FOR_TEST)) {
        return std::make_unique<VLK_DiagResultForTest>(
            cimom, VLK_DiagProvider::DIAG_RESULT_FOR_TEST, "DiagnosticResult", "DiagnosticTest",
            VLK_DiagProvider::DIAG_RESULT, VLK_DiagProvider::DIAG_TEST, results);
    }
    if (String::equalNoCase(className, VLK_DiagProvider::DIAG_TEST_FOR_MSE)) {
        return std::make_unique<VLK_DiagTestForMSE>(cimom, VLK_DiagProvider::DIAG_TEST_FOR_MSE,
                                                    "Antecedent", "Dependent",
                                                    VLK_DiagProvider::DIAG_TEST, "VLK_Device");
    }
    if (String::equalNoCase(className, VLK_DiagProvider::DIAG_TEST_SOFTWARE_ASSOC)) {
        return std::make_unique<VLK_DiagTestSoftwareAssoc>(
            cimom, VLK_DiagProvider::DIAG_TEST_SOFTWARE_ASSOC, "Antecedent", "Dependent",
            VLK_DiagProvider::DIAG_TEST_SOFTWARE, VLK_DiagProvider::DIAG_TEST);
    }
    return nullptr;
}

// A get of a result association reads results, which running tests change.
bool refreshesBeforeGet(const String& className) {
    return String::equalNoCase(className, VLK_DiagProvider::DIAG_RESULT_FOR_MSE) ||
           String::equalNoCase(className, VLK_DiagProvider::DIAG_RESULT_FOR_TEST);
}

bool isAssociationClass(const String& className) {
    return refreshesBeforeGet(className) ||
           String::equalNoCase(className, VLK_DiagProvider::DIAG_TEST_FOR_MSE) ||
           String::equalNoCase(className, VLK_DiagProvider::DIAG_TEST_SOFTWARE_ASSOC);
}

}  // namespace

log4cpp::Category& VLK_DiagProvider::log = log4cpp::Category::getInstance("VLK_DiagProvider");
std::string VLK_DiagProvider::VLKHomeDir = VLK_ResolveHomeDir();

const String VLK_DiagProvider::DIAG_TEST("VLK_DiagTest");
const String VLK_DiagProvider::DIAG_RESULT("VLK_DiagResult");
const String VLK_DiagProvider::DIAG_RESULT_FOR_MSE("VLK_DiagResultForMSE");
const String VLK_DiagProvider::DIAG_RESULT_FOR_TEST("VLK_DiagResultForTest");
const String VLK_DiagProvider::DIAG_TEST_FOR_MSE("VLK_DiagTestForMSE");
const String VLK_DiagProvider::DIAG_TEST_SOFTWARE_ASSOC("VLK_DiagTestSoftwareAssoc");
const String VLK_DiagProvider::DIAG_TEST_SOFTWARE("VLK_TestSoftware");
const String VLK_DiagProvider::DIAG_MSE_DISK_DRIVE("VLK_DiskDrive");
const String VLK_DiagProvider::DIAG_MSE_OPTICAL_DRIVE("VLK_OpticalDrive");
const String VLK_DiagProvider::DIAG_MSE_CPU("VLK_Processor");
const String VLK_DiagProvider::DIAG_MSE_DISKETTE_DRIVE("VLK_DisketteDrive");
const String VLK_DiagProvider::DIAG_MSE_SERIAL("VLK_SerialPort");
const String VLK_DiagProvider::DIAG_MSE_LPT("VLK_ParallelPort");

VLK_DiagProvider::VLK_DiagProvider() {}

VLK_DiagProvider::~VLK_DiagProvider() {}

Array<String> VLK_DiagProvider::getSupportedMSEClasses() {
    Array<String> classes;
    classes.append(DIAG_MSE_DISK_DRIVE);
    classes.append(DIAG_MSE_OPTICAL_DRIVE);
    classes.append(DIAG_MSE_CPU);
    classes.append(DIAG_MSE_DISKETTE_DRIVE);
    classes.append(DIAG_MSE_SERIAL);
    classes.append(DIAG_MSE_LPT);
    return classes;
}

Boolean VLK_DiagProvider::isSupportedMSE(const String& className) {
    Array<String> classes = getSupportedMSEClasses();
    for (Uint32 i = 0; i < classes.size(); i++) {
        if (String::equalNoCase(classes[i], className)) {
            return true;
        }
    }
    return false;
}

void VLK_DiagProvider::initialize(CIMOMHandle& cimom) {
    _cimom = cimom;
    _cimom.disallowProviderUnload();
    VLKHomeDir = VLK_ResolveHomeDir();
    try {
        log4cpp::PropertyConfigurator::configure(VLKHomeDir + "/velklog.props");
    } catch (const log4cpp::ConfigureFailure& failure) {
        String message(SOURCE_NAME);
        message.append(String(" log4cpp error: "));
        message.append(String(failure.what()));
        throw CIMException(CIM_ERR_FAILED, message);
    }
    VLK_LOG_INFO(log, "initialize(...) done");
}

void VLK_DiagProvider::terminate() {
    VLK_LOG_INFO(log, "In terminate provider call");
    VLK_Engine::Stop();
    VLK_LOG_INFO(log, "VLK_Engine stopped. Shutting down log4cpp...");
    log4cpp::Category::shutdown();
    System::sleep(1);
    delete this;
}

void VLK_DiagProvider::acceptReference(const CIMObjectPath& reference, const char* what, int line) {
    std::string argument(what);
    if (reference.getHost().size() == 0) {
        VLK_LOG_ERROR(log, "Assert Failed");
        throw AssertionFailureException(SOURCE_NAME, line,
                                        (argument + ".getHost().size()>0").c_str());
    }
    if (reference.getNameSpace().getString().size() == 0) {
        VLK_LOG_ERROR(log, "Assert Failed");
        throw AssertionFailureException(
            SOURCE_NAME, line, (argument + ".getNameSpace().getString().size()>0").c_str());
    }
    VLK_SetHostName(reference.getHost());
    VLK_SetNameSpace(reference.getNameSpace());
}

void VLK_DiagProvider::getInstance(const OperationContext& context,
                                   const CIMObjectPath& instanceReference,
                                   const Boolean includeQualifiers,
                                   const Boolean includeClassOrigin,
                                   const CIMPropertyList& propertyList,
                                   InstanceResponseHandler& handler) {
    VLK_LOG_INFO(log, "In getInstance IF call");
    VLK_LOG_INFO(log, "    for ref: " << instanceReference.toString());
    handler.processing();
    acceptReference(instanceReference, "instanceReference", __LINE__);

    String className = instanceReference.getClassName().getString();
    const char* prefix = "   In getInstance IF call for ";
    if (String::equalNoCase(className, DIAG_TEST)) {
        VLK_LOG_INFO(log, prefix << className);
        VLK_DiagTest tests(_cimom);
        handler.deliver(tests.getTestInstance(instanceReference));
    } else if (String::equalNoCase(className, DIAG_RESULT)) {
        VLK_LOG_INFO(log, prefix << className);
        VLK_Engine::update();
        handler.deliver(_results.getResultInstance(instanceReference));
    } else if (isAssociationClass(className)) {
        bool softwareAssociation = String::equalNoCase(className, DIAG_TEST_SOFTWARE_ASSOC);
        VLK_LOG_INFO(log, (softwareAssociation ? ")    In getInstance IF call for " : prefix)
                              << className);
        if (refreshesBeforeGet(className)) {
            VLK_Engine::update();
        }
        CIMInstance instance = makeAssociationBuilder(_cimom, className, _results)
                                   ->getAssocInstance(instanceReference);
        if (softwareAssociation) {
            VLK_LOG_DEBUG(log, "calling handler.deliver");
        }
        handler.deliver(instance);
    }
    if (isSupportedMSE(className)) {
        VLK_LOG_INFO(log, prefix << className);
        VLK_MSEBuilder* builder = VLK_MSEBuilder::getInstance(_cimom, className);
        VLK_LOG_INFO(log, "   making call to getMSEInstance");
        handler.deliver(builder->getMSEInstance(instanceReference));
    }

    VLK_LOG_INFO(log, "Calling handler.complete()");
    handler.complete();
    VLK_LOG_INFO(log, "Finished handler.complete()");
}

void VLK_DiagProvider::enumerateInstances(const OperationContext& context,
                                          const CIMObjectPath& classReference,
                                          const Boolean includeQualifiers,
                                          const Boolean includeClassOrigin,
                                          const CIMPropertyList& propertyList,
                                          InstanceResponseHandler& handler) {
    VLK_LOG_INFO(log, "In enumerateInstances IF call");
    handler.processing();
    acceptReference(classReference, "classReference", __LINE__);

    String className = classReference.getClassName().getString();
    const char* prefix = "   In enumerateInstances IF call for ";
    if (String::equalNoCase(className, DIAG_TEST)) {
        VLK_LOG_INFO(log, prefix << className);
        VLK_DiagTest tests(_cimom);
        handler.deliver(tests.enumTestInstances());
    } else if (String::equalNoCase(className, DIAG_RESULT)) {
        VLK_LOG_INFO(log, " In enumerateInstances IF call for " << className);
        // Listed results show their runs' progress, as a get of each would.
        VLK_Engine::update();
        handler.deliver(_results.enumResultInstances());
    } else if (isAssociationClass(className)) {
        VLK_LOG_INFO(log, prefix << className);
        handler.deliver(makeAssociationBuilder(_cimom, className, _results)->enumAssocInstances());
    }
    if (isSupportedMSE(className)) {
        VLK_LOG_INFO(log, prefix << className);
        handler.deliver(VLK_MSEBuilder::getInstance(_cimom, className)->enumMSEInstances());
    }

    VLK_LOG_INFO(log, "Calling handler.complete()");
    handler.complete();
    VLK_LOG_INFO(log, "Finished handler.complete()");
}

void VLK_DiagProvider::enumerateInstanceNames(const OperationContext& context,
                                              const CIMObjectPath& classReference,
                                              ObjectPathResponseHandler& handler) {
    VLK_LOG_INFO(log, "In enumerateInstanceNames IF call");
    handler.processing();
    acceptReference(classReference, "classReference", __LINE__);

    String className = classReference.getClassName().getString();
    VLK_LOG_INFO(log, "In enumerateInstanceNames IF call " << classReference.toString());
    const char* prefix = "   In enumerateInstanceNames IF call for ";
    if (String::equalNoCase(className, DIAG_TEST)) {
        VLK_LOG_INFO(log, prefix << className);
        VLK_DiagTest tests(_cimom);
        handler.deliver(tests.enumTestReferences());
    } else if (String::equalNoCase(className, DIAG_RESULT)) {
        VLK_LOG_INFO(log, prefix << className);
        handler.deliver(_results.enumResultReferences());
    } else if (isAssociationClass(className)) {
        VLK_LOG_INFO(log, prefix << className);
        handler.deliver(makeAssociationBuilder(_cimom, className, _results)->enumAssocReferences());
    }
    if (isSupportedMSE(className)) {
        VLK_LOG_INFO(log, prefix << className);
        handler.deliver(VLK_MSEBuilder::getInstance(_cimom, className)->enumMSEReferences());
    }

    VLK_LOG_INFO(log, "Calling handler.complete()");
    handler.complete();
    VLK_LOG_INFO(log, "Finished handler.complete()");
}

void VLK_DiagProvider::createInstance(const OperationContext& context,
                                      const CIMObjectPath& instanceReference,
                                      const CIMInstance& instanceObject,
                                      ObjectPathResponseHandler& handler) {
    VLK_LOG_INFO(log, "In createInstance: not supported\n");
    throw CIMNotSupportedException("VLK_DiagProvider::createInstance");
}

void VLK_DiagProvider::modifyInstance(const OperationContext& context,
                                      const CIMObjectPath& instanceReference,
                                      const CIMInstance& instanceObject,
                                      const Boolean includeQualifiers,
                                      const CIMPropertyList& propertyList,
                                      ResponseHandler& handler) {
    VLK_LOG_INFO(log, "In modifyInstance: not supported\n");
    throw CIMNotSupportedException("VLK_DiagProvider::modifyInstance");
}

void VLK_DiagProvider::deleteInstance(const OperationContext& context,
                                      const CIMObjectPath& instanceReference,
                                      ResponseHandler& handler) {
    VLK_LOG_INFO(log, "In deleteInstance: not supported\n");
    throw CIMNotSupportedException("VLK_DiagProvider::deleteInstance");
}

void VLK_DiagProvider::invokeMethod(const OperationContext& context,
                                    const CIMObjectPath& objectReference, const CIMName& methodName,
                                    const Array<CIMParamValue>& inParameters,
                                    MethodResultResponseHandler& handler) {
    VLK_LOG_INFO(log, "Invoke Method");
    handler.processing();
    VLK_LOG_DEBUG(log, "parameter count: " << inParameters.size());
    for (Uint32 i = 0; i < inParameters.size(); i++) {
        VLK_LOG_DEBUG(log, "param name: " << inParameters[i].getParameterName());
    }
    if (objectReference.getNameSpace().getString().size() == 0) {
        VLK_LOG_ERROR(log, "Assert Failed");
        throw AssertionFailureException(SOURCE_NAME, __LINE__,
                                        "objectReference.getNameSpace().getString().size()>0");
    }
    VLK_SetNameSpace(objectReference.getNameSpace());
    if (objectReference.getHost().size() > 0) {
        VLK_SetHostName(objectReference.getHost());
    } else {
        VLK_LOG_DEBUG(log, "Using empty-host hack: assuming hostname already set.");
        if (VLK_GetHostName().size() == 0) {
            VLK_LOG_ERROR(log, "Assert Failed");
            throw AssertionFailureException(SOURCE_NAME, __LINE__, "VLK_GetHostName().size()>0");
        }
    }

    if (String::equalNoCase(objectReference.getClassName().getString(), DIAG_TEST)) {
        String deviceID = VLK_CIM_InParameterHandler::getKeyValueFromParam(
            inParameters, "SystemElement", "DeviceID");
        if (deviceID.size() == 0) {
            VLK_LOG_ERROR(log, "DeviceID not found in parameter list");
            throw CIMException(CIM_ERR_FAILED,
                               "invokeMethod: DeviceID not found in parameter list");
        }
        String testName = VLK_CIM_InParameterHandler::getKeyValue(objectReference, "Name");
        if (testName.size() == 0) {
            VLK_LOG_ERROR(log, "Name not found in objectReference");
            throw CIMException(CIM_ERR_FAILED, "invokeMethod: Name not found in objectReference");
        }
        String method = methodName.getString();
        if (String::equalNoCase(method, "RunTest")) {
            VLK_LOG_INFO(log, "In invokeMethod RunTest: " << testName);
            Array<Uint16> loopControls;
            Array<String> loopControlParameters;
            VLK_CIM_InParameterHandler(inParameters)
                .readLoopControls(loopControls, loopControlParameters);
            VLK_DiagTest test(_cimom, testName, deviceID);
            test.setLoopControls(loopControls, loopControlParameters);
            Array<CIMParamValue> outParameters;
            CIMValue returned = test.processTest(outParameters);
            handler.deliverParamValue(outParameters);
            handler.deliver(returned);
        } else if (String::equalNoCase(method, "ClearResults")) {
            VLK_LOG_INFO(log, "In invokeMethod ClearResults");
            handler.deliver(CIMValue(Uint32(0)));
        } else if (String::equalNoCase(method, "DiscontinueTest")) {
            VLK_LOG_INFO(log, "In invokeMethod DiscontinueTest");
            VLK_Engine::AutoLock lock;
            VLK_Engine::StopTest(testName, deviceID);
            lock.Unlock();
            VLK_LOG_DEBUG(log, "deviceID " << deviceID << " - testName " << testName);
            if (_results.getResultProperty(testName, deviceID, "TestState") ==
                CIMValue(Uint32(VLK_DiagResult::NOT_FOUND))) {
                VLK_LOG_ERROR(log,
                              "Error setting TERMINATE state in result - the result "
                              "probably does not exist");
            } else {
                _results.setResultProperty(testName, deviceID, "TestState",
                                           CIMValue(Uint16(DISCONTINUE_REQUESTED)));
            }
            Array<CIMParamValue> outParameters;
            outParameters.append(CIMParamValue("TestingStopped", CIMValue(Boolean(true))));
            handler.deliverParamValue(outParameters);
        } else if (String::equalNoCase(method, "StartService") ||
                   String::equalNoCase(method, "StopService")) {
            bool start = String::equalNoCase(method, "StartService");
            VLK_LOG_INFO(log, "In invokeMethod " << (start ? "StartService" : "StopService")
                                                 << ": method not supported");
            throw CIMNotSupportedException(start ? "VLK_DiagProvider::StartService"
                                                 : "VLK_DiagProvider::StopService");
        }
    }

    VLK_LOG_INFO(log, "Invoke Method complete; calling handler.complete()");
    handler.complete();
    VLK_LOG_INFO(log, "Finished handler.complete()");
}

extern "C" PEGASUS_EXPORT CIMProvider* PegasusCreateProvider(const String& providerName) {
    if (String::equalNoCase(providerName, "VLK_DiagProvider")) {
        return new VLK_DiagProvider();
    }
    return 0;
}

PEGASUS_NAMESPACE_END
