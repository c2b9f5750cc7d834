#include "module_fixture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <set>

#include "TestDirectory.h"

namespace velk::moduletest {

using velk::enginetest::Field;
using velk::enginetest::Fields;

FakeMachine::FakeMachine(std::string root) : root_(std::move(root)) {
    ::mkdir(root_.c_str(), 0700);
}

namespace {
void MakeParents(const std::string& path, std::size_t from) {
    for (std::size_t slash = path.find('/', from); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        ::mkdir(path.substr(0, slash).c_str(), 0755);
    }
}
}  // namespace

void FakeMachine::Write(const std::string& machinePath, const std::string& text, int mode) const {
    std::string path = Path(machinePath);
    MakeParents(path, root_.size() + 1);
    ::unlink(path.c_str());
    std::ofstream(path) << text;
    ::chmod(path.c_str(), static_cast<mode_t>(mode));
}

void FakeMachine::Link(const std::string& machinePath, const std::string& target) const {
    std::string path = Path(machinePath);
    MakeParents(path, root_.size() + 1);
    ::unlink(path.c_str());
    EXPECT_EQ(::symlink(target.c_str(), path.c_str()), 0) << path;
}

void FakeMachine::WriteImage(const std::string& machinePath, std::uint64_t bytes) const {
    std::string path = Path(machinePath);
    MakeParents(path, root_.size() + 1);
    std::ofstream image(path, std::ios::binary | std::ios::trunc);
    std::string sector(512, '\0');
    for (std::uint64_t number = 0; number * 512 < bytes; ++number) {
        std::string label = "sector " + std::to_string(number);
        sector.replace(0, label.size() + 1, label + '\n');
        image.write(sector.data(), static_cast<std::streamsize>(
                                       std::min<std::uint64_t>(512, bytes - number * 512)));
    }
}

void FakeMachine::AddDisk(const Disk& disk) const {
    std::string device = "/sys/devices/pci0000:00/host0/target0:0:0/" + disk.scsiAddress;
    Write(device + "/vendor", "ATA\n");
    Write(device + "/model", disk.model + "\n");
    Write(device + "/rev", disk.firmware + "\n");
    Write(device + "/serial", disk.serial + "\n");
    std::string block = "/sys/block/" + disk.name;
    Link(block + "/device", "../../devices/pci0000:00/host0/target0:0:0/" + disk.scsiAddress);
    Write(block + "/size", std::to_string(disk.kernelBytes.value_or(disk.imageBytes) / 512) + "\n");
    Write(block + "/ro", disk.readOnly ? "1\n" : "0\n");
    Write(block + "/removable", disk.removable ? "1\n" : "0\n");
    Write(block + "/queue/logical_block_size", "512\n");
    Write(block + "/queue/physical_block_size", "4096\n");
    Write(block + "/queue/rotational", "1\n");
    if (!disk.nodeTarget.empty()) {
        Link("/dev/" + disk.name, disk.nodeTarget);
    } else if (disk.sparse) {
        Write("/dev/" + disk.name, "");
        EXPECT_EQ(
            ::truncate(Path("/dev/" + disk.name).c_str(), static_cast<off_t>(disk.imageBytes)), 0);
    } else {
        WriteImage("/dev/" + disk.name, disk.imageBytes);
    }
}

void FakeMachine::AddOpticalDrives(const std::vector<OpticalDrive>& drives) const {
    std::string names = "drive name:\t";
    std::string dvd = "Can read DVD:\t";
    for (const OpticalDrive& drive : drives) {
        names += "\t" + drive.name;
        dvd += "\t" + std::string(drive.readsDvd ? "1" : "0");
        std::string device = "/sys/devices/pci0000:00/host1/target1:0:0/" + drive.scsiAddress;
        Write(device + "/vendor", "VELKOR\n");
        Write(device + "/model", drive.model + "\n");
        Write(device + "/rev", "2.10\n");
        std::string block = "/sys/block/" + drive.name;
        Link(block + "/device", "../../devices/pci0000:00/host1/target1:0:0/" + drive.scsiAddress);
        Write(block + "/size", std::to_string(drive.discBytes / 512) + "\n");
        Write(block + "/removable", "1\n");
        Write(block + "/ro", "1\n");
        Write(block + "/queue/logical_block_size", "2048\n");
        std::string node = "/dev/" + drive.name;
        if (drive.blankDisc || drive.discBytes == 0) {
            Write(node, "");
            ::truncate(Path(node).c_str(), static_cast<off_t>(drive.discBytes));
            continue;
        }
        WriteImage(node, drive.discBytes);
        std::fstream image(Path(node), std::ios::in | std::ios::out | std::ios::binary);
        image.seekp(32768);
        image.write(
            "\x01"
            "CD001\x01",
            7);
    }
    Write("/proc/sys/dev/cdrom/info", "CD-ROM information, Id: cdrom.c 3.20 2003/12/17\n\n" +
                                          names + "\n" + "drive speed:\t\t48\n" + dvd + "\n");
}

void FakeMachine::AddDiskette(const Diskette& diskette) const {
    std::string device = "/sys/devices/platform/floppy.0";
    Write(device + "/cmos", "4\n");
    std::string block = "/sys/block/" + diskette.name;
    Link(block + "/device", "../../devices/platform/floppy.0");
    Write(block + "/size", std::to_string(diskette.imageBytes / 512) + "\n");
    Write(block + "/removable", "1\n");
    Write(block + "/ro", diskette.writeProtected ? "1\n" : "0\n");
    Write(block + "/queue/logical_block_size", "512\n");
    std::string node = "/dev/" + diskette.name;
    WriteImage(node, diskette.imageBytes);
    if (diskette.formatted && diskette.imageBytes > 0) {
        // A FAT boot sector: 512 bytes per sector, one sector per cluster,
        // two FATs, and the signature.
        std::fstream image(Path(node), std::ios::in | std::ios::out | std::ios::binary);
        const char parameters[] = {0x00, 0x02, 0x01, 0x01, 0x00, 0x02};
        image.seekp(11);
        image.write(parameters, sizeof parameters);
        image.seekp(510);
        image.write("\x55\xaa", 2);
    }
    if (diskette.writeProtected) {
        ::chmod(Path(node).c_str(), 0444);
    }
}

void FakeMachine::AddVirtualBlockDevice(const std::string& name) const {
    Write("/sys/block/" + name + "/size", "2048\n");
    WriteImage("/dev/" + name, 2048 * 512);
}

std::vector<std::string> RunOutcome::ItemsOf(const std::string& severity) const {
    std::vector<std::string> items;
    for (const std::string& item : logItems) {
        if (Field(item, "SEVERITY") == severity) {
            items.push_back(item);
        }
    }
    return items;
}

bool RunOutcome::HasItem(const std::string& severity, const std::string& nlsId,
                         const std::string& eventCode) const {
    for (const std::string& item : ItemsOf(severity)) {
        std::string text = Field(item, "TEXT").value_or("");
        if (text.find(" id=" + nlsId + " ") != std::string::npos &&
            (eventCode.empty() || Field(item, "EVENTCODE") == eventCode)) {
            return true;
        }
    }
    return false;
}

bool IsRecommendedActionKey(const std::string& key) {
    static const std::set<std::string> keys = {
        "VeLkCdDrive_0",    "VeLkCdDrive_1",    "VeLkCdDrive_2",    "VeLkCdDrive_3",
        "VeLkDvdDrive_0",   "VeLkDvdDrive_1",   "VeLkDvdDrive_2",   "VeLkDvdDrive_3",
        "VeLkCdDvdDrive_0", "VeLkCdDvdDrive_1", "VeLkCdDvdDrive_2", "VeLkCdDvdDrive_3",
        "VELkFloppy_0",     "VELkFloppy_1",     "VELkFloppy_2",     "VELkFloppy_3",
        "VELkFloppy_4",     "VeLkHardDrive_0",  "VeLkHardDrive_1",  "VeLkHardDrive_2",
        "VeLkHardDrive_3",  "VeLkHardDrive_4",
    };
    // The processor, serial-port and parallel-port modules.
    static const std::set<std::string> moreKeys = {
        "VELkCPU_0",        "VELkCPU_1",          "VELkCPU_2",          "VELkCPU_3",
        "VELkSerialPort_0", "VELkSerialPort_1",   "VELkSerialPort_2",   "VELkSerialPort_3",
        "VELkSerialPort_4", "VELkParallelPort_0", "VELkParallelPort_1",
    };
    return keys.count(key) == 1 || moreKeys.count(key) == 1;
}

void ModuleTest::SetUp() {
    EngineTest::SetUp();
    machine_ = std::make_unique<FakeMachine>(Box().Root() + "/machine");
}

void ModuleTest::AddModule(const std::string& stem, const std::string& readFaults) {
    std::string built = std::string(VELK_MODULE_BIN_DIR) + "/" + stem;
    std::string linked = Box().BinDir() + "/" + stem;
    for (const char* suffix : {".vkm", ".nls"}) {
        ASSERT_EQ(::symlink((built + suffix).c_str(), (linked + suffix).c_str()), 0) << stem;
    }
    if (readFaults.empty()) {
        ASSERT_EQ(::symlink((built + ".linux").c_str(), (linked + ".linux").c_str()), 0);
        return;
    }
    Box().WriteFile("bin/" + stem + ".linux",
                    "#!/bin/sh\nexec '" + std::string(VELK_READ_FAULT_PATH) + "' '" + readFaults +
                        "' '" + built + ".linux\' \"$@\"\n",
                    0700);
}

void ModuleTest::OverrideDefinition(const std::string& stem, const std::string& key,
                                    const std::string& value) {
    std::string path = Box().BinDir() + "/" + stem + ".vkm";
    std::string text = velk::testsupport::ReadFile(path);
    std::size_t at = text.find("\n" + key + "=");
    ASSERT_NE(at, std::string::npos) << key;
    std::size_t end = text.find('\n', at + 1);
    text.replace(at + 1, end - at - 1, key + "=" + value);
    ::unlink(path.c_str());
    std::ofstream(path) << text;
}

void ModuleTest::StartOnMachine(bool realMachine) {
    std::vector<std::string> environment;
    if (!realMachine) {
        environment.push_back("VELK_SYSROOT=" + Machine().Root());
    }
    StartEngine({}, environment);
    ConnectAndWaitForDevices();
}

std::vector<std::string> ModuleTest::DevicesOf(const std::string& moduleId) {
    std::vector<std::string> found;
    for (const std::string& device : Devices()) {
        for (const std::string& component : Fields(device, "COMPONENT")) {
            if (Field(component, "ID") == moduleId) {
                found.push_back(device);
            }
        }
    }
    return found;
}

std::string ModuleTest::Start(const std::string& moduleId, int test, const std::string& hwLocator,
                              const std::vector<std::string>& parameters) {
    std::string command = "START_TEST:" + moduleId + ":" + std::to_string(test) + ":" +
                          std::to_string(DeviceId(hwLocator, moduleId));
    for (const std::string& parameter : parameters) {
        command += ":param=" + parameter;
    }
    velk::enginetest::Reply reply = Transact(command);
    EXPECT_EQ(Field(reply.message, "MSG/DATA/RESULT"), "OK") << command << ": " << reply.message;
    return Field(reply.message, "MSG/DATA/TESTPROCESSID").value_or("");
}

RunOutcome ModuleTest::Finish(const std::string& id) {
    RunOutcome outcome;
    outcome.status = WaitForEnd(id);
    outcome.finalResult = Field(outcome.status, "FINALRESULT").value_or("?");
    outcome.logItems = LogItems(id);
    return outcome;
}

RunOutcome ModuleTest::RunTest(const std::string& moduleId, int test, const std::string& hwLocator,
                               const std::vector<std::string>& parameters) {
    std::string id = Start(moduleId, test, hwLocator, parameters);
    if (id.empty()) {
        return {};
    }
    RunOutcome outcome = Finish(id);
    EXPECT_TRUE(outcome.finalResult == kPass ||
                IsRecommendedActionKey(moduleId + "_" + std::to_string(test)))
        << "a failure of " << moduleId << " test " << test << " has no recommended actions";
    return outcome;
}

}  // namespace velk::moduletest
