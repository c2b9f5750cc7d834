// The test session of a module process: the module interface's percentage,
// the engine's stop request and the test's time budget (from its declared
// time-out), and events whose texts are NLS tags of the module's own string
// file.
#pragma once

#include "test_progress.h"
#include "test_session.h"

namespace velk::modules {

class Bxi2Session : public TestSession {
  public:
    // The session of test (its declared time-out gives the time budget).
    explicit Bxi2Session(int test);

    double PercentToTest() const override;
    // True once the engine asked to stop or the time budget is used up.
    bool StopRequested() override;
    void PercentDone(int percent) override;
    void Progress(const Text& text) override;
    void Info(const Text& text) override;
    void Warning(int code, const Text& text) override;
    void Error(int code, const Text& text) override;

  private:
    velk::module::TestProgress progress_;
};

// "<NLS mod=<this module>.vkm id=ID  NAME=value .../>" with the values
// escaped by the tag format; the plain id when the tag cannot be built.
std::string NlsTag(const Text& text);

}  // namespace velk::modules
