// A scripted diagnostic engine and NLS engine behind the real message broker,
// for the engine client tests: it answers the commands of the engine client
// with fixed, known data, so that the client's whole start, list, validate,
// translate, rescan and stop cycle can be checked against known answers.
//
// Launched by the test environment as "velkcore" from a sandbox bin
// directory.  Environment:
//   VELK_SCRIPTED_LOG   file to which every command received is appended,
//                       one per line
//   VELK_SCRIPTED_DIE_ON  "PREFIX#N": the engine ends, without answering,
//                       when the N-th command starting with PREFIX comes
//   VELK_SCRIPTED_SYSINFO_PAD  bytes of filler added to each SYSINFO reply
//
// The clients connected when the first one arrives get the
// enumeration-complete notice; from then on the handshake itself reports
// enumeration complete, as the real engine does.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "engine_component.h"
#include "engine_main.h"
#include "message-protocol.h"

namespace {

using velk::engine::ComponentContext;
using velk::engine::EngineComponent;

// The device list: two devices, the first with two tests.
const char* kList =
    "<DEVICE><NAME><NLS mod=scripted.vkm id=DISK /></NAME>"
    "<DESCRIPTION><NLS mod=scripted.vkm id=DISK_TEXT /></DESCRIPTION>"
    "<OSLOCATOR>/dev/sda</OSLOCATOR><HWLOCATOR>IDE:0:0</HWLOCATOR><DEVTYPE>HD</DEVTYPE>"
    "<FRU_MANUFACTURER>Velkor</FRU_MANUFACTURER>"
    "<COMPONENT><ID>VeLkScripted</ID><DID>1</DID><NAME><NLS mod=scripted.vkm id=MODULE /></NAME>"
    "<VERSION>2.0</VERSION>"
    "<TEST><NAME><NLS mod=scripted.vkm id=QUICK /></NAME><ID>0</ID><FLAGS>8</FLAGS>"
    "<TIMEOUT>60</TIMEOUT><EST_DURATION>1</EST_DURATION>"
    "<TEST_PROPERTIES><PROPERTY><ID>COUNT</ID><TYPE>int32</TYPE>"
    "<NAME><NLS mod=scripted.vkm id=COUNT /></NAME><DEFAULT_VALUE>5</DEFAULT_VALUE>"
    "</PROPERTY></TEST_PROPERTIES></TEST>"
    "<TEST><NAME><NLS mod=scripted.vkm id=ENGLISH_ONLY /></NAME><ID>1</ID></TEST>"
    "</COMPONENT></DEVICE>"
    "<DEVICE><NAME>Serial port 1</NAME><OSLOCATOR>/dev/ttyS0</OSLOCATOR>"
    "<HWLOCATOR>COM:1:03f8</HWLOCATOR><DEVTYPE>COM</DEVTYPE>"
    "<COMPONENT><ID>VeLkScripted</ID><DID>2</DID>"
    "<TEST><NAME><NLS mod=scripted.vkm id=QUICK /></NAME><ID>0</ID></TEST>"
    "</COMPONENT></DEVICE>";

// Texts of the NLS engine: id, English, German (empty: none).
struct Text {
    const char* id;
    const char* english;
    const char* german;
};
const Text kTexts[] = {{"DISK", "Scripted disk", "Skriptplatte"},
                       {"DISK_TEXT", "A disk that answers as scripted", ""},
                       {"MODULE", "Scripted module", "Skriptmodul"},
                       {"QUICK", "Quick test", "Schnelltest"},
                       {"COUNT", "Count", "Anzahl"},
                       {"ENGLISH_ONLY", "English only", ""}};

void Log(const std::string& command) {
    if (const char* path = std::getenv("VELK_SCRIPTED_LOG")) {
        std::ofstream(path, std::ios::app) << command << "\n";
    }
}

std::string Field(const std::string& message, const char* path) {
    std::vector<char> buffer(message.size() + 2);
    if (VelkXmlGetField(message.c_str(), path, 0, buffer.data(),
                        static_cast<uint32_t>(buffer.size())) != 0) {
        return "";
    }
    return buffer.data();
}

// Ends the process, as a crash would, at the command VELK_SCRIPTED_DIE_ON
// names.
void DieIfAsked(const std::string& command) {
    static int seen = 0;
    const char* rule = std::getenv("VELK_SCRIPTED_DIE_ON");
    const char* hash = rule != nullptr ? std::strrchr(rule, '#') : nullptr;
    if (hash == nullptr ||
        command.compare(0, static_cast<std::size_t>(hash - rule), rule, hash - rule) != 0) {
        return;
    }
    if (++seen == std::atoi(hash + 1)) {
        _exit(3);
    }
}

std::string SysinfoPad() {
    const char* pad = std::getenv("VELK_SCRIPTED_SYSINFO_PAD");
    return pad != nullptr ? "<PAD>" + std::string(std::strtoul(pad, nullptr, 10), 'x') + "</PAD>"
                          : "";
}

// Answers message with body through the broker.
void Answer(const std::string& message, const std::string& body, ComponentContext& context) {
    uint32_t sender = 0;
    uint32_t id = 0;
    if (VelkMessageGetSender(message.c_str(), &sender) != 0 ||
        VelkMessageGetMessageId(message.c_str(), &id) != 0) {
        return;
    }
    std::vector<char> reply(body.size() + 1024);
    if (VelkClientCreateResponse(sender, id, body.c_str(), reply.data(),
                                 static_cast<uint32_t>(reply.size())) == 0) {
        context.SendToClient(sender, reply.data());
    }
}

class ScriptedDiagnosticEngine : public EngineComponent {
  public:
    std::string_view Destination() const override { return "DIAGENGINE"; }

    void HandleMessage(const std::string& message, ComponentContext& context) override {
        std::string command = Field(message, "MSG/DATA");
        Log(command);
        DieIfAsked(command);
        if (command == "LIST_DEVICES_AND_TESTS") {
            Answer(message, kList, context);
        } else if (command == "RESCAN_DEVICES" || command.rfind("SCAN_MODULES", 0) == 0) {
            Answer(message, "OK", context);
        } else if (command.rfind("VALIDATE_TEST_PARAMETERS:", 0) == 0) {
            Answer(message, Verdict(command), context);
        } else if (command.rfind("SYSINFO:", 0) == 0) {
            Answer(message,
                   "<DEVICE><MODULE_NAME>scripted.vkm</MODULE_NAME><HWLOCATOR>" +
                       command.substr(8) +
                       "</HWLOCATOR><SYSINFO><SYSINFO_DESCRIPTION>Feature</SYSINFO_DESCRIPTION>"
                       "<SYSINFO_KEY>FEATURE</SYSINFO_KEY><SYSINFO_VALUE>read</SYSINFO_VALUE>"
                       "<SYSINFO_VALUE>write</SYSINFO_VALUE></SYSINFO>" +
                       SysinfoPad() + "</DEVICE>",
                   context);
        }
    }

    // Enumeration completes once a first client is connected: every client
    // connected then gets the notice (as the real engine does), later ones
    // learn it from the handshake.
    void Tick(ComponentContext& context) override {
        if (context.EnumerationComplete() || context.ConnectedClients().empty()) {
            return;
        }
        context.ReportEnumerationComplete();
        for (std::uint32_t pid : context.ConnectedClients()) {
            char header[256];
            char notice[512];
            std::string to = std::to_string(pid);
            if (VelkCreateMessageHeader(header, sizeof header, to.c_str(), nullptr,
                                        VELK_MSG_TYPE_DE_ENUM_NOTIFY, nullptr) == 0 &&
                VelkCreateMessage(notice, sizeof notice, "MSG", header,
                                  "<DATA>ENUM_COMPLETE</DATA>",
                                  static_cast<const char*>(nullptr)) == 0) {
                context.SendToClient(pid, notice);
            }
        }
    }

  private:
    // Numbers from 1 to 10 are valid; other numbers are too big or too small
    // (with the limit), anything else is bad; the id UNKNOWN is not known.
    static std::string Verdict(const std::string& command) {
        std::string::size_type param = command.find("param=");
        std::string::size_type comma = command.find(',', param);
        if (param == std::string::npos || comma == std::string::npos) {
            return "<RESULT>ERROR</RESULT>";
        }
        std::string id = command.substr(param + 6, comma - param - 6);
        std::string value = command.substr(comma + 1);
        std::string flag;
        std::string limit;
        char* end = nullptr;
        long number = std::strtol(value.c_str(), &end, 10);
        if (id == "UNKNOWN") {
            flag = "id not recognized";
        } else if (value.empty() || *end != '\0') {
            flag = "value bad";
        } else if (number > 10) {
            flag = "value too big";
            limit = "<MAX_VALUE>10</MAX_VALUE>";
        } else if (number < 1) {
            flag = "value too small";
            limit = "<MIN_VALUE>1</MIN_VALUE>";
        } else {
            flag = "valid";
            limit = "<MIN_VALUE>1</MIN_VALUE><MAX_VALUE>10</MAX_VALUE>";
        }
        return "<PARAM_VALIDATION_RESULTS><PARAMETER><ID>" + id + "</ID><VALID_FLAG>" + flag +
               "</VALID_FLAG>" + limit + "</PARAMETER></PARAM_VALIDATION_RESULTS>";
    }
};

class ScriptedNlsEngine : public EngineComponent {
  public:
    std::string_view Destination() const override { return "NLSENGINE"; }

    void HandleMessage(const std::string& message, ComponentContext& context) override {
        std::string command = Field(message, "MSG/DATA");
        Log(command);
        DieIfAsked(command);
        if (command == "NLS_GETLANGS") {
            Answer(message, "EN:DE", context);
        } else if (command == "NLS_GET_DEFAULT_LANG") {
            Answer(message, defaultLanguage_, context);
        } else if (command.rfind("NLS_SET_DEFAULT_LANG:", 0) == 0) {
            defaultLanguage_ = command.substr(21);
            Answer(message, "OK", context);
        } else if (command.rfind("NLS_GETSTRING:", 0) == 0) {
            Answer(message, StringReply(command.substr(17)), context);
        } else if (command.rfind("NLS_REGMOD:", 0) == 0) {
            Answer(message, "OK", context);
        }
    }

  private:
    // "<NLS ...>" with one element per language that has the tag's text.
    static std::string StringReply(const std::string& tag) {
        std::string::size_type idAt = tag.find("id=");
        std::string id = idAt == std::string::npos
                             ? ""
                             : tag.substr(idAt + 3, tag.find_first_of(" /", idAt + 3) - idAt - 3);
        std::string languages;
        for (const Text& text : kTexts) {
            if (id == text.id) {
                languages += "<EN>" + Escaped(text.english) + "</EN>";
                if (text.german[0] != '\0') {
                    languages += "<DE>" + Escaped(text.german) + "</DE>";
                }
            }
        }
        return "<NLS mod=scripted.vkm id=" + id + ">" + languages + "</NLS>";
    }

    static std::string Escaped(const char* text) {
        char* escaped = VelkXmlAllocStringAndConvertToXml(text);
        std::string result = escaped;
        if (escaped != text) {
            std::free(escaped);
        }
        return result;
    }

    std::string defaultLanguage_ = "EN";
};

}  // namespace

int main(int argc, char** argv) {
    return velk::engine::RunEngine(argc, argv, [](velk::engine::MessageBroker& broker) {
        broker.AddComponent(std::make_unique<ScriptedDiagnosticEngine>());
        broker.AddComponent(std::make_unique<ScriptedNlsEngine>());
    });
}
