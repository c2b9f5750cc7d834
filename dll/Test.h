// CTest: one test that a diagnostic module offers on a device: its texts
// (translated), flags, time-out and estimated duration, its parameters, and
// the properties of the module that runs it.
//
// CTest is the interface of a CTestImp, which creates and owns it; destroying
// either side destroys the other.  The device owns its tests.
#pragma once

#include <ostream>
#include <string>

namespace VELKCORE {

class CTestImp;
class CDevice;
class CTestParameter;

class CTest {
  public:
    static constexpr int OK = 0;
    // Wildcards of IsMatch.
    static constexpr int ANY_TEST = -1;
    static constexpr int ANY_DEVICE = -1;

    explicit CTest(CTestImp* imp);
    virtual ~CTest();
    CTest(const CTest&) = delete;
    CTest& operator=(const CTest&) = delete;

    int GetName(std::string& name) const;
    int GetDescription(std::string& description) const;
    int GetHelpFile(std::string& file) const;
    int GetFixturePrompt(std::string& prompt) const;
    int GetAccessLevel(std::string& level) const;
    // -1 when the module gave none.
    int GetEstimatedDuration(int& seconds) const;
    int GetTimeOut(int& seconds) const;
    int GetInteractive(bool& flag) const;
    int GetRequiresFixture(bool& flag) const;
    int GetShowFixturePromptEveryRun(bool& flag) const;
    int GetRisky(bool& flag) const;
    int GetDestructive(bool& flag) const;
    int GetSoftareDiag(bool& flag) const;
    int GetSelfFixIfPossible(bool& flag) const;
    int GetSelfHelp(bool& flag) const;
    int GetFactoryMode(bool& flag) const;
    int GetServiceMode(bool& flag) const;
    int GetDeviceID(int& id) const;
    int GetDevice(CDevice** device) const;
    int GetModuleIdAndIndex(std::string& moduleId, int& index) const;

    int GetModuleType(int& type) const;
    int GetModuleName(std::string& name) const;
    int GetModuleDescription(std::string& description) const;
    int GetModuleHelpFile(std::string& file) const;
    int GetEntryExe(std::string& exe) const;
    int GetModuleVersion(std::string& version) const;
    int GetOsSupported(std::string& os) const;
    int GetCdmDevice(std::string& name) const;
    int GetIncompatibleModules(std::string& modules) const;
    int GetResourcesUsed(std::string& resources) const;
    int GetFruInfoAvailable(bool& flag) const;
    int GetCdmSupported(bool& flag) const;
    int GetDeviceLevelParallelTesting(bool& flag) const;
    int GetTestLevelParallelTesting(bool& flag) const;
    int GetStartInitRequested(bool& flag) const;
    int GetStopInitRequested(bool& flag) const;
    int GetTestSetPreInitRequested(bool& flag) const;
    int GetTestSetPostInitRequested(bool& flag) const;
    int GetTestLoopStartInitRequested(bool& flag) const;
    int GetTestLoopStopInitRequested(bool& flag) const;
    int GetNumberTests(int& count) const;
    int GetEstimatedTimeLeft(int& seconds) const;

    int GetParameterArraySize(unsigned int& size) const;
    // 1 and null when index is out of range.
    int GetParameterArrayElement(unsigned int index, CTestParameter** parameter) const;

    // 0 when the module id equals moduleId (exactly) and testId and deviceId
    // are ANY_TEST / ANY_DEVICE or equal this test's; 1 otherwise.
    int IsMatch(std::string moduleId, int testId, int deviceId) const;

    CTestImp* Imp() const { return imp_; }

  private:
    friend class CTestImp;
    CTestImp* imp_;
};

// Writes nothing.
std::ostream& operator<<(std::ostream& os, const CTest& test);

}  // namespace VELKCORE
