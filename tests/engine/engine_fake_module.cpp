// A stand-in module for the engine tests.  It speaks the module side of the
// protocol as the [Fake] section of its definitions file says, so that a
// test can hand the engine what a careless module might send:
//
//   Behaviour=enumdata  announces itself, sends EventsBefore (default 0)
//                       events nobody asked for, then the content of the
//                       file DataFile as its DE_ENUMDATA
//   Behaviour=silent    announces itself, then never answers
//
// In run mode ("run" and "process=" among its arguments) it announces
// itself, sends EventCount informative events of EventBytes characters each
// and the result PASS.
//
// Arguments as the engine gives them: "enumerate" or "run", "ref=",
// "deffile=", "sfifo="; the pipe directory comes from VELK_PATH.
//
// As "engine_fake_module vanish COMMAND" it is a client that sends the
// diagnostic engine COMMAND and ends at once, without waiting for the answer
// or closing its connection.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "client-connection-manager.h"
#include "ini_file.h"
#include "message-protocol.h"
#include "pipe-lowlevel.h"
#include "process-helpers.h"
#include "test-common.h"

namespace {

std::string ArgumentValue(int argc, char** argv, const char* prefix) {
    std::size_t length = std::strlen(prefix);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], prefix, length) == 0) {
            return argv[i] + length;
        }
    }
    return {};
}

bool Send(const std::string& type, const std::string& data) {
    char header[512];
    if (VelkCreateMessageHeader(header, sizeof header, VELK_MSG_TO_DIAGENGINE, nullptr,
                                type.c_str(), nullptr) != 0) {
        return false;
    }
    std::string payload = "<DATA>" + data + "</DATA>";
    CGenStr message;
    if (!CGenStrInit(&message)) {
        return false;
    }
    bool sent = VelkCreateMessageStr(&message, "MSG", header, payload.c_str(),
                                     static_cast<const char*>(nullptr)) == 0 &&
                VelkClientSendMessage(CGenStrC_Str(&message)) == 0;
    CGenStrDelete(&message);
    return sent;
}

// Writes what is queued while the engine keeps taking it, as a module does.
void FlushAll() {
    constexpr std::uint32_t kStallMs = 10000;
    std::uint32_t lastProgress = VelkMilliSeconds();
    int left = VelkFlushWriteFIFO(1500);
    while (left > 0) {
        int before = left;
        left = VelkFlushWriteFIFO(1500);
        if (left < before) {
            lastProgress = VelkMilliSeconds();
        } else if (VelkMilliSeconds() - lastProgress >= kStallMs) {
            return;
        }
    }
}

long FakeNumber(const velk::engine::IniFile& definitions, const char* key) {
    return std::strtol(definitions.Get("Fake", key).value_or("0").c_str(), nullptr, 10);
}

int Vanish(const char* command) {
    CGenStr message;
    if (!CGenStrInit(&message) ||
        VelkClientCreateDiagnosticEngineCommandStr(command, nullptr, &message) != 0 ||
        VelkClientOpenConnectionEx("vanisher", "API", "", nullptr) != 0 ||
        VelkClientSendMessage(CGenStrC_Str(&message)) != 0) {
        return 4;
    }
    VelkFlushWriteFIFO(1500);
    _exit(0);
}

}  // namespace

int main(int argc, char** argv) {
    if (const char* pipes = std::getenv("VELK_PATH")) {
        VelkSetPipeDirectory(pipes);
    }
    if (argc == 3 && std::strcmp(argv[1], "vanish") == 0) {
        VelkInitPipes();
        VelkInitReadWriteThread();
        return Vanish(argv[2]);
    }
    std::string reference = ArgumentValue(argc, argv, "ref=");
    std::optional<velk::engine::IniFile> definitions =
        velk::engine::IniFile::Load(ArgumentValue(argc, argv, "deffile="));
    if (!definitions) {
        return 2;
    }
    std::string behaviour = definitions->Get("Fake", "Behaviour").value_or("");
    std::string brokerFifo = ArgumentValue(argc, argv, "sfifo=");
    VelkSetServerFifoNameEx(brokerFifo.empty() ? nullptr : brokerFifo.c_str());
    VelkInitPipes();
    VelkInitReadWriteThread();
    if (VelkClientOpenConnectionEx("fake", "DIAGMODULE", "", nullptr) != 0) {
        return 3;
    }
    Send(reference, "<STARTUP>" + reference + "</STARTUP><VERSION>0.0.1</VERSION>");
    std::string process = ArgumentValue(argc, argv, "process=");
    if (!process.empty()) {
        long count = FakeNumber(*definitions, "EventCount");
        std::string text(static_cast<std::size_t>(FakeNumber(*definitions, "EventBytes")), 'x');
        for (long i = 0; i < count; ++i) {
            Send("DE_EVENT", "<EVENT><TYPE>INFO</TYPE><TESTPROCESSID>" + process +
                                 "</TESTPROCESSID><TEXT>" + text +
                                 "</TEXT><EVENTCODE>-1</EVENTCODE></EVENT>");
        }
        Send("DE_NOTIFY",
             "<TESTRESULT>PASS</TESTRESULT><TESTPROCESSID>" + process + "</TESTPROCESSID>");
    } else if (behaviour == "enumdata") {
        for (long i = FakeNumber(*definitions, "EventsBefore"); i > 0; --i) {
            Send("DE_EVENT", "<EVENT><TYPE>INFO</TYPE><TEXT>not asked for</TEXT></EVENT>");
        }
        std::ifstream data(definitions->Get("Fake", "DataFile").value_or(""), std::ios::binary);
        std::ostringstream text;
        text << data.rdbuf();
        Send("DE_ENUMDATA", text.str());
    } else if (behaviour == "silent") {
        sleep(120);
    }
    FlushAll();
    Send("DE_NOTIFY", "SHUTDOWN");
    VelkClientCloseConnection();
    VelkStopReadWriteThread();
    VelkCleanupPipes();
    return 0;
}
