#include "block_device_record.h"

#include "nls_text.h"

namespace velk::module {

int CreateBlockDeviceRecord(const char* deviceClass, std::uint32_t did, const std::string& name,
                            const std::string& description, const BlockDeviceInfo& info,
                            Bxi2_Device** device) {
    Bxi2_Device* created = nullptr;
    int status;
    if (info.bus == "SCSI") {
        status = Bxi2_CreateDeviceSCSI(deviceClass, did, name.c_str(), info.node.c_str(),
                                       description.c_str(), info.address[0], info.address[1],
                                       info.address[2], info.address[3], &created);
    } else {
        status = Bxi2_CreateDeviceGenericEx(deviceClass, did, name.c_str(), description.c_str(),
                                            info.node.c_str(), info.hardwareLocator.c_str(),
                                            info.busType.c_str(), &created);
    }
    if (status != BXI2_OK) {
        return status;
    }
    Bxi2_AddFruToDevice(created, SanitizeText(info.vendor).c_str(),
                        SanitizeText(info.model).c_str(), SanitizeText(info.serial).c_str(),
                        SanitizeText(info.firmware).c_str(), "", Bxi2_GetDeviceHwLocator(created));
    *device = created;
    return BXI2_OK;
}

}  // namespace velk::module
