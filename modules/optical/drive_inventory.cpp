#include "drive_inventory.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <sstream>

#include "block_device_record.h"
#include "drive_commands.h"
#include "machine_files.h"
#include "nls_text.h"
#include "optical_drive.h"
#include "sys_root.h"
#include "unique_fd.h"

namespace velk::optical {

using velk::module::NlsTag;
using velk::module::SanitizeText;

std::map<std::string, std::map<std::string, std::string>> ReadCdromInfo() {
    std::map<std::string, std::map<std::string, std::string>> drives;
    std::optional<std::string> text = velk::module::ReadMachineFile("/proc/sys/dev/cdrom/info");
    if (!text) {
        return drives;
    }
    std::vector<std::string> names;
    std::istringstream lines(*text);
    std::string line;
    while (std::getline(lines, line)) {
        std::size_t colon = line.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        std::string key = velk::module::TrimBlanks(line.substr(0, colon));
        std::istringstream values(line.substr(colon + 1));
        std::vector<std::string> columns;
        for (std::string value; values >> value;) {
            columns.push_back(value);
        }
        if (key == "drive name") {
            names = columns;
            for (const std::string& name : names) {
                drives[name];
            }
            continue;
        }
        for (std::size_t i = 0; i < columns.size() && i < names.size(); ++i) {
            drives[names[i]][key] = columns[i];
        }
    }
    return drives;
}

namespace {

OpticalDrive Describe(velk::module::BlockDeviceInfo info,
                      const std::map<std::string, std::string>* capabilities) {
    OpticalDrive drive;
    drive.info = std::move(info);
    if (capabilities != nullptr) {
        drive.capabilities = *capabilities;
        auto dvd = capabilities->find("Can read DVD");
        drive.readsDvd = dvd != capabilities->end() && dvd->second == "1";
    } else {
        // Without the kernel's CD-ROM information DVD reading cannot be told:
        // the drive is tested as one that may hold either.
        drive.readsDvd = true;
    }
    // A real drive tells what it reads in its profile list.
    struct stat status;
    std::string path = velk::module::SysPath(drive.info.node);
    if (::stat(path.c_str(), &status) == 0 && S_ISBLK(status.st_mode)) {
        velk::module::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        if (fd.IsOpen()) {
            if (std::optional<Configuration> configuration = GetConfiguration(fd.Get());
                configuration && !configuration->profiles.empty()) {
                ReadableMedia media = MediaOfProfiles(configuration->profiles);
                drive.readsCd = media.cd;
                drive.readsDvd = media.dvd;
            }
        }
    }
    drive.family = FamilyOf(drive.readsCd, drive.readsDvd);
    return drive;
}

}  // namespace

std::vector<OpticalDrive> FindOpticalDrives() {
    std::map<std::string, std::map<std::string, std::string>> info = ReadCdromInfo();
    std::vector<std::string> names;
    for (const auto& [name, capabilities] : info) {
        names.push_back(name);
    }
    if (names.empty()) {
        for (const std::string& name : velk::module::ListBlockDevices()) {
            if (name.rfind("sr", 0) == 0) {
                names.push_back(name);
            }
        }
    }
    std::vector<OpticalDrive> drives;
    for (const std::string& name : names) {
        std::optional<velk::module::BlockDeviceInfo> block = velk::module::ReadBlockDevice(name);
        if (!block) {
            continue;
        }
        auto capabilities = info.find(name);
        drives.push_back(Describe(std::move(*block),
                                  capabilities != info.end() ? &capabilities->second : nullptr));
    }
    return drives;
}

std::optional<OpticalDrive> FindOpticalDrive(const std::string& name) {
    for (OpticalDrive& drive : FindOpticalDrives()) {
        if (drive.info.name == name) {
            return std::move(drive);
        }
    }
    return std::nullopt;
}

namespace {

const char* ReadsText(const OpticalDrive& drive) {
    if (drive.readsCd && drive.readsDvd) {
        return "CD/DVD";
    }
    return drive.readsDvd ? "DVD" : "CD";
}

int AddDrive(const OpticalDrive& drive, std::uint32_t did) {
    const velk::module::BlockDeviceInfo& info = drive.info;
    std::string model = SanitizeText(info.model.empty() ? info.name : info.model);
    std::string name = NlsTag("szDevOptical", {{"MODEL", model}, {"NODE", info.node}});
    std::string description =
        NlsTag("szDevOpticalDescription", {{"NODE", info.node}, {"READS", ReadsText(drive)}});
    Bxi2_Device* device = nullptr;
    int status =
        velk::module::CreateBlockDeviceRecord("OPTICAL", did, name, description, info, &device);
    if (status != BXI2_OK) {
        return status;
    }
    Bxi2_AddFruAdditionalInfoToDevice(device, "READS", "Media the drive reads", ReadsText(drive));
    for (const char* key : {"Can write CD-R", "Can write CD-RW", "Can write DVD-R",
                            "Can write DVD-RAM", "drive speed"}) {
        auto found = drive.capabilities.find(key);
        if (found != drive.capabilities.end()) {
            Bxi2_AddFruAdditionalInfoToDevice(device, key, key,
                                              SanitizeText(found->second).c_str());
        }
    }
    return Bxi2_AddDevice(device);
}

}  // namespace

int Enumerate() {
    std::uint32_t did = 1;
    for (const OpticalDrive& drive : FindOpticalDrives()) {
        if (drive.family != kModuleFamily) {
            continue;
        }
        int status = AddDrive(drive, did++);
        if (status != BXI2_OK) {
            return status;
        }
    }
    return BXI2_OK;
}

int SysInfo(Bxi2_Device* device, const char* parameters) {
    if (device == nullptr) {
        return BXI2_E_BAD_ARGUMENT;
    }
    std::optional<OpticalDrive> drive =
        FindOpticalDrive(velk::module::KernelNameOfNode(Bxi2_GetDeviceOsLocator(device)));
    if (!drive) {
        return BXI2_OK;
    }
    Bxi2_AddSysInfoToDevice(device, "NODE", drive->info.node.c_str(), "Device node");
    Bxi2_AddSysInfoToDevice(device, "MODEL", SanitizeText(drive->info.model).c_str(), "Model");
    Bxi2_AddSysInfoToDevice(device, "FIRMWARE", SanitizeText(drive->info.firmware).c_str(),
                            "Firmware revision");
    Bxi2_AddSysInfoToDevice(device, "READS", ReadsText(*drive), "Media the drive reads");
    for (const auto& [key, value] : drive->capabilities) {
        Bxi2_AddSysInfoToDevice(device, SanitizeText(key).c_str(), SanitizeText(value).c_str(),
                                SanitizeText(key).c_str());
    }
    return BXI2_OK;
}

}  // namespace velk::optical
