#include "Message.h"

#include "MessageImp.h"

namespace VELKCORE {

CMessage::CMessage() : imp_(std::make_unique<CMessageImp>()) {}

CMessage::CMessage(const CMessageImp& imp) : imp_(std::make_unique<CMessageImp>(imp)) {}

CMessage::~CMessage() = default;

CMessage::CMessage(const CMessage& other) : imp_(std::make_unique<CMessageImp>(*other.imp_)) {}

CMessage& CMessage::operator=(const CMessage& other) {
    if (this != &other) {
        *imp_ = *other.imp_;
    }
    return *this;
}

int CMessage::GetTime(long& time) const {
    return imp_->GetTime(time);
}

int CMessage::GetEventCode(int& code) const {
    return imp_->GetEventCode(code);
}

int CMessage::GetSeverity(Severity& severity) const {
    return imp_->GetSeverity(severity);
}

int CMessage::GetMessage(std::string& text) const {
    return imp_->GetMessage(text);
}

std::string CMessage::SeverityCodeToSeverityString(Severity severity) {
    switch (severity) {
        case INFORMATIVE:
            return "INFORMATIVE";
        case WARNING:
            return "WARNING";
        case ERROR:
            return "ERROR";
        default:
            return "INVALID";
    }
}

CMessage::Severity CMessage::SeverityStrToSeverityCode(const std::string& text) {
    if (text == "INFO") {
        return INFORMATIVE;
    }
    if (text == "WARN") {
        return WARNING;
    }
    if (text == "ERROR") {
        return ERROR;
    }
    return INVALID;
}

std::ostream& operator<<(std::ostream& os, const CMessage& message) {
    CMessage::Severity severity = CMessage::INVALID;
    int eventCode = -1;
    std::string text;
    message.GetSeverity(severity);
    message.GetEventCode(eventCode);
    message.GetMessage(text);
    os << CMessage::SeverityCodeToSeverityString(severity) << " : " << text << std::endl;
    if (eventCode >= 0) {
        os << "EVENT_CODE: " << eventCode << std::endl;
    }
    return os;
}

}  // namespace VELKCORE
