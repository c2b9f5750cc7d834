// Helpers of the processor, serial-port and parallel-port module tests: a
// fake machine under VELK_SYSROOT, a test session that records what a test
// reports, and an engine fixture that runs the real module executables.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestDirectory.h"
#include "engine_harness.h"
#include "sys_root.h"
#include "test_session.h"

namespace velk::moduletest {

// A private directory that VELK_SYSROOT names while the object lives.
class FakeMachine {
  public:
    FakeMachine() : root_(velk::testsupport::MakePrivateDirectory("velk-machine")) {
        ::setenv(velk::module::kSysRootVariable, root_.c_str(), 1);
    }
    ~FakeMachine() {
        ::unsetenv(velk::module::kSysRootVariable);
        velk::testsupport::RemoveTree(root_);
    }
    FakeMachine(const FakeMachine&) = delete;
    FakeMachine& operator=(const FakeMachine&) = delete;

    const std::string& Root() const { return root_; }
    std::string Path(const std::string& machinePath) const { return root_ + machinePath; }

    // Writes text to a machine path, making its folders.
    void Write(const std::string& machinePath, const std::string& text) const {
        MakeParents(machinePath);
        std::ofstream(Path(machinePath)) << text;
    }
    // A symbolic link at a machine path to target (a real path).
    void Link(const std::string& machinePath, const std::string& target) const {
        MakeParents(machinePath);
        ::unlink(Path(machinePath).c_str());
        EXPECT_EQ(::symlink(target.c_str(), Path(machinePath).c_str()), 0) << machinePath;
    }
    void Remove(const std::string& machinePath) const {
        velk::testsupport::RemoveTree(Path(machinePath));
    }

  private:
    void MakeParents(const std::string& machinePath) const {
        std::string path = Path(machinePath);
        for (size_t slash = path.find('/', root_.size() + 1); slash != std::string::npos;
             slash = path.find('/', slash + 1)) {
            ::mkdir(path.substr(0, slash).c_str(), 0755);
        }
    }

    std::string root_;
};

// One reported item: kind ("info", "warning", "error", "progress"), event
// code and text.
struct Reported {
    std::string kind;
    int code = 0;
    velk::modules::Text text;
};

class RecordingSession : public velk::modules::TestSession {
  public:
    explicit RecordingSession(double percent = 100.0, int stopAfterPolls = -1)
        : percent_(percent), stopAfterPolls_(stopAfterPolls) {}

    double PercentToTest() const override { return percent_; }
    bool StopRequested() override {
        ++polls_;
        return stopAfterPolls_ >= 0 && polls_ > stopAfterPolls_;
    }
    void PercentDone(int percent) override { percents.push_back(percent); }
    void Progress(const velk::modules::Text& text) override {
        items.push_back({"progress", 0, text});
    }
    void Info(const velk::modules::Text& text) override { items.push_back({"info", 0, text}); }
    void Warning(int code, const velk::modules::Text& text) override {
        items.push_back({"warning", code, text});
    }
    void Error(int code, const velk::modules::Text& text) override {
        items.push_back({"error", code, text});
    }

    // The first item with the text id, if any.
    std::optional<Reported> Find(const std::string& id) const {
        for (const auto& item : items) {
            if (item.text.id == id) {
                return item;
            }
        }
        return std::nullopt;
    }
    // The value of variable name of the first item with the text id.
    std::string Variable(const std::string& id, const std::string& name) const {
        if (auto item = Find(id)) {
            for (const auto& [key, value] : item->text.variables) {
                if (key == name) {
                    return value;
                }
            }
        }
        return {};
    }
    std::vector<std::string> ErrorIds() const {
        std::vector<std::string> ids;
        for (const auto& item : items) {
            if (item.kind == "error") {
                ids.push_back(item.text.id);
            }
        }
        return ids;
    }

    std::vector<Reported> items;
    std::vector<int> percents;

  private:
    double percent_;
    int stopAfterPolls_;
    int polls_ = 0;
};

// The real engine with the modules of the build's bin directory linked into
// its sandbox, reading the fake machine.
class ModuleEngineTest : public velk::enginetest::EngineTest {
  protected:
    // Links NAME.linux, NAME.vkm and NAME.nls of the build into the sandbox.
    void AddModule(const std::string& name) {
        for (const char* suffix : {".linux", ".vkm", ".nls"}) {
            std::string from = std::string(VELK_MODULE_BIN_DIR) + "/" + name + suffix;
            std::string to = Box().BinDir() + "/" + name + suffix;
            ASSERT_EQ(::symlink(from.c_str(), to.c_str()), 0) << to;
        }
    }
    void StartWithMachine(const FakeMachine& machine) {
        StartEngine({}, {"VELK_SYSROOT=" + machine.Root(), "VELK_ENGINE_STOP_GRACE_MS=2000"});
        ConnectAndWaitForDevices();
    }
    // The engine on this machine itself (no fake root).
    void StartOnThisMachine() {
        ::unsetenv(velk::module::kSysRootVariable);
        StartEngine({}, {"VELK_ENGINE_STOP_GRACE_MS=2000"});
        ConnectAndWaitForDevices();
    }
    // The hardware locators of the devices moduleId tests.
    std::vector<std::string> LocatorsOf(const std::string& moduleId) {
        std::vector<std::string> locators;
        for (const std::string& device : Devices()) {
            for (const std::string& component : velk::enginetest::Fields(device, "COMPONENT")) {
                if (velk::enginetest::Field(component, "ID") == moduleId) {
                    locators.push_back(velk::enginetest::Field(device, "HWLOCATOR").value_or(""));
                }
            }
        }
        return locators;
    }
    struct RunEnd {
        std::string finalResult;
        std::vector<std::string> itemTexts;
    };
    // START_TEST of moduleId's test on the device: the run's process id.
    std::string Start(const std::string& moduleId, int test, const std::string& hwLocator,
                      const std::vector<std::string>& parameters = {}) {
        std::string command = "START_TEST:" + moduleId + ":" + std::to_string(test) + ":" +
                              std::to_string(DeviceId(hwLocator, moduleId));
        for (const std::string& parameter : parameters) {
            command += ":param=" + parameter;
        }
        velk::enginetest::Reply reply = Transact(command);
        std::string id =
            velk::enginetest::Field(reply.message, "MSG/DATA/TESTPROCESSID").value_or("");
        EXPECT_FALSE(id.empty()) << reply.message;
        return id;
    }
    // The same, waited for to its end.
    RunEnd RunToEnd(const std::string& moduleId, int test, const std::string& hwLocator,
                    const std::vector<std::string>& parameters = {}) {
        return WaitForRun(Start(moduleId, test, hwLocator, parameters));
    }
    // The end of the run id: its final result and log texts (the run is freed).
    RunEnd WaitForRun(const std::string& id) {
        RunEnd end;
        if (id.empty()) {
            return end;
        }
        std::string status = WaitForEnd(id);
        end.finalResult = velk::enginetest::Field(status, "FINALRESULT").value_or("?");
        for (const std::string& item : LogItems(id)) {
            end.itemTexts.push_back(velk::enginetest::Field(item, "TEXT").value_or(""));
        }
        Transact("FREE_TEST_PROCESS:" + id);
        return end;
    }
    static bool AnyContains(const std::vector<std::string>& texts, const std::string& part) {
        for (const auto& text : texts) {
            if (text.find(part) != std::string::npos) {
                return true;
            }
        }
        return false;
    }
};

}  // namespace velk::moduletest
