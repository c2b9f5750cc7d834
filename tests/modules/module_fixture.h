// Test harness for the diagnostic modules: a fake machine (a directory used
// as VELK_SYSROOT, with sysfs and procfs files and image files as device
// nodes) and the real engine running the real modules on it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine_harness.h"

namespace velk::moduletest {

// A fake machine under a root directory.
class FakeMachine {
  public:
    explicit FakeMachine(std::string root);

    const std::string& Root() const { return root_; }
    // The real path of a machine path.
    std::string Path(const std::string& machinePath) const { return root_ + machinePath; }
    // Writes a file, making its folders.
    void Write(const std::string& machinePath, const std::string& text, int mode = 0644) const;
    // A symbolic link at machinePath to target (as stored).
    void Link(const std::string& machinePath, const std::string& target) const;
    // An image file of bytes at machinePath whose every sector holds its own
    // number, so that misplaced reads are told apart.
    void WriteImage(const std::string& machinePath, std::uint64_t bytes) const;

    struct Disk {
        std::string name = "sda";
        std::string scsiAddress = "0:0:0:0";
        std::string model = "Velkor Disk";
        std::string serial = "VD0001";
        std::string firmware = "1.00";
        std::uint64_t imageBytes = 4 << 20;
        std::optional<std::uint64_t> kernelBytes;  // the sysfs size; the image's when unset
        bool readOnly = false;
        bool removable = false;
        bool sparse = false;  // the image is one hole (reads zeros, takes no space)
    };
    // /sys/block/<name> with a SCSI device link and /dev/<name> as image.
    void AddDisk(const Disk& disk) const;
    struct OpticalDrive {
        std::string name = "sr0";
        std::string scsiAddress = "1:0:0:0";
        std::string model = "Velkor DVD";
        bool readsDvd = true;
        std::uint64_t discBytes = 8 << 20;  // 0: no disc in the drive
        bool blankDisc = false;             // a disc of zeros
    };
    // /proc/sys/dev/cdrom/info naming every drive, each with its sysfs
    // block device and /dev/<name> holding the disc (an ISO 9660 image).
    void AddOpticalDrives(const std::vector<OpticalDrive>& drives) const;
    struct Diskette {
        std::string name = "fd0";
        std::uint64_t imageBytes = 1474560;  // 0: no diskette in the drive
        bool formatted = true;               // a FAT boot sector
        bool writeProtected = false;         // kernel read-only flag, image without write bits
    };
    // /sys/block/<name> with the floppy platform device (drive type 1.44M)
    // and /dev/<name> holding the diskette.
    void AddDiskette(const Diskette& diskette) const;
    // A block device without hardware behind it (like a loop device).
    void AddVirtualBlockDevice(const std::string& name) const;

  private:
    std::string root_;
};

// The outcome of one test run through the engine.
struct RunOutcome {
    std::string finalResult;            // TESTSTATUS/FINALRESULT: 0 PASS, 2 FAIL, ...
    std::string status;                 // the last TESTSTATUS
    std::vector<std::string> logItems;  // TESTLOGITEM texts, end marker included
    // The log items of severity (INFO, WARN, ERROR).
    std::vector<std::string> ItemsOf(const std::string& severity) const;
    // True when an item of severity carries the NLS id and event code.
    bool HasItem(const std::string& severity, const std::string& nlsId,
                 const std::string& eventCode = "") const;
};

// Result numbers of TESTSTATUS/FINALRESULT.
inline constexpr const char* kPass = "0";
inline constexpr const char* kSetUpError = "1";
inline constexpr const char* kFail = "2";
inline constexpr const char* kBusy = "3";
inline constexpr const char* kPrivilegeError = "4";
inline constexpr const char* kNotApplicable = "5";
inline constexpr const char* kBadParams = "6";
inline constexpr const char* kNoMedia = "7";
inline constexpr const char* kDiscontinued = "8";

// Keys of the recommended actions a module's failures are published with.
bool IsRecommendedActionKey(const std::string& key);

class ModuleTest : public velk::enginetest::EngineTest {
  protected:
    void SetUp() override;

    FakeMachine& Machine() { return *machine_; }
    // Links the module STEM of the build's bin directory into the engine's
    // bin directory; with readFaults ("FIRST-END,..." in bytes) it runs under
    // the read-fault launcher, so that its preads of those bytes fail.
    void AddModule(const std::string& stem, const std::string& readFaults = "");
    // Starts the engine on the fake machine (or on this machine when
    // realMachine is set) and waits for the enumeration.
    void StartOnMachine(bool realMachine = false);
    // The DEVICE elements of the engine's device list that a module of
    // moduleId tests.
    std::vector<std::string> DevicesOf(const std::string& moduleId);
    // Runs test of moduleId on the device with hwLocator to its end.
    RunOutcome RunTest(const std::string& moduleId, int test, const std::string& hwLocator,
                       const std::vector<std::string>& parameters = {});
    // Starts a run; its process id ("" when refused).
    std::string Start(const std::string& moduleId, int test, const std::string& hwLocator,
                      const std::vector<std::string>& parameters = {});
    RunOutcome Finish(const std::string& id);

  private:
    std::unique_ptr<FakeMachine> machine_;
};

}  // namespace velk::moduletest
