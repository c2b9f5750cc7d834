#include "Test.h"

#include "Device.h"
#include "DeviceImp.h"
#include "ModuleImp.h"
#include "TestImp.h"

namespace VELKCORE {

CTest::CTest(CTestImp* imp) : imp_(imp) {}

CTest::~CTest() {
    if (imp_ != nullptr) {
        CTestImp* imp = imp_;
        imp_ = nullptr;
        imp->iface_ = nullptr;
        delete imp;
    }
}

int CTest::GetName(std::string& out) const {
    out = imp_->Name();
    return OK;
}

int CTest::GetDescription(std::string& out) const {
    out = imp_->Description();
    return OK;
}

int CTest::GetHelpFile(std::string& out) const {
    out = imp_->HelpFile();
    return OK;
}

int CTest::GetFixturePrompt(std::string& out) const {
    out = imp_->FixturePrompt();
    return OK;
}

int CTest::GetAccessLevel(std::string& out) const {
    out = imp_->AccessLevel();
    return OK;
}

int CTest::GetEstimatedDuration(int& out) const {
    out = imp_->EstimatedDuration();
    return OK;
}

int CTest::GetTimeOut(int& out) const {
    out = imp_->TimeOut();
    return OK;
}

int CTest::GetInteractive(bool& out) const {
    out = imp_->Interactive();
    return OK;
}

int CTest::GetRequiresFixture(bool& out) const {
    out = imp_->RequiresFixture();
    return OK;
}

int CTest::GetShowFixturePromptEveryRun(bool& out) const {
    out = imp_->ShowFixturePromptEveryRun();
    return OK;
}

int CTest::GetRisky(bool& out) const {
    out = imp_->Risky();
    return OK;
}

int CTest::GetDestructive(bool& out) const {
    out = imp_->Destructive();
    return OK;
}

int CTest::GetSoftareDiag(bool& out) const {
    out = imp_->SoftwareDiag();
    return OK;
}

int CTest::GetSelfFixIfPossible(bool& out) const {
    out = imp_->SelfFixIfPossible();
    return OK;
}

int CTest::GetSelfHelp(bool& out) const {
    out = imp_->SelfHelp();
    return OK;
}

int CTest::GetFactoryMode(bool& out) const {
    out = imp_->FactoryMode();
    return OK;
}

int CTest::GetServiceMode(bool& out) const {
    out = imp_->ServiceMode();
    return OK;
}

int CTest::GetDeviceID(int& out) const {
    out = imp_->DeviceID();
    return OK;
}

int CTest::GetModuleType(int& out) const {
    if (imp_->Module() == nullptr) {
        out = -1;
        return OK;
    }
    return imp_->Module()->GetType(out);
}

int CTest::GetModuleName(std::string& out) const {
    if (imp_->Module() == nullptr) {
        out = "UNDEF";
        return OK;
    }
    return imp_->Module()->GetName(out);
}

int CTest::GetModuleDescription(std::string& out) const {
    if (imp_->Module() == nullptr) {
        out = "UNDEF";
        return OK;
    }
    return imp_->Module()->GetDescription(out);
}

int CTest::GetModuleHelpFile(std::string& out) const {
    if (imp_->Module() == nullptr) {
        out = "UNDEF";
        return OK;
    }
    return imp_->Module()->GetHelpFile(out);
}

int CTest::GetEntryExe(std::string& out) const {
    if (imp_->Module() == nullptr) {
        out = "UNDEF";
        return OK;
    }
    return imp_->Module()->GetEntryExe(out);
}

int CTest::GetModuleVersion(std::string& out) const {
    if (imp_->Module() == nullptr) {
        out = "UNDEF";
        return OK;
    }
    return imp_->Module()->GetVersion(out);
}

int CTest::GetOsSupported(std::string& out) const {
    if (imp_->Module() == nullptr) {
        out = "UNDEF";
        return OK;
    }
    return imp_->Module()->GetOsSupported(out);
}

int CTest::GetCdmDevice(std::string& out) const {
    if (imp_->Module() == nullptr) {
        out = "UNDEF";
        return OK;
    }
    return imp_->Module()->GetCdmDeviceName(out);
}

int CTest::GetIncompatibleModules(std::string& out) const {
    if (imp_->Module() == nullptr) {
        out = "UNDEF";
        return OK;
    }
    return imp_->Module()->GetIncompatibleModules(out);
}

int CTest::GetResourcesUsed(std::string& out) const {
    if (imp_->Module() == nullptr) {
        out = "UNDEF";
        return OK;
    }
    return imp_->Module()->GetResourcesUsed(out);
}

int CTest::GetFruInfoAvailable(bool& out) const {
    if (imp_->Module() == nullptr) {
        out = false;
        return OK;
    }
    return imp_->Module()->GetFruInfoAvailable(out);
}

int CTest::GetCdmSupported(bool& out) const {
    if (imp_->Module() == nullptr) {
        out = false;
        return OK;
    }
    return imp_->Module()->GetCdmSupported(out);
}

int CTest::GetDeviceLevelParallelTesting(bool& out) const {
    if (imp_->Module() == nullptr) {
        out = false;
        return OK;
    }
    return imp_->Module()->GetDeviceLevelParallelTesting(out);
}

int CTest::GetTestLevelParallelTesting(bool& out) const {
    if (imp_->Module() == nullptr) {
        out = false;
        return OK;
    }
    return imp_->Module()->GetTestLevelParallelTesting(out);
}

int CTest::GetStartInitRequested(bool& out) const {
    if (imp_->Module() == nullptr) {
        out = false;
        return OK;
    }
    return imp_->Module()->GetStartInitRequested(out);
}

int CTest::GetStopInitRequested(bool& out) const {
    if (imp_->Module() == nullptr) {
        out = false;
        return OK;
    }
    return imp_->Module()->GetStopInitRequested(out);
}

int CTest::GetTestSetPreInitRequested(bool& out) const {
    if (imp_->Module() == nullptr) {
        out = false;
        return OK;
    }
    return imp_->Module()->GetTestSetPreInitRequested(out);
}

int CTest::GetTestSetPostInitRequested(bool& out) const {
    if (imp_->Module() == nullptr) {
        out = false;
        return OK;
    }
    return imp_->Module()->GetTestSetPostInitRequested(out);
}

int CTest::GetTestLoopStartInitRequested(bool& out) const {
    if (imp_->Module() == nullptr) {
        out = false;
        return OK;
    }
    return imp_->Module()->GetTestLoopStartInitRequested(out);
}

int CTest::GetTestLoopStopInitRequested(bool& out) const {
    if (imp_->Module() == nullptr) {
        out = false;
        return OK;
    }
    return imp_->Module()->GetTestLoopStopInitRequested(out);
}

int CTest::GetNumberTests(int& out) const {
    if (imp_->Module() == nullptr) {
        out = -1;
        return OK;
    }
    return imp_->Module()->GetNumberTests(out);
}

int CTest::GetEstimatedTimeLeft(int& out) const {
    if (imp_->Module() == nullptr) {
        out = 0;
        return OK;
    }
    return imp_->Module()->GetEstimatedTimeLeft(out);
}

int CTest::GetDevice(CDevice** device) const {
    *device = imp_->Device() != nullptr ? imp_->Device()->Interface() : nullptr;
    return OK;
}

int CTest::GetModuleIdAndIndex(std::string& moduleId, int& index) const {
    moduleId = imp_->ModuleId();
    index = imp_->TestID();
    return OK;
}

int CTest::GetParameterArraySize(unsigned int& size) const {
    size = static_cast<unsigned int>(imp_->Parameters().size());
    return OK;
}

int CTest::GetParameterArrayElement(unsigned int index, CTestParameter** parameter) const {
    return imp_->GetParameterArrayElement(index, parameter);
}

int CTest::IsMatch(std::string moduleId, int testId, int deviceId) const {
    return imp_->IsMatch(moduleId, testId, deviceId);
}

std::ostream& operator<<(std::ostream& os, const CTest& test) {
    (void)test;
    return os;
}

}  // namespace VELKCORE
