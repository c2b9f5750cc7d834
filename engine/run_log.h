// The log of one test run: the informative, warning and error items its
// module reported, numbered from 1, and the engine's own items.  It keeps
// the newest items up to its limit, so that a module flooding events cannot
// exhaust the engine's memory; older items are dropped and counted, and a
// retrieval starts with a warning that says how many.
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

class RunLog {
  public:
    explicit RunLog(std::size_t limit) : limit_(limit == 0 ? 1 : limit) {}

    void Add(std::string severity, std::string text, int eventCode);
    const std::deque<LogItem>& Items() const { return items_; }
    std::uint64_t Dropped() const { return dropped_; }

    // What GET_TEST_MESSAGES delivers: when items were dropped, a warning
    // numbered just below the first kept item, then the kept items.
    std::vector<LogItem> Retrieval() const;

    // The item that ends a retrieval (sequence number -1).
    static LogItem LastItemMarker();

  private:
    std::size_t limit_;
    std::deque<LogItem> items_;
    std::int64_t nextSequence_ = 1;
    std::uint64_t dropped_ = 0;
};

}  // namespace velk::engine
