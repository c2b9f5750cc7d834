#include "RunView.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

namespace velkcli {

namespace {

constexpr size_t kBarCells = 20;
constexpr size_t kDefaultWidth = 80;

size_t TerminalWidth(std::FILE* out) {
    struct winsize size = {};
    if (ioctl(fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return kDefaultWidth;
}

// Cuts UTF-8 text to at most columns characters.
std::string Cut(const std::string& text, size_t columns) {
    size_t seen = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (seen == columns) {
                return text.substr(0, i);
            }
            ++seen;
        }
    }
    return text;
}

Json MessageJson(const MessageRecord& message) {
    return Json{{"sequence", message.sequence},
                {"time", message.time},
                {"severity", message.severity},
                {"eventCode", message.eventCode ? Json(*message.eventCode) : Json(nullptr)},
                {"text", message.text}};
}

}  // namespace

std::string MessageLine(const MessageRecord& message) {
    std::string line = message.severity;
    if (message.eventCode) {
        line += " [" + std::to_string(*message.eventCode) + "]";
    }
    return line + ": " + message.text;
}

std::string ProgressBar(int percent, const std::string& text, size_t width) {
    int shown = std::clamp(percent, 0, 100);
    size_t filled = static_cast<size_t>(shown) * kBarCells / 100;
    std::string number = std::to_string(shown);
    std::string bar = "[" + std::string(filled, '#') + std::string(kBarCells - filled, ' ') + "] " +
                      std::string(3 - std::min<size_t>(3, number.size()), ' ') + number + "%";
    if (!text.empty()) {
        bar += "  " + text;
    }
    return Cut(bar, width > 1 ? width - 1 : width);
}

ProgressView::ProgressView(std::FILE* out, bool terminal)
    : out_(out), terminal_(terminal), width_(terminal ? TerminalWidth(out) : kDefaultWidth) {}

ProgressView::~ProgressView() {
    Clear();
}

void ProgressView::Show(int percent, const std::string& text) {
    if (percent == lastPercent_ && text == lastText_ && (barShown_ || !terminal_)) {
        return;
    }
    lastPercent_ = percent;
    lastText_ = text;
    if (terminal_) {
        std::fprintf(out_, "\r\033[K%s", ProgressBar(percent, text, width_).c_str());
        barShown_ = true;
    } else {
        std::fprintf(out_, "progress %d%%%s%s\n", percent, text.empty() ? "" : ": ", text.c_str());
    }
    std::fflush(out_);
}

void ProgressView::Line(const std::string& text) {
    if (terminal_ && barShown_) {
        std::fprintf(out_, "\r\033[K%s\n%s", text.c_str(),
                     ProgressBar(lastPercent_, lastText_, width_).c_str());
    } else {
        std::fprintf(out_, "%s\n", text.c_str());
    }
    std::fflush(out_);
}

void ProgressView::Clear() {
    if (terminal_ && barShown_) {
        std::fprintf(out_, "\r\033[K");
        std::fflush(out_);
        barShown_ = false;
    }
}

std::string RunReportJson(const RunReport& report) {
    Json parameters = Json::array();
    for (const ParameterRecord& parameter : report.parameters) {
        parameters.push_back(
            Json{{"id", parameter.id}, {"value", parameter.value}, {"applied", parameter.applied}});
    }
    Json runs = Json::array();
    for (const RunRecord& run : report.runs) {
        Json messages = Json::array();
        for (const MessageRecord& message : run.messages) {
            messages.push_back(MessageJson(message));
        }
        runs.push_back(Json{{"pass", run.pass},
                            {"processId", run.processId},
                            {"result", run.result.empty() ? Json(nullptr) : Json(run.result)},
                            {"percent", run.percent ? Json(*run.percent) : Json(nullptr)},
                            {"messages", messages}});
    }
    auto optional = [](const auto& value) { return value ? Json(*value) : Json(nullptr); };
    return LayOut(Json{{"test", report.test},
                       {"name", report.name},
                       {"device", report.device},
                       {"parameters", parameters},
                       {"passes", report.passes},
                       {"maxTimeSeconds", optional(report.maxTimeSeconds)},
                       {"errorLimit", optional(report.errorLimit)},
                       {"outcome", report.outcome},
                       {"reason", report.reason.empty() ? Json(nullptr) : Json(report.reason)},
                       {"exitStatus", report.exitStatus},
                       {"scenarioState", report.scenarioState},
                       {"result", report.result.empty() ? Json(nullptr) : Json(report.result)},
                       {"runs", runs}});
}

}  // namespace velkcli
