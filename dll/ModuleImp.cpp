#include "ModuleImp.h"

#include "EngineText.h"
#include "TestEnvironmentImp.h"

namespace VELKCORE {

using detail::FieldText;
using detail::ParseInt;

namespace {

void ReadString(const char* text, const char* element, std::string& target) {
    if (auto value = FieldText(text, element)) {
        target = *value;
    }
}

void ReadToken(const char* text, const char* element, CToken& target) {
    if (auto value = FieldText(text, element)) {
        target = CToken(*value);
    }
}

// A number that is not a whole base-10 integer counts as absent.
void ReadInt(const char* text, const char* element, int& target) {
    if (auto value = FieldText(text, element)) {
        if (auto number = ParseInt(*value)) {
            target = *number;
        }
    }
}

// A non-zero integer is true.
void ReadBool(const char* text, const char* element, bool& target) {
    if (auto value = FieldText(text, element)) {
        if (auto number = ParseInt(*value)) {
            target = *number != 0;
        }
    }
}

std::string Translated(const CToken& token) {
    return token.GetTranslatedString(CTestEnvironmentImp::GetOutputLanguage());
}

}  // namespace

CModuleImp::CModuleImp(const char* componentText) {
    initFromDeviceEnum(componentText);
}

void CModuleImp::init() {
    type_ = -1;
    id_ = "UNDEF";
    name_ = CToken("UNDEF");
    description_ = CToken("UNDEF");
    helpFile_ = "UNDEF";
    osSupported_ = "UNDEF";
    entryExe_ = "UNDEF";
    cdmSupported_ = false;
    cdmDeviceName_ = CToken("UNDEF");
    deviceLevelParallel_ = false;
    testLevelParallel_ = false;
    incompatibleModules_ = "UNDEF";
    resourcesUsed_ = "UNDEF";
    startInitRequested_ = false;
    stopInitRequested_ = false;
    testSetPreInitRequested_ = false;
    testSetPostInitRequested_ = false;
    testLoopStartInitRequested_ = false;
    testLoopStopInitRequested_ = false;
    numberTests_ = -1;
    estimatedTimeLeft_ = 0;
    version_ = "UNDEF";
    fruInfoAvailable_ = false;
}

void CModuleImp::initFromDeviceEnum(const char* componentText) {
    init();
    if (componentText == nullptr) {
        return;
    }
    ReadInt(componentText, "TYPE", type_);
    ReadString(componentText, "ID", id_);
    ReadToken(componentText, "NAME", name_);
    ReadToken(componentText, "DESCRIPTION", description_);
    ReadString(componentText, "HELPFILE", helpFile_);
    ReadString(componentText, "OSSUPPORTED", osSupported_);
    ReadString(componentText, "ENTRYEXE", entryExe_);
    ReadBool(componentText, "CDMSUPPORTED", cdmSupported_);
    ReadToken(componentText, "CDMDEVICENAME", cdmDeviceName_);
    ReadBool(componentText, "DEVPARALLEL", deviceLevelParallel_);
    ReadBool(componentText, "TESTPARLLEL", testLevelParallel_);
    ReadString(componentText, "INCOMPATMODS", incompatibleModules_);
    ReadString(componentText, "RESOURCESUSED", resourcesUsed_);
    ReadBool(componentText, "STARTINITREQ", startInitRequested_);
    ReadBool(componentText, "STOPINITREQ", stopInitRequested_);
    ReadBool(componentText, "SETPREINITREQ", testSetPreInitRequested_);
    ReadBool(componentText, "SETPOSTINITREQ", testSetPostInitRequested_);
    ReadBool(componentText, "LOOPSTARTINITREQ", testLoopStartInitRequested_);
    ReadBool(componentText, "LOOPSTOPINITREQ", testLoopStopInitRequested_);
    ReadInt(componentText, "NUMTESTS", numberTests_);
    ReadInt(componentText, "ESTTIMELEFT", estimatedTimeLeft_);
    ReadString(componentText, "VERSION", version_);
    ReadBool(componentText, "FRUINFOAVAILABLE", fruInfoAvailable_);
}

int CModuleImp::GetType(int& type) const {
    type = type_;
    return 0;
}

int CModuleImp::GetId(std::string& id) const {
    id = id_;
    return 0;
}

int CModuleImp::GetName(std::string& name) const {
    name = Translated(name_);
    return 0;
}

int CModuleImp::GetDescription(std::string& description) const {
    description = Translated(description_);
    return 0;
}

int CModuleImp::GetHelpFile(std::string& file) const {
    file = helpFile_;
    return 0;
}

int CModuleImp::GetVersion(std::string& version) const {
    version = version_;
    return 0;
}

int CModuleImp::GetOsSupported(std::string& os) const {
    os = osSupported_;
    return 0;
}

int CModuleImp::GetEntryExe(std::string& exe) const {
    exe = entryExe_;
    return 0;
}

int CModuleImp::GetCdmSupported(bool& supported) const {
    supported = cdmSupported_;
    return 0;
}

int CModuleImp::GetCdmDeviceName(std::string& name) const {
    name = Translated(cdmDeviceName_);
    return 0;
}

int CModuleImp::GetDeviceLevelParallelTesting(bool& parallel) const {
    parallel = deviceLevelParallel_;
    return 0;
}

int CModuleImp::GetTestLevelParallelTesting(bool& parallel) const {
    parallel = testLevelParallel_;
    return 0;
}

int CModuleImp::GetIncompatibleModules(std::string& modules) const {
    modules = incompatibleModules_;
    return 0;
}

int CModuleImp::GetResourcesUsed(std::string& resources) const {
    resources = resourcesUsed_;
    return 0;
}

int CModuleImp::GetStartInitRequested(bool& requested) const {
    requested = startInitRequested_;
    return 0;
}

int CModuleImp::GetStopInitRequested(bool& requested) const {
    requested = stopInitRequested_;
    return 0;
}

int CModuleImp::GetTestSetPreInitRequested(bool& requested) const {
    requested = testSetPreInitRequested_;
    return 0;
}

int CModuleImp::GetTestSetPostInitRequested(bool& requested) const {
    requested = testSetPostInitRequested_;
    return 0;
}

int CModuleImp::GetTestLoopStartInitRequested(bool& requested) const {
    requested = testLoopStartInitRequested_;
    return 0;
}

int CModuleImp::GetTestLoopStopInitRequested(bool& requested) const {
    requested = testLoopStopInitRequested_;
    return 0;
}

int CModuleImp::GetNumberTests(int& count) const {
    count = numberTests_;
    return 0;
}

int CModuleImp::GetEstimatedTimeLeft(int& seconds) const {
    seconds = estimatedTimeLeft_;
    return 0;
}

int CModuleImp::GetFruInfoAvailable(bool& available) const {
    available = fruInfoAvailable_;
    return 0;
}

}  // namespace VELKCORE
