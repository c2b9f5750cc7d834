// CDevice: one testable device as the diagnostic engine lists it: name and
// description (translated), operating-system and hardware locators, device
// type, field-replaceable-unit (FRU) data, system information and the tests
// that the engine's modules offer on it.
//
// CDevice is the interface of a CDeviceImp, which creates and owns it;
// destroying either side destroys the other.  The test environment owns the
// devices.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace VELKCORE {

class CDeviceImp;
class CTest;

class CDevice {
  public:
    static constexpr int OK = 0;

    // No operation of this API changes a device's state; 0 is the only value
    // in use.
    enum State : int { NORMAL = 0 };

    // Device type texts (the DEVTYPE element carries one of them).
    static constexpr const char* CMOS = "CMOS";
    static constexpr const char* CPU = "CPU";
    static constexpr const char* IDE = "IDE";
    static constexpr const char* SCSI = "SCSI";
    static constexpr const char* PCI = "PCI";
    static constexpr const char* USB = "USB";
    static constexpr const char* IEEE1394 = "1394";
    static constexpr const char* PCMCIA = "PCMCIA";
    static constexpr const char* SMBUS = "SMBUS";
    static constexpr const char* TEMP = "TEMP";
    static constexpr const char* VOLT = "VOLT";
    static constexpr const char* CHASSIS = "CHASSIS";
    static constexpr const char* PS = "PS";
    static constexpr const char* SERIAL = "COM";
    static constexpr const char* LPT = "LPT";
    static constexpr const char* MODEM = "MODEM";
    static constexpr const char* ISDN = "ISDN";
    static constexpr const char* DSL = "DSL";
    static constexpr const char* CABLEMODEM = "CABLEMODEM";
    static constexpr const char* SCANNER = "SCANNER";
    static constexpr const char* MEMORY = "MEMORY";
    static constexpr const char* HD = "HD";
    static constexpr const char* OPTICAL = "OPTICAL";
    static constexpr const char* CAMERA = "CAMERA";
    static constexpr const char* NET = "NET";
    static constexpr const char* DIAPLAY = "DISPLAY";
    static constexpr const char* VIDEOCONTROLLER = "VIDEOCONTROLLER";
    static constexpr const char* FD = "FD";
    static constexpr const char* TAPE = "TAPE";
    static constexpr const char* REMOVABLESTORAGE = "REMSTORAGE";
    static constexpr const char* KBD = "KBD";
    static constexpr const char* MOUSE = "MOUSE";
    static constexpr const char* GAMEINPUT = "GAMEINPUT";
    static constexpr const char* SOUND = "SOUND";
    static constexpr const char* SPEAKER = "SPEAKER";
    static constexpr const char* GPS = "GPS";
    static constexpr const char* OTHER = "OTHER";

    // One record of additional FRU information.
    class CAdditionalInfo {
      public:
        CAdditionalInfo() = default;
        CAdditionalInfo(std::string field, std::string description, std::string value)
            : field_(std::move(field)),
              description_(std::move(description)),
              value_(std::move(value)) {}
        virtual ~CAdditionalInfo() = default;
        CAdditionalInfo(const CAdditionalInfo&) = default;
        CAdditionalInfo& operator=(const CAdditionalInfo&) = default;

        const std::string& GetField() const { return field_; }
        const std::string& GetDescription() const { return description_; }
        const std::string& GetValue() const { return value_; }
        void SetField(const std::string& field) { field_ = field; }
        void SetDescription(const std::string& description) { description_ = description; }
        void SetValue(const std::string& value) { value_ = value; }

      private:
        std::string field_{"UNDEF"};
        std::string description_{"UNDEF"};
        std::string value_{"UNDEF"};
    };

    // One system-information record: a key with its description, one or
    // more values and the module that reported it.
    class CSystemInfo {
      public:
        CSystemInfo() = default;
        CSystemInfo(std::string key, std::string description, std::vector<std::string> values,
                    std::string moduleName)
            : key_(std::move(key)),
              description_(std::move(description)),
              values_(std::move(values)),
              moduleName_(std::move(moduleName)) {}
        virtual ~CSystemInfo() = default;
        CSystemInfo(const CSystemInfo&) = default;
        CSystemInfo& operator=(const CSystemInfo&) = default;

        const std::string& GetKey() const { return key_; }
        const std::string& GetDescription() const { return description_; }
        const std::string& GetModuleName() const { return moduleName_; }
        const std::vector<std::string>& GetValues() const { return values_; }
        // Starts the value cursor again at the first value.
        void ResetValueCursor() { cursor_ = 0; }
        // The value at the cursor (the first call gives the first value),
        // then advances; 1 when there is no further value.
        int GetNextSystemInfoValue(std::string& value);

      private:
        std::string key_;
        std::string description_;
        std::vector<std::string> values_;
        std::string moduleName_;
        unsigned int cursor_ = 0;
    };

    explicit CDevice(CDeviceImp* imp);
    virtual ~CDevice();
    CDevice(const CDevice&) = delete;
    CDevice& operator=(const CDevice&) = delete;

    int GetName(std::string& name) const;
    int GetDescription(std::string& description) const;
    int GetOSLocator(std::string& locator) const;
    int GetHWLocator(std::string& locator) const;
    int GetDeviceType(std::string& type) const;
    int GetManufacturer(std::string& text) const;
    int GetModelNumber(std::string& text) const;
    int GetSerialNumber(std::string& text) const;
    int GetFirmwareRev(std::string& text) const;
    int GetFirmwareDate(std::string& text) const;
    int GetPhysicalAddr(std::string& text) const;
    int GetState(State& state) const;
    int GetTestArraySize(unsigned int& size) const;
    // 1 and null when index is out of range.
    int GetTestArrayElement(unsigned int index, CTest** test) const;
    // Cursor over the additional FRU information: 1 (and null) when there is
    // none, or at the end.
    int GetFirstAdditionalInfo(CAdditionalInfo** info);
    int GetNextAdditionalInfo(CAdditionalInfo** info);
    // Asks the diagnostic engine for the device's system information (SYSINFO)
    // and gives the first record.  0; 3 when the first record says the device
    // is in use; 4 when it says no information is available; 5 when there is
    // no record; 1 on failure.
    int GetFirstSystemInfo(CSystemInfo** info);
    // The next record with the same 3/4/0 rule; 1 at the end.
    int GetNextSystemInfo(CSystemInfo** info);

    CDeviceImp* Imp() const { return imp_; }

  private:
    friend class CDeviceImp;
    CDeviceImp* imp_;
};

// "TRUE" or "FALSE".
const char* B(bool value);

std::ostream& operator<<(std::ostream& os, const CDevice& device);

}  // namespace VELKCORE
