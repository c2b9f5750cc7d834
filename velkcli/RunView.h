// What velkcli run shows while a test runs: a progress bar redrawn in place
// on a terminal, or a plain line for each change of percent or progress
// text otherwise; log messages as lines of their own; and the records that
// the final report (text or JSON) is made of.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "JsonLayout.h"

namespace velkcli {

struct MessageRecord {
    int sequence = -1;
    long time = 0;
    std::string severity;  // INFORMATIVE, WARNING, ERROR, INVALID
    std::optional<int> eventCode;
    std::string text;
};

struct RunRecord {
    unsigned int pass = 0;
    std::string processId;
    std::string result;  // the result text, "" when none is known
    std::optional<int> percent;
    std::vector<MessageRecord> messages;
};

struct ParameterRecord {
    std::string id;
    std::string value;
    bool applied = false;  // false: the module's default
};

// "ERROR [102]: text" ("WARNING: text" without an event code).
std::string MessageLine(const MessageRecord& message);
// "[##########          ]  50%  text", cut to width columns.
std::string ProgressBar(int percent, const std::string& text, size_t width);

class ProgressView {
  public:
    // terminal: redraw one line in place; otherwise print changes as lines.
    ProgressView(std::FILE* out, bool terminal);
    ~ProgressView();
    ProgressView(const ProgressView&) = delete;
    ProgressView& operator=(const ProgressView&) = delete;

    void Show(int percent, const std::string& text);
    // A line of its own (above the bar on a terminal).
    void Line(const std::string& text);
    // Removes the bar.
    void Clear();

  private:
    std::FILE* out_;
    bool terminal_;
    bool barShown_ = false;
    int lastPercent_ = -1;
    std::string lastText_;
    size_t width_;
};

struct RunReport {
    std::string test;
    std::string name;
    std::string device;
    std::vector<ParameterRecord> parameters;
    unsigned int passes = 1;
    std::optional<long> maxTimeSeconds;
    std::optional<unsigned int> errorLimit;
    std::string scenarioState;
    std::string outcome;  // passed, failed, could-not-run, stopped, engine-trouble
    std::string reason;   // one line, "" when there is nothing to add
    int exitStatus = 0;
    std::string result;  // the deciding run's result text
    std::vector<RunRecord> runs;
};

std::string RunReportJson(const RunReport& report);

}  // namespace velkcli
