// What the client knows of the broker FIFO it writes to: whose it is (a FIFO
// of another user is refused), whether a broker still reads it, and which
// process that broker is.  The test itself plays the broker's reading side.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "TestDirectory.h"
#include "client-fifo-access.h"
#include "pipe-lowlevel.h"

namespace {

using velk::testsupport::ListDirectory;
using velk::testsupport::MakePrivateDirectory;
using velk::testsupport::RemoveTree;

class BrokerFifoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        directory_ = MakePrivateDirectory("velk-broker-fifo");
        ASSERT_FALSE(directory_.empty());
        setenv("VELK_TMP", directory_.c_str(), 1);
        VelkInitPipes();
        broker_ = directory_ + "/VELKFIFO";
        ASSERT_EQ(mkfifo(broker_.c_str(), 0660), 0);
        reader_ = open(broker_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(reader_, 0);
        VelkSetServerFifoNameEx(broker_.c_str());
    }
    void TearDown() override {
        VelkClient_I_CloseFifos();
        if (reader_ >= 0) {
            close(reader_);
        }
        VelkSetServerFifoNameEx(nullptr);
        RemoveTree(directory_);
        unsetenv("VELK_TMP");
    }

    std::string directory_;
    std::string broker_;
    int reader_ = -1;
};

TEST_F(BrokerFifoTest, BrokerIsKnownByItsReadingProcessAndItsGoing) {
    ASSERT_EQ(VelkClient_I_OpenFifos(), 0);
    EXPECT_EQ(VelkClient_I_BrokerGone(), 0);
    EXPECT_EQ(VelkClient_I_BrokerIsProcess(getpid()), 1);
    EXPECT_EQ(VelkClient_I_BrokerIsProcess(getppid()), 0);
    close(reader_);
    reader_ = -1;
    EXPECT_EQ(VelkClient_I_BrokerGone(), 1);
}

TEST_F(BrokerFifoTest, FifoOfAnotherUserIsRefused) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "only root can give a FIFO to another user";
    }
    ASSERT_EQ(chown(broker_.c_str(), 65534, 65534), 0);
    EXPECT_EQ(VelkClient_I_OpenFifos(), 11);
    EXPECT_EQ(ListDirectory(directory_), std::vector<std::string>{"VELKFIFO"});
}

struct OwnerCase {
    mode_t type;
    uid_t owner;
    int trusted;
};

class BrokerOwnerTest : public ::testing::TestWithParam<OwnerCase> {};

TEST_P(BrokerOwnerTest, OnlyFifosOfTheUserOrRootAreTrusted) {
    struct stat status {};
    status.st_mode = GetParam().type | 0660;
    status.st_uid = GetParam().owner;
    EXPECT_EQ(VelkClient_I_BrokerFifoTrusted(&status, 1000), GetParam().trusted);
}

INSTANTIATE_TEST_SUITE_P(Owners, BrokerOwnerTest,
                         ::testing::Values(OwnerCase{S_IFIFO, 1000, 1}, OwnerCase{S_IFIFO, 0, 1},
                                           OwnerCase{S_IFIFO, 1001, 0},
                                           OwnerCase{S_IFREG, 1000, 0}));

}  // namespace
