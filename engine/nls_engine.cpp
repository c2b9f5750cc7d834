#include "nls_engine.h"

#include "engine_messages.h"
#include "markup_text.h"
#include "message-protocol.h"
#include "nls_tag.h"
#include "tracing.h"

namespace velk::engine {
namespace {

constexpr std::string_view kGetString = "NLS_GETSTRING:";
constexpr std::string_view kRegisterModule = "NLS_REGMOD:";
constexpr std::string_view kGetLanguages = "NLS_GETLANGS";
constexpr std::string_view kGetDefault = "NLS_GET_DEFAULT_LANG";
constexpr std::string_view kSetDefault = "NLS_SET_DEFAULT_LANG:";

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// "<NLS mod=M id=I>" with the attributes that are plain identifiers.
std::string OpeningTag(const NlsTag& tag) {
    std::string text = "<NLS";
    if (IsNlsIdentifier(tag.module)) {
        text += " mod=" + tag.module;
    }
    if (IsNlsIdentifier(tag.id)) {
        text += " id=" + tag.id;
    }
    return text + ">";
}

}  // namespace

NlsEngine::NlsEngine(const EngineSettings& settings) : catalog_(settings.binDirectory) {}

std::string_view NlsEngine::Destination() const {
    return VELK_MSG_TO_NLSENGINE;
}

void NlsEngine::Start(ComponentContext& context) {
    if (context.Options().trace) {
        VelkSetTracingType(VELK_TRACE_NLS, 1);
    }
    if (!loaded_) {
        catalog_.LoadBinDirectory();
        loaded_ = true;
    }
}

void NlsEngine::HandleMessage(const std::string& message, ComponentContext& context) {
    IncomingMessage request = ReadIncoming(message);
    if (request.type == VELK_MSG_TYPE_TRANSACTION_RESPONSE) {
        return;
    }
    if (request.from == 0 || !request.id) {
        VTRACE(VELK_TRACE_NLS, "dropped a request without FROM or ID: %s\n", message.c_str());
        return;
    }
    if (!loaded_) {
        catalog_.LoadBinDirectory();
        loaded_ = true;
    }
    std::string body = Answer(request.data);
    std::string response = BuildResponse(request.from, *request.id, body);
    if (response.empty() || !context.SendToClient(request.from, response)) {
        VTRACE(VELK_TRACE_NLS, "could not answer %u: %s\n", static_cast<unsigned>(request.from),
               request.data.c_str());
    }
}

std::string NlsEngine::Answer(const std::string& command) {
    if (StartsWith(command, kGetString)) {
        return GetString(command.substr(kGetString.size()));
    }
    if (StartsWith(command, kRegisterModule)) {
        std::string arguments = command.substr(kRegisterModule.size());
        std::string::size_type colon = arguments.find(':');
        if (colon == std::string::npos) {
            return ErrorBody("NLS_REGMOD needs PID:NAME");
        }
        return catalog_.Register(arguments.substr(colon + 1)) ? ResultBody("OK")
                                                              : ErrorBody("no string file");
    }
    if (command == kGetLanguages) {
        std::string codes;
        for (const std::string& language : catalog_.Languages()) {
            codes += (codes.empty() ? "" : ":") + language;
        }
        return codes;
    }
    if (command == kGetDefault) {
        return defaultLanguage_;
    }
    if (StartsWith(command, kSetDefault)) {
        std::string language = NormaliseLanguage(command.substr(kSetDefault.size()));
        if (language.empty()) {
            return ErrorBody("a language is two letters");
        }
        defaultLanguage_ = language;
        return ResultBody("OK");
    }
    return ErrorBody("unknown command");
}

std::string NlsEngine::GetString(const std::string& arguments) const {
    // LANG:TAG.  The language asked for does not change the answer: every
    // language is given, and the client picks its own, or English.
    std::string::size_type colon = arguments.find(':');
    std::optional<NlsTag> tag;
    if (colon != std::string::npos) {
        tag = ParseNlsTag(std::string_view(arguments).substr(colon + 1));
    }
    if (!tag) {
        return ErrorBody("NLS_GETSTRING needs LANG:<NLS ... />");
    }
    std::string answer = OpeningTag(*tag);
    for (const auto& [language, text] : catalog_.Texts(*tag)) {
        answer += Element(language, EscapeText(text));
    }
    return answer + "</NLS>";
}

}  // namespace velk::engine
