#include "MessageImp.h"

#include "TestEnvironmentImp.h"

namespace VELKCORE {

int CMessageImp::GetTime(long& time) const {
    time = time_;
    return 0;
}

int CMessageImp::GetEventCode(int& code) const {
    code = eventCode_;
    return 0;
}

int CMessageImp::GetSeverity(CMessage::Severity& severity) const {
    severity = severity_;
    return 0;
}

int CMessageImp::GetMessage(std::string& text) const {
    text = message_.GetTranslatedString(CTestEnvironmentImp::GetOutputLanguage());
    return 0;
}

std::ostream& operator<<(std::ostream& os, const CMessageImp& message) {
    long time = 0;
    int eventCode = -1;
    CMessage::Severity severity = CMessage::INVALID;
    std::string text;
    message.GetTime(time);
    message.GetEventCode(eventCode);
    message.GetSeverity(severity);
    message.GetMessage(text);
    os << "Event Code: " << eventCode << std::endl;
    os << "Severity: " << static_cast<int>(severity) << std::endl;
    os << "Message: " << text << std::endl;
    os << "Time: " << time << std::endl;
    os << "Seq#: " << message.GetSequenceNo() << std::endl;
    return os;
}

}  // namespace VELKCORE
