// Test harness for the engine: a private bin directory of links (velkcore
// and the test module), a private pipe directory, the real velkcore started
// and stopped by its pid, this test process as a client of it, and checks
// that nothing is left behind: no zombie child, no module process, no FIFO.
#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestProcess.h"
#include "TestWait.h"

namespace velk::enginetest {

using velk::testsupport::ChildrenOf;
using velk::testsupport::WaitUntil;
using velk::testsupport::ZombieChildren;

// A private directory (mode 0700) with bin/ and pipes/, removed with its
// content on destruction.
class Sandbox {
  public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::string& Root() const { return root_; }
    std::string BinDir() const { return root_ + "/bin"; }
    std::string PipeDir() const { return root_ + "/pipes"; }

    // STEM.linux as a link to the test module's executable, STEM.vkm as a
    // link to its definitions file (or written with definitions when given),
    // STEM.nls as a link to its string file.
    void AddTestModule(const std::string& stem,
                       const std::optional<std::string>& definitions = std::nullopt) const;
    // STEM.vkm written in place of what it was.
    void ReplaceDefinitions(const std::string& stem, const std::string& definitions) const;
    // STEM.linux as a link to the stand-in module, STEM.vkm written.
    void AddFakeModule(const std::string& stem, const std::string& definitions) const;
    void WriteFile(const std::string& name, const std::string& text, int mode = 0600) const;
    // The test module's definitions file with the lines that start with one
    // of the keys replaced.
    static std::string TestModuleDefinitions(const std::vector<std::string>& replacedLines);
    std::vector<std::string> PipeDirEntries() const;

  private:
    std::string root_;
};

// velkcore runs from the sandbox's bin directory (without VELKOR_HOME, so
// that it finds its modules beside its own path).
using EngineProcess = velk::testsupport::ChildProcess;

// Processes whose command line names a file under directory.
std::vector<pid_t> ProcessesUnder(const std::string& directory);
// What the open descriptors of pid name (readlink of /proc/PID/fd/*).
std::vector<std::string> DescriptorTargets(pid_t pid);

// The content of the skip-th element at path; nothing when absent.
std::optional<std::string> Field(const std::string& text, const char* path, int skip = 0);
// Every element at path, in order.
std::vector<std::string> Fields(const std::string& text, const char* path);

// A transaction's outcome: the VelkClientSendTransactionStr code and the
// reply message.
struct Reply {
    int code = -1;
    std::string message;
    std::string Data() const { return Field(message, "MSG/DATA").value_or(""); }
};

class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Starts velkcore and waits until it reads its FIFO (VELKFIFO, or
    // VELKFIFO_<pid> with "--multi").
    EngineProcess& StartEngine(const std::vector<std::string>& words = {},
                               const std::vector<std::string>& environment = {});
    // Opens this process's connection: VELK_OPEN_OK or VELK_OPEN_ENUM_COMPLETE.
    int Connect();
    // Connects and waits for the enumeration, whichever way it is reported.
    void ConnectAndWaitForDevices();
    void Disconnect();

    Reply Transact(const std::string& command, const char* to = "DIAGENGINE",
                   int timeoutMs = 20000);
    // The data of messages of type that arrive, up to and including the one
    // for which last returns true (or until timeoutMs passes).
    std::vector<std::string> ReceiveOfType(const char* type,
                                           const std::function<bool(const std::string&)>& last,
                                           int timeoutMs);

    // LIST_DEVICES_AND_TESTS: the DEVICE elements.
    std::vector<std::string> Devices();
    // The DID of the test module's component on the device with hwLocator.
    unsigned DeviceId(const std::string& hwLocator, const std::string& moduleId = "VeLkTest");
    // START_TEST on the test module; the process id, "" when refused.
    std::string StartTest(int test, const std::string& hwLocator,
                          const std::vector<std::string>& parameters = {});
    // Polls GET_TEST_STATUS until STATE is 2; the last TESTSTATUS text.
    std::string WaitForEnd(const std::string& id);
    // Polls GET_TEST_STATUS until the run is running (STATE 1).
    bool WaitUntilRunning(const std::string& id);
    // GET_TEST_MESSAGES: the TESTLOGITEM elements, the end marker included.
    std::vector<std::string> LogItems(const std::string& id);

    Sandbox& Box() { return *sandbox_; }
    EngineProcess& Engine() { return *engine_; }

    std::unique_ptr<Sandbox> sandbox_;
    std::unique_ptr<EngineProcess> engine_;
    bool connected_ = false;
};

}  // namespace velk::enginetest
