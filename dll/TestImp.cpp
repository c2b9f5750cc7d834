#include "TestImp.h"

#include <climits>
#include <cstdlib>

#include "DeviceImp.h"
#include "EngineText.h"
#include "ModuleImp.h"
#include "TestEnvironmentImp.h"
#include "TestParamImp.h"
#include "test-common.h"
#include "tracing.h"

namespace VELKCORE {

using detail::FieldText;
using detail::ParseInt;

namespace {

constexpr const char* kPercentToTest = "VELK_BXI2_PERCENT_TO_TEST";

std::string Translated(const CToken& token) {
    return token.GetTranslatedString(CTestEnvironmentImp::GetOutputLanguage());
}

}  // namespace

CTestImp::CTestImp(int deviceId, CModuleImp* module, const char* testText)
    : iface_(new CTest(this)), deviceId_(deviceId), module_(module) {
    initFromDeviceEnum(testText);
    percentToTest_ = std::make_unique<CTestParamImp>(deviceId_, ModuleId(), testId_,
                                                     std::string(kPercentToTest));
}

CTestImp::~CTestImp() {
    if (iface_ != nullptr) {
        CTest* iface = iface_;
        iface_ = nullptr;
        iface->imp_ = nullptr;
        delete iface;
    }
}

void CTestImp::init() {
    name_ = CToken("UNDEF");
    description_ = CToken("UNDEF");
    testId_ = -1;
    helpFile_ = CToken("UNDEF");
    estimatedDuration_ = -1;
    interactive_ = false;
    requiresFixture_ = false;
    fixturePrompt_ = CToken("UNDEF");
    showFixturePromptEveryRun_ = false;
    risky_ = false;
    destructive_ = false;
    softwareDiag_ = false;
    selfFixIfPossible_ = false;
    selfHelp_ = false;
    timeOut_ = -1;
    accessLevel_ = CToken("UNDEF");
    factoryMode_ = false;
    serviceMode_ = false;
    parameters_.clear();
}

void CTestImp::initFromDeviceEnum(const char* testText) {
    init();
    if (testText == nullptr) {
        return;
    }
    if (auto name = FieldText(testText, "NAME")) {
        name_ = CToken(*name);
    }
    if (auto id = FieldText(testText, "ID")) {
        testId_ = ParseInt(*id).value_or(-1);
    }
    if (auto description = FieldText(testText, "DESCRIPTION")) {
        description_ = CToken(*description);
    }
    if (auto helpFile = FieldText(testText, "HELPFILE")) {
        helpFile_ = CToken(*helpFile);
    }
    if (auto duration = FieldText(testText, "EST_DURATION")) {
        estimatedDuration_ = ParseInt(*duration).value_or(-1);
    }
    if (auto flagsText = FieldText(testText, "FLAGS")) {
        if (auto number = ParseInt(*flagsText)) {
            uint32_t flags = static_cast<uint32_t>(*number);
            interactive_ = VelkGetFlagInteractive(flags) != 0;
            requiresFixture_ = VelkGetFlagFixtureNeeded(flags) != 0;
            showFixturePromptEveryRun_ = VelkGetFlagShowFixturePromptEveryRun(flags) != 0;
            risky_ = VelkGetFlagIsRisky(flags) != 0;
            destructive_ = VelkGetFlagIsDestructive(flags) != 0;
            softwareDiag_ = VelkGetFlagIsSoftwareDiag(flags) != 0;
            selfFixIfPossible_ = VelkGetFlagSelfFixPossible(flags) != 0;
            selfHelp_ = VelkGetFlagSelfHelp(flags) != 0;
        }
    }
    if (auto timeOut = FieldText(testText, "TIMEOUT")) {
        timeOut_ = ParseInt(*timeOut).value_or(-1);
    }
    if (auto accessLevel = FieldText(testText, "ACCESSLEVEL")) {
        accessLevel_ = CToken(*accessLevel);
    }
    VTRACE(VELK_TRACE_DLL, "Looking for properties section\n");
    if (auto properties = FieldText(testText, "TEST_PROPERTIES")) {
        AddParamsFromDeviceEnum(properties->c_str());
    }
}

void CTestImp::AddParamsFromDeviceEnum(const char* propertiesText) {
    VTRACE(VELK_TRACE_DLL, "Looking for parameters\n");
    detail::GenStr property;
    detail::ElementWalker walker(propertiesText, "PROPERTY");
    for (int p = 0; p < MAX_PARAMETERS; ++p) {
        if (!walker.Next(property)) {
            VTRACE(VELK_TRACE_DLL, "No More Parameters\n");
            return;
        }
        parameters_.push_back(
            std::make_unique<CTestParamImp>(deviceId_, ModuleId(), testId_, property.CStr()));
        VTRACE(VELK_TRACE_DLL, "Adding Parameter\n");
    }
}

bool CTestImp::IsValid() const {
    return deviceId_ >= 0 && module_ != nullptr && !module_->Id().empty() && testId_ >= 0;
}

int CTestImp::GetPercentToTest(int& percent) const {
    percent = 100;
    if (!percentToTest_->HasValue()) {
        return 1;
    }
    // The value may have been applied in float form ("50.000000"): its
    // leading integer counts.
    const std::string& text = percentToTest_->ValueText();
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || value < INT32_MIN || value > INT32_MAX) {
        return 1;
    }
    percent = static_cast<int>(value);
    return 0;
}

std::string CTestImp::Name() const {
    return Translated(name_);
}

std::string CTestImp::Description() const {
    return Translated(description_);
}

std::string CTestImp::HelpFile() const {
    return Translated(helpFile_);
}

std::string CTestImp::FixturePrompt() const {
    return Translated(fixturePrompt_);
}

std::string CTestImp::AccessLevel() const {
    return Translated(accessLevel_);
}

std::string CTestImp::ModuleId() const {
    return module_ != nullptr ? module_->Id() : std::string("UNDEF");
}

int CTestImp::GetParameterArrayElement(unsigned int index, CTestParameter** parameter) const {
    if (index >= parameters_.size()) {
        *parameter = nullptr;
        return 1;
    }
    *parameter = parameters_[index]->Interface();
    return CTest::OK;
}

int CTestImp::IsMatch(const std::string& moduleId, int testId, int deviceId) const {
    if (module_ == nullptr || module_->Id() != moduleId) {
        return 1;
    }
    if (testId != CTest::ANY_TEST && testId != testId_) {
        return 1;
    }
    if (deviceId != CTest::ANY_DEVICE && deviceId != deviceId_) {
        return 1;
    }
    return CTest::OK;
}

}  // namespace VELKCORE
