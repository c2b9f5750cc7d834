// The log of one test run: the informative, warning and error items its
// module reported, numbered from 1, and the engine's own items.  Each text is
// cut to what the engine client reads (client_text.h).  It keeps the newest
// items within its limits on their number and on the bytes they take, so
// that a module flooding events cannot exhaust the engine's memory; older
// items are dropped and counted, and a retrieval starts with a warning that
// says how many.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace velk::engine {

struct LogItem {
    std::int64_t sequence = 0;
    std::int64_t time = 0;  // seconds since the epoch, when the engine received it
    std::string severity;   // "INFO", "WARN" or "ERROR"
    std::string text;       // neutralised (markup_text.h); NLS tags kept
    int eventCode = -1;

    // "<TESTLOGITEM><SEQUENCENO>..</SEQUENCENO><TIME>..</TIME><SEVERITY>..
    // </SEVERITY><TEXT>..</TEXT><EVENTCODE>..</EVENTCODE></TESTLOGITEM>"
    std::string Element() const;
};

struct RunLogLimits {
    std::size_t items = 1000;
    std::size_t bytes = 128 * 1024;
};

class RunLog {
  public:
    // The room one item takes against the byte limit: its texts and a fixed
    // share for the record around them.
    static std::size_t Footprint(const LogItem& item);
    // The byte limit never drops below what one item of the longest text
    // takes, so that the newest item is always kept.
    static std::size_t SmallestByteLimit();

    explicit RunLog(RunLogLimits limits);

    void Add(std::string severity, std::string text, int eventCode);
    const std::deque<LogItem>& Items() const { return items_; }
    std::uint64_t Dropped() const { return dropped_; }
    std::size_t Bytes() const { return bytes_; }

    // What GET_TEST_MESSAGES delivers: when items were dropped, a warning
    // numbered just below the first kept item, then the kept items.
    std::vector<LogItem> Retrieval() const;

    // The item that ends a retrieval (sequence number -1).
    static LogItem LastItemMarker();

  private:
    RunLogLimits limits_;
    std::deque<LogItem> items_;
    std::size_t bytes_ = 0;
    std::int64_t nextSequence_ = 1;
    std::uint64_t dropped_ = 0;
};

}  // namespace velk::engine
