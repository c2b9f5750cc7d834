#include "Device.h"

#include "DeviceImp.h"
#include "Test.h"
#include "TestImp.h"

namespace VELKCORE {

int CDevice::CSystemInfo::GetNextSystemInfoValue(std::string& value) {
    if (cursor_ >= values_.size()) {
        return 1;
    }
    value = values_[cursor_++];
    return 0;
}

CDevice::CDevice(CDeviceImp* imp) : imp_(imp) {}

CDevice::~CDevice() {
    if (imp_ != nullptr) {
        CDeviceImp* imp = imp_;
        imp_ = nullptr;
        imp->iface_ = nullptr;
        delete imp;
    }
}

int CDevice::GetName(std::string& name) const {
    name = imp_->Name();
    return OK;
}

int CDevice::GetDescription(std::string& description) const {
    description = imp_->Description();
    return OK;
}

int CDevice::GetOSLocator(std::string& locator) const {
    locator = imp_->OSLocator();
    return OK;
}

int CDevice::GetHWLocator(std::string& locator) const {
    locator = imp_->HWLocator();
    return OK;
}

int CDevice::GetDeviceType(std::string& type) const {
    type = imp_->DeviceType();
    return OK;
}

int CDevice::GetManufacturer(std::string& text) const {
    text = imp_->FruManufacturer();
    return OK;
}

int CDevice::GetModelNumber(std::string& text) const {
    text = imp_->FruModelNumber();
    return OK;
}

int CDevice::GetSerialNumber(std::string& text) const {
    text = imp_->FruSerialNumber();
    return OK;
}

int CDevice::GetFirmwareRev(std::string& text) const {
    text = imp_->FruFirmwareRev();
    return OK;
}

int CDevice::GetFirmwareDate(std::string& text) const {
    text = imp_->FruFirmwareDate();
    return OK;
}

int CDevice::GetPhysicalAddr(std::string& text) const {
    text = imp_->FruPhysicalAddr();
    return OK;
}

int CDevice::GetState(State& state) const {
    state = imp_->GetState();
    return OK;
}

int CDevice::GetTestArraySize(unsigned int& size) const {
    size = static_cast<unsigned int>(imp_->Tests().size());
    return OK;
}

int CDevice::GetTestArrayElement(unsigned int index, CTest** test) const {
    return imp_->GetTestArrayElement(index, test);
}

int CDevice::GetFirstAdditionalInfo(CAdditionalInfo** info) {
    return imp_->GetFirstAdditionalInfo(info);
}

int CDevice::GetNextAdditionalInfo(CAdditionalInfo** info) {
    return imp_->GetNextAdditionalInfo(info);
}

int CDevice::GetFirstSystemInfo(CSystemInfo** info) {
    return imp_->GetFirstSystemInfo(info);
}

int CDevice::GetNextSystemInfo(CSystemInfo** info) {
    return imp_->GetNextSystemInfo(info);
}

const char* B(bool value) {
    return value ? "TRUE" : "FALSE";
}

std::ostream& operator<<(std::ostream& os, const CDevice& device) {
    std::string text;
    CDevice::State state = CDevice::NORMAL;
    unsigned int count = 0;
    device.GetName(text);
    os << "Name: " << text << std::endl;
    device.GetDescription(text);
    os << "Description: " << text << std::endl;
    device.GetOSLocator(text);
    os << "OS Locator: " << text << std::endl;
    device.GetHWLocator(text);
    os << "HW Locator: " << text << std::endl;
    device.GetDeviceType(text);
    os << "Device Type: " << text << std::endl;
    device.GetState(state);
    os << "State: " << static_cast<int>(state) << std::endl;
    device.GetTestArraySize(count);
    os << "Test Array Size: " << count << std::endl;
    os << "**** BEGIN TESTS ****" << std::endl;
    for (unsigned int i = 0; i < count; ++i) {
        CTest* test = nullptr;
        if (device.GetTestArrayElement(i, &test) == CDevice::OK && test != nullptr) {
            os << *test << std::endl;
        }
    }
    os << "**** END TESTS ****" << std::endl;
    return os;
}

}  // namespace VELKCORE
