// CDeviceImp: the implementation of CDevice.  It owns the device's tests and
// the modules (COMPONENT elements) that offer them.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "Device.h"
#include "Token.h"

namespace VELKCORE {

class CModuleImp;
class CTestImp;

class CDeviceImp {
  public:
    CDeviceImp();
    virtual ~CDeviceImp();
    CDeviceImp(const CDeviceImp&) = delete;
    CDeviceImp& operator=(const CDeviceImp&) = delete;

    CDevice* Interface() const { return iface_; }

    // Reads the device's own elements from its DEVICE text: NAME, OSLOCATOR,
    // HWLOCATOR and DEVTYPE (required), DESCRIPTION and the FRU elements
    // (optional), and the additional FRU records.  False when a required
    // element is missing.
    bool initFromDeviceEnum(const char* deviceText);

    // Takes a module; the device keeps it as long as its tests refer to it.
    CModuleImp* AddModule(std::unique_ptr<CModuleImp> module);
    void AddTest(std::unique_ptr<CTestImp> test);
    void AddFruAdditionalInfo(const CDevice::CAdditionalInfo& info);
    void AddSystemInfo(const CDevice::CSystemInfo& info);

    const std::vector<std::unique_ptr<CTestImp>>& Tests() const { return tests_; }
    const std::vector<std::unique_ptr<CModuleImp>>& Modules() const { return modules_; }
    std::vector<CDevice::CAdditionalInfo>& FruAddInfo() { return fruAddInfo_; }
    std::vector<CDevice::CSystemInfo>& SystemInfo() { return systemInfo_; }
    unsigned int& FruAddInfoIter() { return fruAddInfoCursor_; }
    unsigned int& SystemInfoIter() { return systemInfoCursor_; }

    // Translated into the test environment's output language.
    std::string Name() const;
    std::string Description() const;
    const std::string& OSLocator() const { return osLocator_; }
    const std::string& HWLocator() const { return hwLocator_; }
    const std::string& DeviceType() const { return deviceType_; }
    const std::string& FruManufacturer() const { return fruManufacturer_; }
    const std::string& FruModelNumber() const { return fruModelNumber_; }
    const std::string& FruSerialNumber() const { return fruSerialNumber_; }
    const std::string& FruFirmwareRev() const { return fruFirmwareRev_; }
    const std::string& FruFirmwareDate() const { return fruFirmwareDate_; }
    const std::string& FruPhysicalAddr() const { return fruPhysicalAddr_; }
    const CToken& NameToken() const { return name_; }
    CDevice::State GetState() const { return state_; }

    int GetTestArrayElement(unsigned int index, CTest** test) const;
    int GetFirstAdditionalInfo(CDevice::CAdditionalInfo** info);
    int GetNextAdditionalInfo(CDevice::CAdditionalInfo** info);
    int GetFirstSystemInfo(CDevice::CSystemInfo** info);
    int GetNextSystemInfo(CDevice::CSystemInfo** info);
    // Replaces the system information by the records of a SYSINFO reply and
    // gives the first: the results of GetFirstSystemInfo.
    int ReadSystemInfoReply(const char* reply, CDevice::CSystemInfo** info);

  private:
    friend class CDevice;
    friend std::ostream& operator<<(std::ostream& os, const CDeviceImp& device);
    int SystemInfoResult(CDevice::CSystemInfo** info);

    CToken name_{"UNDEF"};
    CToken description_{"UNDEF"};
    std::string osLocator_{"UNDEF"};
    std::string hwLocator_{"UNDEF"};
    std::string deviceType_{"UNDEF"};
    std::string fruManufacturer_{"UNDEF"};
    std::string fruModelNumber_{"UNDEF"};
    std::string fruSerialNumber_{"UNDEF"};
    std::string fruFirmwareRev_{"UNDEF"};
    std::string fruFirmwareDate_{"UNDEF"};
    std::string fruPhysicalAddr_{"UNDEF"};
    std::vector<CDevice::CAdditionalInfo> fruAddInfo_;
    std::vector<CDevice::CSystemInfo> systemInfo_;
    CDevice::State state_ = CDevice::NORMAL;
    unsigned int fruAddInfoCursor_ = 0;
    unsigned int systemInfoCursor_ = 0;
    std::vector<std::unique_ptr<CTestImp>> tests_;
    std::string deviceName_;
    int busAddressHigh_ = -1;
    int busAddressLow_ = -1;
    int busType_ = -1;
    int portNumber_ = -1;
    int busNumber_ = -1;
    CDevice* iface_;
    std::vector<std::unique_ptr<CModuleImp>> modules_;
};

std::ostream& operator<<(std::ostream& os, const CDeviceImp& device);

}  // namespace VELKCORE
