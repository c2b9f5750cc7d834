// CMessageImp: the implementation of CMessage.
#pragma once

#include <ostream>
#include <string>

#include "Message.h"
#include "Token.h"

namespace VELKCORE {

class CMessageImp {
  public:
    CMessageImp() = default;
    virtual ~CMessageImp() = default;
    CMessageImp(const CMessageImp&) = default;
    CMessageImp& operator=(const CMessageImp&) = default;

    int GetTime(long& time) const;
    int GetEventCode(int& code) const;
    int GetSeverity(CMessage::Severity& severity) const;
    int GetMessage(std::string& text) const;
    const CToken& Text() const { return message_; }

    // Replaces the text by a new token.
    void SetMessage(const std::string& text) { message_ = CToken(text); }
    void SetEventCode(int code) { eventCode_ = code; }
    void SetSeverity(CMessage::Severity severity) { severity_ = severity; }
    void SetTime(int time) { time_ = time; }
    void SetSequenceNo(int sequence) { sequenceNo_ = sequence; }
    int GetSequenceNo() const { return sequenceNo_; }

  private:
    int eventCode_ = -1;  // -1: none
    CMessage::Severity severity_ = CMessage::ERROR;
    int time_ = 0;
    CToken message_;
    int sequenceNo_ = -1;
};

// "Event Code: ", "Severity: " (the number), "Message: " (translated), "Time: "
// and "Seq#: ", one line each.
std::ostream& operator<<(std::ostream& os, const CMessageImp& message);

}  // namespace VELKCORE
