// The engine stays up and leaves nothing behind whatever its peers do:
// clients that vanish in the middle of a request, messages that are not
// commands, and a stop while modules are still running.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "client-connection-manager.h"
#include "engine_harness.h"
#include "message-protocol.h"

namespace velk::enginetest {
namespace {

using RobustnessTest = EngineTest;

TEST_F(RobustnessTest, ClientsThatVanishMidRequestDoNotDisturbTheEngine) {
    StartEngine();
    ConnectAndWaitForDevices();
    Disconnect();
    // Each stand-in client sends one request and ends without waiting for
    // the answer or closing its connection.
    for (const char* command :
         {"SYSINFO:IDE:0:0", "RESCAN_DEVICES", "LIST_DEVICES_AND_TESTS",
          "VALIDATE_TEST_PARAMETERS:VeLkTest:0:1:param=COUNT,3", "GET_TEST_MESSAGES:1-1"}) {
        std::string program = std::string(VELK_FAKE_MODULE_PATH);
        pid_t pid = -1;
        std::string pipes = "VELK_PATH=" + Box().PipeDir();
        std::vector<char*> argv = {program.data(), const_cast<char*>("vanish"),
                                   const_cast<char*>(command), nullptr};
        std::vector<char*> envp = {pipes.data(), nullptr};
        ASSERT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data()),
                  0);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    }
    ConnectAndWaitForDevices();
    EXPECT_EQ(Devices().size(), 4u);
    std::string id = StartTest(0, "CPU:0");
    EXPECT_EQ(Field(WaitForEnd(id), "FINALRESULT"), "0");
}

TEST_F(RobustnessTest, MessagesThatAreNoCommandsAreIgnoredOrRefused) {
    StartEngine();
    ConnectAndWaitForDevices();
    // Module messages from a process that is no module, and unknown types.
    for (const char* type : {"DE_EVENT", "DE_NOTIFY", "DE_ENUMDATA", "SYSINFO_RETURNED",
                             "SOMETHING_ELSE", "VELKREF_1"}) {
        CGenStr message;
        ASSERT_TRUE(CGenStrInit(&message));
        ASSERT_EQ(VelkClientCreateEngineCommand("DIAGENGINE", nullptr, type,
                                                "<EVENT><TYPE>INFO</TYPE><TEXT>x</TEXT></EVENT>"
                                                "<DEVICE><DID>1</DID></DEVICE><STARTUP>x</STARTUP>",
                                                &message),
                  0);
        EXPECT_EQ(VelkClientSendMessage(CGenStrC_Str(&message)), 0);
        CGenStrDelete(&message);
    }
    EXPECT_EQ(Field(Transact("START_TEST<").message, "MSG/DATA/RESULT"), "ERROR");
    EXPECT_EQ(Devices().size(), 4u) << "the device list is as it was";
}

TEST_F(RobustnessTest, StoppingTheEngineEndsItsModules) {
    StartEngine();
    ConnectAndWaitForDevices();
    std::string id = StartTest(1, "IDE:0:0", {"SECONDS,60", "STOP,ignore"});
    ASSERT_FALSE(id.empty());
    ASSERT_TRUE(WaitUntilRunning(id));
    pid_t engine = Engine().Pid();
    // Only the run's module: the enumeration's has ended and been reaped.
    ASSERT_TRUE(WaitUntil([&] { return ChildrenOf(engine).size() == 1; }, 10000));
    pid_t module = ChildrenOf(engine).front();

    // The module inherited no FIFO of the engine: the only FIFOs it holds
    // are its own and the engine's, which it opened itself, once.
    int brokerFifo = 0;
    for (const std::string& target : DescriptorTargets(module)) {
        if (target.find(Box().PipeDir()) != 0) {
            continue;
        }
        if (target == Box().PipeDir() + "/VELKFIFO") {
            ++brokerFifo;
        } else {
            EXPECT_EQ(target.find(Box().PipeDir() + "/VELK_" + std::to_string(module)), 0u)
                << "inherited " << target;
        }
    }
    EXPECT_EQ(brokerFifo, 1);

    CGenStr stop;
    ASSERT_TRUE(CGenStrInit(&stop));
    ASSERT_EQ(VelkClientCreateMessageBrokerCommandStr("STOP_MESSAGE_BROKER", &stop), 0);
    EXPECT_EQ(VelkClientSendMessage(CGenStrC_Str(&stop)), 0);
    CGenStrDelete(&stop);
    std::optional<int> status = Engine().WaitForExit(10000);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    EXPECT_NE(kill(module, 0), 0) << "the module outlived the engine";
}

}  // namespace
}  // namespace velk::enginetest
