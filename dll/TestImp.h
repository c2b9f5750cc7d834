// CTestImp: the implementation of CTest, read from a TEST element of the
// engine's device list.  It refers to (does not own) its module and device,
// and owns its parameters and the percent-to-test parameter
// ("VELK_BXI2_PERCENT_TO_TEST") that every test has.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Test.h"
#include "Token.h"

namespace VELKCORE {

class CDeviceImp;
class CModuleImp;
class CTestParamImp;

class CTestImp {
  public:
    // At most this many parameters are read per test.
    static constexpr int MAX_PARAMETERS = 100;

    CTestImp(int deviceId, CModuleImp* module, const char* testText);
    virtual ~CTestImp();
    CTestImp(const CTestImp&) = delete;
    CTestImp& operator=(const CTestImp&) = delete;

    CTest* Interface() const { return iface_; }

    // All fields from the device list back to their initial values.
    void init();
    // NAME, ID, DESCRIPTION, HELPFILE, EST_DURATION, FLAGS, TIMEOUT,
    // ACCESSLEVEL and the TEST_PROPERTIES parameters.
    void initFromDeviceEnum(const char* testText);
    // Appends the PROPERTY elements of a TEST_PROPERTIES text (at most 100).
    void AddParamsFromDeviceEnum(const char* propertiesText);

    // A device id and test id of 0 or more and a module with an id.
    bool IsValid() const;
    // The percent-to-test value: 0 and the value, or 1 and 100 when none has
    // been applied.
    int GetPercentToTest(int& percent) const;
    void SetDevice(CDeviceImp* device) { device_ = device; }
    CDeviceImp* Device() const { return device_; }
    CModuleImp* Module() const { return module_; }
    CTestParamImp* PercentToTest() const { return percentToTest_.get(); }
    const std::vector<std::unique_ptr<CTestParamImp>>& Parameters() const { return parameters_; }
    const CToken& NameToken() const { return name_; }

    int TestID() const { return testId_; }
    int DeviceID() const { return deviceId_; }
    std::string Name() const;
    std::string Description() const;
    std::string HelpFile() const;
    std::string FixturePrompt() const;
    std::string AccessLevel() const;
    std::string ModuleId() const;
    int EstimatedDuration() const { return estimatedDuration_; }
    int TimeOut() const { return timeOut_; }
    bool Interactive() const { return interactive_; }
    bool RequiresFixture() const { return requiresFixture_; }
    bool ShowFixturePromptEveryRun() const { return showFixturePromptEveryRun_; }
    bool Risky() const { return risky_; }
    bool Destructive() const { return destructive_; }
    bool SoftwareDiag() const { return softwareDiag_; }
    bool SelfFixIfPossible() const { return selfFixIfPossible_; }
    bool SelfHelp() const { return selfHelp_; }
    bool FactoryMode() const { return factoryMode_; }
    bool ServiceMode() const { return serviceMode_; }

    int GetParameterArrayElement(unsigned int index, CTestParameter** parameter) const;
    int IsMatch(const std::string& moduleId, int testId, int deviceId) const;

  private:
    friend class CTest;

    CTest* iface_;
    CToken name_;
    CToken description_;
    int testId_ = -1;
    CToken helpFile_;
    int estimatedDuration_ = -1;
    bool interactive_ = false;
    bool requiresFixture_ = false;
    CToken fixturePrompt_;
    bool showFixturePromptEveryRun_ = false;
    bool risky_ = false;
    bool destructive_ = false;
    bool softwareDiag_ = false;
    bool selfFixIfPossible_ = false;
    bool selfHelp_ = false;
    int timeOut_ = -1;
    CToken accessLevel_;
    bool factoryMode_ = false;
    bool serviceMode_ = false;
    int deviceId_;
    CDeviceImp* device_ = nullptr;
    std::vector<std::unique_ptr<CTestParamImp>> parameters_;
    std::unique_ptr<CTestParamImp> percentToTest_;
    CModuleImp* module_;
};

}  // namespace VELKCORE
