// Two velkcli started together where no engine runs: both launch one, one
// engine wins the broker FIFO, and both programs must list the devices and
// leave nothing running.  Scripted engine behind the real broker.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <memory>
#include <string>

#include "Sandbox.h"

namespace {

using velk::dlltest::Child;
using velk::dlltest::ChildrenNamed;
using velk::dlltest::Sandbox;

TEST(ConcurrentStartTest, BothClientsGetTheDeviceListAndNoEngineStays) {
    velk::dlltest::BecomeSubreaper();
    Sandbox sandbox(Sandbox::Bin::SCRIPTED);
    for (int round = 0; round < 5; ++round) {
        Child first(VELKCLI_PATH, {"devices"}, sandbox.Root());
        Child second(VELKCLI_PATH, {"devices"}, sandbox.Root());
        for (Child* program : {&first, &second}) {
            std::optional<int> status = program->Wait(120000);
            ASSERT_TRUE(status && WIFEXITED(*status)) << "round " << round;
            EXPECT_EQ(WEXITSTATUS(*status), 0) << "round " << round << ": " << program->Stderr();
            EXPECT_NE(program->Stdout().find("COM:1:03f8"), std::string::npos) << program->Stdout();
        }
        // The engine is stopped by the client that launched it; a launch
        // that lost the race ended by itself.
        for (pid_t stray : ChildrenNamed("velkcore")) {
            ADD_FAILURE() << "round " << round << ": stray velkcore " << stray;
            velk::dlltest::StopProcess(stray);
        }
    }
    velk::dlltest::ExpectNothingLeft(sandbox);
}

}  // namespace
