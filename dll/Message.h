// CMessage: one test log message as the diagnostic engine reports it: event
// code, severity, time, text (an NLS token) and sequence number.
//
// CMessage is the interface of a CMessageImp that it creates and owns;
// copies copy every field.
#pragma once

#include <memory>
#include <ostream>
#include <string>

namespace VELKCORE {

class CMessageImp;

class CMessage {
  public:
    enum Severity : int { INFORMATIVE = 0, WARNING = 1, ERROR = 2, INVALID = 3 };

    CMessage();
    explicit CMessage(const CMessageImp& imp);
    virtual ~CMessage();
    CMessage(const CMessage& other);
    CMessage& operator=(const CMessage& other);

    int GetTime(long& time) const;
    int GetEventCode(int& code) const;
    int GetSeverity(Severity& severity) const;
    // The text in the test environment's output language.
    int GetMessage(std::string& text) const;

    // "INFORMATIVE", "WARNING", "ERROR"; "INVALID" for any other value.
    static std::string SeverityCodeToSeverityString(Severity severity);
    // "INFO", "WARN", "ERROR" (exact); INVALID for any other text.
    static Severity SeverityStrToSeverityCode(const std::string& text);

    CMessageImp& Imp() { return *imp_; }
    const CMessageImp& Imp() const { return *imp_; }

  private:
    std::unique_ptr<CMessageImp> imp_;
};

// The severity text, " : ", the translated text and a line end; then, when
// the event code is 0 or more, "EVENT_CODE: " with the code and a line end.
std::ostream& operator<<(std::ostream& os, const CMessage& message);

}  // namespace VELKCORE
