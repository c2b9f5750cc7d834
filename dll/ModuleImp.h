// CModuleImp: one diagnostic module serving a device, read from a COMPONENT
// element of the engine's device list.  Callers read its properties through
// CTest; the device that lists the module owns it.
#pragma once

#include <string>

#include "Token.h"

namespace VELKCORE {

class CModuleImp {
  public:
    // Reads the COMPONENT text (all elements optional).
    explicit CModuleImp(const char* componentText);
    virtual ~CModuleImp() = default;
    CModuleImp(const CModuleImp&) = default;
    CModuleImp& operator=(const CModuleImp&) = default;

    // All fields back to their initial values.
    void init();
    void initFromDeviceEnum(const char* componentText);

    int GetType(int& type) const;
    int GetId(std::string& id) const;
    // Translated into the test environment's output language.
    int GetName(std::string& name) const;
    int GetDescription(std::string& description) const;
    int GetHelpFile(std::string& file) const;
    int GetVersion(std::string& version) const;
    int GetOsSupported(std::string& os) const;
    int GetEntryExe(std::string& exe) const;
    int GetCdmSupported(bool& supported) const;
    int GetCdmDeviceName(std::string& name) const;
    int GetDeviceLevelParallelTesting(bool& parallel) const;
    int GetTestLevelParallelTesting(bool& parallel) const;
    int GetIncompatibleModules(std::string& modules) const;
    int GetResourcesUsed(std::string& resources) const;
    int GetStartInitRequested(bool& requested) const;
    int GetStopInitRequested(bool& requested) const;
    int GetTestSetPreInitRequested(bool& requested) const;
    int GetTestSetPostInitRequested(bool& requested) const;
    int GetTestLoopStartInitRequested(bool& requested) const;
    int GetTestLoopStopInitRequested(bool& requested) const;
    int GetNumberTests(int& count) const;
    int GetEstimatedTimeLeft(int& seconds) const;
    int GetFruInfoAvailable(bool& available) const;

    const std::string& Id() const { return id_; }

  private:
    int type_;
    std::string id_;
    CToken name_;
    CToken description_;
    std::string helpFile_;
    std::string osSupported_;
    std::string entryExe_;
    bool cdmSupported_;
    CToken cdmDeviceName_;
    bool deviceLevelParallel_;
    bool testLevelParallel_;
    std::string incompatibleModules_;
    std::string resourcesUsed_;
    bool startInitRequested_;
    bool stopInitRequested_;
    bool testSetPreInitRequested_;
    bool testSetPostInitRequested_;
    bool testLoopStartInitRequested_;
    bool testLoopStopInitRequested_;
    int numberTests_;
    int estimatedTimeLeft_;
    std::string version_;
    bool fruInfoAvailable_;
};

}  // namespace VELKCORE
