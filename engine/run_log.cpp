#include "run_log.h"

#include <ctime>

#include "client_text.h"
#include "engine_strings.h"
#include "markup_text.h"

namespace velk::engine {

std::string LogItem::Element() const {
    return velk::engine::Element("TESTLOGITEM",
                                 velk::engine::Element("SEQUENCENO", std::to_string(sequence)) +
                                     velk::engine::Element("TIME", std::to_string(time)) +
                                     velk::engine::Element("SEVERITY", severity) +
                                     velk::engine::Element("TEXT", text) +
                                     velk::engine::Element("EVENTCODE", std::to_string(eventCode)));
}

namespace {

// What a LogItem record takes beyond its texts, rounded up.
constexpr std::size_t kItemRecordBytes = 128;
constexpr std::size_t kLongestSeverity = 5;

}  // namespace

std::size_t RunLog::Footprint(const LogItem& item) {
    return kItemRecordBytes + item.severity.size() + item.text.size();
}

std::size_t RunLog::SmallestByteLimit() {
    return kItemRecordBytes + kLongestSeverity + kClientLogTextLimit;
}

RunLog::RunLog(RunLogLimits limits) : limits_(limits) {
    limits_.items = limits_.items == 0 ? 1 : limits_.items;
    limits_.bytes = limits_.bytes < SmallestByteLimit() ? SmallestByteLimit() : limits_.bytes;
}

void RunLog::Add(std::string severity, std::string text, int eventCode) {
    LogItem item;
    item.sequence = nextSequence_++;
    item.time = static_cast<std::int64_t>(std::time(nullptr));
    item.severity = std::move(severity);
    item.text = NeutraliseMarkup(CutForClient(text, kClientLogTextLimit));
    item.eventCode = eventCode;
    bytes_ += Footprint(item);
    items_.push_back(std::move(item));
    while (items_.size() > limits_.items || bytes_ > limits_.bytes) {
        bytes_ -= Footprint(items_.front());
        items_.pop_front();
        ++dropped_;
    }
}

std::vector<LogItem> RunLog::Retrieval() const {
    std::vector<LogItem> items;
    items.reserve(items_.size() + 1);
    if (dropped_ > 0 && !items_.empty()) {
        LogItem notice;
        notice.sequence = items_.front().sequence - 1;
        notice.time = items_.front().time;
        notice.severity = "WARN";
        notice.text = LogItemsDroppedText(dropped_);
        notice.eventCode = kEventLogItemsDropped;
        items.push_back(std::move(notice));
    }
    items.insert(items.end(), items_.begin(), items_.end());
    return items;
}

LogItem RunLog::LastItemMarker() {
    LogItem marker;
    marker.sequence = -1;
    marker.time = static_cast<std::int64_t>(std::time(nullptr));
    marker.severity = "INFO";
    marker.text = "END";
    marker.eventCode = -1;
    return marker;
}

}  // namespace velk::engine
