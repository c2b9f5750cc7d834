// Helpers of the processor, serial-port and parallel-port module tests that
// run a module's checks in this process: a fake machine that VELK_SYSROOT
// names while it lives, and a test session that records what a test
// reports.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "TestDirectory.h"
#include "module_fixture.h"
#include "sys_root.h"
#include "test_session.h"

namespace velk::moduletest {

// A fake machine in a private directory, the system root of this process
// while it lives.
class LocalMachine : public FakeMachine {
  public:
    LocalMachine() : FakeMachine(velk::testsupport::MakePrivateDirectory("velk-machine")) {
        ::setenv(velk::module::kSysRootVariable, Root().c_str(), 1);
    }
    ~LocalMachine() {
        ::unsetenv(velk::module::kSysRootVariable);
        velk::testsupport::RemoveTree(Root());
    }
    LocalMachine(const LocalMachine&) = delete;
    LocalMachine& operator=(const LocalMachine&) = delete;

    void Remove(const std::string& machinePath) const {
        velk::testsupport::RemoveTree(Path(machinePath));
    }
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

// The hardware locators of the devices a module of moduleId tests.
inline std::vector<std::string> Locators(const std::vector<std::string>& devices) {
    std::vector<std::string> locators;
    for (const std::string& device : devices) {
        locators.push_back(velk::enginetest::Field(device, "HWLOCATOR").value_or(""));
    }
    return locators;
}

}  // namespace velk::moduletest
