// The module support layer on a fake machine root: paths under
// VELK_SYSROOT, sysfs attribute reads, and device opens told apart by why
// they failed.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "TestDirectory.h"
#include "device_open.h"
#include "machine_files.h"
#include "sys_root.h"

namespace {

using velk::module::OpenFailure;

class FakeRoot : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = velk::testsupport::MakePrivateDirectory("velk-sysroot");
        ASSERT_FALSE(root_.empty());
        ::setenv(velk::module::kSysRootVariable, root_.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv(velk::module::kSysRootVariable);
        velk::testsupport::RemoveTree(root_);
    }
    // Writes text to the machine path under the fake root, making folders.
    void Write(const std::string& machinePath, const std::string& text) {
        std::string path = root_ + machinePath;
        for (std::size_t slash = path.find('/', root_.size() + 1); slash != std::string::npos;
             slash = path.find('/', slash + 1)) {
            ::mkdir(path.substr(0, slash).c_str(), 0755);
        }
        std::ofstream(path) << text;
    }
    std::string root_;
};

TEST(SysRootTest, PathsStayUnderTheRootTheEnvironmentNames) {
    ::setenv(velk::module::kSysRootVariable, "/tmp/fake/", 1);
    EXPECT_EQ(velk::module::SysPath("/sys/block"), "/tmp/fake/sys/block");
    EXPECT_EQ(velk::module::SysPath("dev/sda"), "/tmp/fake/dev/sda");
    ::unsetenv(velk::module::kSysRootVariable);
    EXPECT_EQ(velk::module::SysPath("/sys/block"), "/sys/block");
}

TEST_F(FakeRoot, NumbersAreReadOnlyWhenTheWholeAttributeIsOne) {
    Write("/sys/block/sda/size", "2048\n");
    Write("/sys/block/sda/model", "  Disk 12x  \n");
    EXPECT_EQ(velk::module::ReadMachineNumber("/sys/block/sda/size"), 2048u);
    EXPECT_EQ(velk::module::ReadMachineAttribute("/sys/block/sda/model"), "Disk 12x");
    EXPECT_FALSE(velk::module::ReadMachineNumber("/sys/block/sda/model").has_value());
    EXPECT_FALSE(velk::module::ReadMachineNumber("/sys/block/sdb/size").has_value());
}

TEST(OpenError, ErrnoIsToldApartAsATestReportsIt) {
    const struct {
        int error;
        bool writing;
        OpenFailure expected;
    } cases[] = {{ENOMEDIUM, false, OpenFailure::kNoMedia},
                 {EBUSY, false, OpenFailure::kBusy},
                 {EACCES, false, OpenFailure::kPrivilege},
                 {EPERM, true, OpenFailure::kPrivilege},
                 {EROFS, true, OpenFailure::kWriteProtected},
                 {ENOENT, false, OpenFailure::kMissing},
                 {EIO, false, OpenFailure::kOther}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::strerror(c.error));
        EXPECT_EQ(velk::module::ClassifyOpenError(c.error, c.writing), c.expected);
    }
}

TEST_F(FakeRoot, ANodeLockedForWritingElsewhereIsBusy) {
    Write("/dev/sdz", std::string(4096, 'x'));
    int holder = ::open((root_ + "/dev/sdz").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    velk::module::OpenedDevice busy = velk::module::OpenDevice("/dev/sdz", {});
    EXPECT_EQ(busy.failure, OpenFailure::kBusy);
    EXPECT_FALSE(busy.fd.IsOpen());
    ::close(holder);
    velk::module::OpenedDevice opened = velk::module::OpenDevice("/dev/sdz", {});
    EXPECT_EQ(opened.failure, OpenFailure::kNone);
    EXPECT_TRUE(opened.fd.IsOpen());
}

TEST_F(FakeRoot, AMissingNodeIsASetUpFailure) {
    EXPECT_EQ(velk::module::OpenDevice("/dev/sdq", {}).failure, OpenFailure::kMissing);
}

TEST_F(FakeRoot, MountedPartitionsAndSwapCountAsMountUse) {
    Write("/proc/self/mountinfo",
          "22 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
          "23 22 0:5 / /proc rw - proc proc rw\n");
    Write("/proc/swaps", "Filename Type Size Used Priority\n/dev/sdc1 partition 1 0 -2\n");
    EXPECT_TRUE(velk::module::KernelDeviceInUseByMount("sda"));
    EXPECT_TRUE(velk::module::KernelDeviceInUseByMount("sdc"));
    EXPECT_FALSE(velk::module::KernelDeviceInUseByMount("sdb"));
    EXPECT_FALSE(velk::module::KernelDeviceInUseByMount(""));
}

}  // namespace
