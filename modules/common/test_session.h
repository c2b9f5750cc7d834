// What a running test sees of the engine: how much of the device to test,
// whether to stop, and where to send percent done, progress and log items.
// Texts are module string ids with variables, so that the engine shows them
// in the client's language.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace velk::modules {

// A text of the module's string file: its id and the values of its {NAME}
// variables.
struct Text {
    std::string id;
    std::vector<std::pair<std::string, std::string>> variables;

    Text(std::string textId) : id(std::move(textId)) {}
    Text(std::string textId, std::vector<std::pair<std::string, std::string>> values)
        : id(std::move(textId)), variables(std::move(values)) {}
};

class TestSession {
  public:
    virtual ~TestSession() = default;

    // Percentage of the device to test, above 0 and at most 100.
    virtual double PercentToTest() const = 0;
    // True once the engine asked the test to stop.
    virtual bool StopRequested() = 0;
    virtual void PercentDone(int percent) = 0;
    virtual void Progress(const Text& text) = 0;
    virtual void Info(const Text& text) = 0;
    virtual void Warning(int code, const Text& text) = 0;
    virtual void Error(int code, const Text& text) = 0;
};

}  // namespace velk::modules
