#include "DeviceImp.h"

#include "EngineText.h"
#include "ModuleImp.h"
#include "TestEnvironmentImp.h"
#include "TestImp.h"
#include "tracing.h"

namespace VELKCORE {

using detail::FieldText;
using detail::GenStr;

namespace {

constexpr uint32_t kSysInfoArea = 32768;
constexpr int kSysInfoWaitMs = 15000;
constexpr const char* kStatusKey = "Status";
constexpr const char* kDeviceInUse = "Device In Use";
constexpr const char* kNoInformation = "No Information Available";

}  // namespace

CDeviceImp::CDeviceImp() : iface_(new CDevice(this)) {}

CDeviceImp::~CDeviceImp() {
    // Tests refer to the modules: they go first.
    tests_.clear();
    modules_.clear();
    if (iface_ != nullptr) {
        CDevice* iface = iface_;
        iface_ = nullptr;
        iface->imp_ = nullptr;
        delete iface;
    }
}

bool CDeviceImp::initFromDeviceEnum(const char* deviceText) {
    std::optional<std::string> name = FieldText(deviceText, "NAME");
    std::optional<std::string> osLocator = FieldText(deviceText, "OSLOCATOR");
    std::optional<std::string> hwLocator = FieldText(deviceText, "HWLOCATOR");
    std::optional<std::string> deviceType = FieldText(deviceText, "DEVTYPE");
    if (name) {
        name_ = CToken(*name);
    }
    if (auto description = FieldText(deviceText, "DESCRIPTION")) {
        description_ = CToken(*description);
    }
    if (osLocator) {
        osLocator_ = *osLocator;
    }
    if (hwLocator) {
        hwLocator_ = *hwLocator;
    }
    if (deviceType) {
        deviceType_ = *deviceType;
    }
    struct FruField {
        const char* element;
        std::string* target;
    };
    const FruField fruFields[] = {
        {"FRU_MANUFACTURER", &fruManufacturer_}, {"FRU_MODELNUMBER", &fruModelNumber_},
        {"FRU_SERIALNUMBER", &fruSerialNumber_}, {"FRU_FIRMWAREREV", &fruFirmwareRev_},
        {"FRU_FIRMWAREDATE", &fruFirmwareDate_}, {"FRU_PHYSADDRESS", &fruPhysicalAddr_}};
    for (const FruField& field : fruFields) {
        if (auto value = FieldText(deviceText, field.element)) {
            *field.target = *value;
        }
    }
    // The k-th record is the k-th FIELD, DESC and VALUE element; three
    // walkers read them in one pass over the text.
    detail::ElementWalker fields(deviceText, "FRU_ADDINFO_FIELD");
    detail::ElementWalker descriptions(deviceText, "FRU_ADDINFO_DESC");
    detail::ElementWalker values(deviceText, "FRU_ADDINFO_VALUE");
    GenStr field;
    GenStr description;
    GenStr value;
    while (fields.Next(field)) {
        CDevice::CAdditionalInfo info;
        info.SetField(field.Str());
        if (descriptions.Next(description)) {
            info.SetDescription(description.Str());
        }
        if (values.Next(value)) {
            info.SetValue(value.Str());
        }
        AddFruAdditionalInfo(info);
    }
    return name && osLocator && hwLocator && deviceType;
}

CModuleImp* CDeviceImp::AddModule(std::unique_ptr<CModuleImp> module) {
    modules_.push_back(std::move(module));
    return modules_.back().get();
}

void CDeviceImp::AddTest(std::unique_ptr<CTestImp> test) {
    tests_.push_back(std::move(test));
}

void CDeviceImp::AddFruAdditionalInfo(const CDevice::CAdditionalInfo& info) {
    fruAddInfo_.push_back(info);
}

void CDeviceImp::AddSystemInfo(const CDevice::CSystemInfo& info) {
    systemInfo_.push_back(info);
}

std::string CDeviceImp::Name() const {
    return name_.GetTranslatedString(CTestEnvironmentImp::GetOutputLanguage());
}

std::string CDeviceImp::Description() const {
    return description_.GetTranslatedString(CTestEnvironmentImp::GetOutputLanguage());
}

int CDeviceImp::GetTestArrayElement(unsigned int index, CTest** test) const {
    if (index >= tests_.size()) {
        *test = nullptr;
        return 1;
    }
    *test = tests_[index]->Interface();
    return CDevice::OK;
}

int CDeviceImp::GetFirstAdditionalInfo(CDevice::CAdditionalInfo** info) {
    fruAddInfoCursor_ = 0;
    if (fruAddInfo_.empty()) {
        *info = nullptr;
        return 1;
    }
    *info = &fruAddInfo_[0];
    return CDevice::OK;
}

int CDeviceImp::GetNextAdditionalInfo(CDevice::CAdditionalInfo** info) {
    if (fruAddInfoCursor_ + 1 >= fruAddInfo_.size()) {
        *info = nullptr;
        return 1;
    }
    *info = &fruAddInfo_[++fruAddInfoCursor_];
    return CDevice::OK;
}

int CDeviceImp::GetFirstSystemInfo(CDevice::CSystemInfo** info) {
    systemInfo_.clear();
    systemInfoCursor_ = 0;
    *info = nullptr;
    std::string reply;
    if (detail::BufferTransaction(detail::Addressee::DIAGNOSTIC_ENGINE, "SYSINFO:" + hwLocator_,
                                  kSysInfoArea, kSysInfoWaitMs, reply) != detail::TX_OK) {
        VTRACE(VELK_TRACE_DLL, "CDeviceImp::GetFirstSystemInfo: No response.\n");
        return 1;
    }
    return ReadSystemInfoReply(reply.c_str(), info);
}

int CDeviceImp::GetNextSystemInfo(CDevice::CSystemInfo** info) {
    if (systemInfoCursor_ + 1 >= systemInfo_.size()) {
        *info = nullptr;
        return 1;
    }
    ++systemInfoCursor_;
    return SystemInfoResult(info);
}

int CDeviceImp::SystemInfoResult(CDevice::CSystemInfo** info) {
    CDevice::CSystemInfo& record = systemInfo_[systemInfoCursor_];
    *info = &record;
    if (record.GetKey() == kStatusKey && !record.GetValues().empty()) {
        if (record.GetValues().front() == kNoInformation) {
            return 4;
        }
        if (record.GetValues().front() == kDeviceInUse) {
            return 3;
        }
    }
    return CDevice::OK;
}

int CDeviceImp::ReadSystemInfoReply(const char* reply, CDevice::CSystemInfo** info) {
    systemInfo_.clear();
    systemInfoCursor_ = 0;
    *info = nullptr;
    GenStr moduleName;
    GenStr deviceText;
    GenStr record;
    GenStr valueText;
    GenStr nested;
    for (int m = 0; detail::ReadField(reply, "MSG/DATA/DEVICE/MODULE_NAME", m, moduleName); ++m) {
        if (!detail::ReadField(reply, "MSG/DATA/DEVICE", m, deviceText)) {
            return 1;
        }
        // One SYSINFO element per key; its values are the SYSINFO_VALUE
        // elements beside the key, or the SYSINFO_VALUE elements nested in
        // one of them.
        detail::ElementWalker records(deviceText.CStr(), "SYSINFO");
        while (records.Next(record)) {
            std::optional<std::string> key = FieldText(record.CStr(), "SYSINFO_KEY");
            if (!key) {
                break;
            }
            std::optional<std::string> description =
                FieldText(record.CStr(), "SYSINFO_DESCRIPTION");
            if (!description) {
                return 1;
            }
            std::vector<std::string> values;
            detail::ElementWalker valueWalker(record.CStr(), "SYSINFO_VALUE");
            while (valueWalker.Next(valueText)) {
                detail::ElementWalker nestedWalker(valueText.CStr(), "SYSINFO_VALUE");
                bool hadNested = false;
                while (nestedWalker.Next(nested)) {
                    values.push_back(nested.Str());
                    hadNested = true;
                }
                if (!hadNested) {
                    values.push_back(valueText.Str());
                }
            }
            if (values.empty()) {
                return 1;
            }
            AddSystemInfo(
                CDevice::CSystemInfo(*key, *description, std::move(values), moduleName.Str()));
        }
    }
    if (systemInfo_.empty()) {
        return 5;
    }
    return SystemInfoResult(info);
}

std::ostream& operator<<(std::ostream& os, const CDeviceImp& device) {
    os << "Name: " << device.Name() << std::endl;
    os << "Description: " << device.Description() << std::endl;
    os << "OS Locator: " << device.OSLocator() << std::endl;
    os << "HW Locator: " << device.HWLocator() << std::endl;
    os << "Device Type: " << device.DeviceType() << std::endl;
    os << "State: " << static_cast<int>(device.GetState()) << std::endl;
    os << "Device Name: " << device.deviceName_ << std::endl;
    os << "Bus Address High: " << device.busAddressHigh_ << std::endl;
    os << "Bus Address Low: " << device.busAddressLow_ << std::endl;
    os << "Bust Type: " << device.busType_ << std::endl;
    os << "Port Number: " << device.portNumber_ << std::endl;
    os << "Bus Number: " << device.busNumber_ << std::endl;
    os << "Test Array Size: " << device.Tests().size() << std::endl;
    os << "**** BEGIN TESTS ****" << std::endl;
    for (const auto& test : device.Tests()) {
        os << *test->Interface() << std::endl;
    }
    os << "**** END TESTS ****" << std::endl;
    return os;
}

}  // namespace VELKCORE
