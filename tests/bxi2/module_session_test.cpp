// The test module velktest in each mode against a scripted peer that plays
// the message broker and the engines on the FIFOs: the handshake, the NLS
// registration, the device list and the replies, notifications and events
// as they travel.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "TestDirectory.h"
#include "TestProcess.h"
#include "bxi2.h"
#include "message-protocol.h"
#include "pipe-lowlevel.h"

namespace {

const char kDeviceList[] =
    "<COMPONENT><DEVICE><DID>1</DID><NAME>n1</NAME><DESCRIPTION>d1</"
    "DESCRIPTION><OSLOCATOR>/dev/velktest0</OSLOCATOR><HWLOCATOR>IDE:0:0</"
    "HWLOCATOR><DEVTYPE>HD</DEVTYPE><BUSTYPE>IDE_BUS</BUSTYPE><TESTS_SUPPORTED>0,1</"
    "TESTS_SUPPORTED></DEVICE></COMPONENT><COMPONENT><DEVICE><DID>4</DID><NAME>n4</"
    "NAME><DESCRIPTION>d4</DESCRIPTION><OSLOCATOR>/dev/ttyS0</OSLOCATOR><HWLOCATOR>COM:1:03f8</"
    "HWLOCATOR><DEVTYPE>COM</DEVTYPE><BUSTYPE>COM_BUS</BUSTYPE><TESTS_SUPPORTED>0</"
    "TESTS_SUPPORTED></DEVICE></COMPONENT>";

std::string Field(const std::string& message, const char* path, int skip = 0) {
    CGenStr value;
    CGenStrInit(&value);
    std::string out;
    if (VelkXmlGetFieldStr(message.c_str(), path, skip, &value) == 0) {
        out = CGenStrC_Str(&value);
    }
    CGenStrDelete(&value);
    return out;
}

int Count(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// Plays broker, diagnostic engine and NLS engine for one module process.
class ScriptedEngine {
  public:
    ScriptedEngine() : directory_(velk::testsupport::MakePrivateDirectory("bxi2-session")) {
        VelkInitPipes();
        VelkPipeSignalHandle();
        brokerFifo_ = directory_ + "/VELKFIFO";
        EXPECT_EQ(VelkPipeMkFifo(brokerFifo_.c_str()), 0);
        readFd_ = VelkPipeOpen(brokerFifo_.c_str(), 0);
        keepFd_ = VelkPipeOpen(brokerFifo_.c_str(), 1);
        EXPECT_GE(readFd_, 0);
    }

    ~ScriptedEngine() {
        if (child_) {
            child_->Stop(SIGKILL);
        }
        for (int fd : {moduleFd_, keepFd_, readFd_}) {
            if (fd >= 0) {
                VelkPipeClose(fd);
            }
        }
        velk::testsupport::RemoveTree(directory_);
    }

    void Launch(const std::vector<std::string>& args) {
        std::vector<std::string> environment = velk::testsupport::EnvironmentWithout({"VELK_TMP="});
        environment.push_back("VELK_TMP=" + directory_);
        child_ = std::make_unique<velk::testsupport::ChildProcess>(VELKTEST_PATH, args, environment,
                                                                   directory_ + "/velktest");
    }

    // Serves the module until it closes its connection or ends; every
    // message it sent is kept in order.  onMessage sees each one first.
    void Serve(const std::function<void(const std::string&)>& onMessage = nullptr) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            std::string message;
            if (!Next(&message)) {
                if (ChildEnded()) {
                    return;
                }
                continue;
            }
            received_.push_back(message);
            if (onMessage) {
                onMessage(message);
            }
            if (message.rfind("<STOP>", 0) == 0) {
                return;
            }
            Answer(message);
        }
        ADD_FAILURE() << "the module did not finish";
    }

    // The exit status, or 128 + the signal that ended the module.
    int Wait() {
        if (!status_) {
            status_ = child_->WaitForExit(60000);
        }
        int status = status_.value_or(-1);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // Sends the module an engine command.
    void SendCommand(const std::string& data) {
        char header[200];
        ASSERT_EQ(
            VelkCreateMessageHeader(header, sizeof header, std::to_string(child_->Pid()).c_str(),
                                    nullptr, "BXI_COMMAND", nullptr),
            0);
        char message[600];
        std::string payload = "<DATA>" + data + "</DATA>";
        ASSERT_EQ(
            VelkCreateMessage(message, sizeof message, "MSG", header, payload.c_str(), nullptr), 0);
        Write(message);
    }

    // The messages of a header type, in order.
    std::vector<std::string> OfType(const std::string& type) const {
        std::vector<std::string> out;
        for (const std::string& message : received_) {
            if (Field(message, "MSG/HDR/TYPE") == type) {
                out.push_back(message);
            }
        }
        return out;
    }

    std::vector<std::string> EventsOf(const std::string& eventType) const {
        std::vector<std::string> out;
        for (const std::string& message : OfType("DE_EVENT")) {
            if (Field(message, "MSG/DATA/EVENT/TYPE") == eventType) {
                out.push_back(message);
            }
        }
        return out;
    }

    // The DATA of every command to an engine, in order.
    std::vector<std::string> Commands() const {
        std::vector<std::string> out;
        for (const std::string& message : received_) {
            std::string type = Field(message, "MSG/HDR/TYPE");
            if (type == "DE_COMMAND" || type == "NLS_COMMAND") {
                out.push_back(Field(message, "MSG/DATA"));
            }
        }
        return out;
    }

    std::string ResultNotice() const {
        for (const std::string& message : OfType("DE_NOTIFY")) {
            std::string result = Field(message, "MSG/DATA/TESTRESULT");
            if (!result.empty()) {
                return result;
            }
        }
        return "";
    }

    // From now on a GET_TIMEOUT event goes unanswered.
    void IgnoreTimeOutRequests() { answerTimeOut_ = false; }

    const std::vector<std::string>& received() const { return received_; }
    pid_t child() const { return child_->Pid(); }

  private:
    bool Next(std::string* message) {
        if (pending_.empty()) {
            if ((VelkPipeSelect(readFd_, -1, 100) & 1) == 0) {
                return false;
            }
            char* text = nullptr;
            int length = VelkPipeRead(readFd_, &text);
            std::string all(text != nullptr ? text : "", length > 0 ? (size_t)length : 0);
            free(text);
            for (size_t start = 0, end; (end = all.find("\r\n", start)) != std::string::npos;
                 start = end + 2) {
                pending_.push_back(all.substr(start, end - start));
            }
        }
        if (pending_.empty()) {
            return false;
        }
        *message = pending_.front();
        pending_.pop_front();
        return true;
    }

    bool ChildEnded() {
        if (!status_) {
            status_ = child_->WaitForExit(0);
        }
        return status_.has_value();
    }

    void Write(const std::string& text) {
        ASSERT_GE(moduleFd_, 0);
        EXPECT_EQ(VelkPipeWrite(moduleFd_, text.data(), (int)text.size()), (int)text.size());
    }

    void Reply(const std::string& request, const std::string& body) {
        uint32_t sender = 0;
        uint32_t id = 0;
        ASSERT_EQ(VelkMessageGetSender(request.c_str(), &sender), 0);
        ASSERT_EQ(VelkMessageGetMessageId(request.c_str(), &id), 0);
        std::vector<char> reply(body.size() + 512);
        ASSERT_EQ(VelkClientCreateResponse(sender, id, body.c_str(), reply.data(),
                                           (uint32_t)reply.size()),
                  0);
        Write(reply.data());
    }

    void Answer(const std::string& message) {
        if (message.rfind("<STARTUP>", 0) == 0) {
            std::string fifo = Field(message, "STARTUP/READ");
            moduleFd_ = VelkPipeOpen(fifo.c_str(), 1);
            Write("<ACK></ACK>\r\n");
            return;
        }
        std::string type = Field(message, "MSG/HDR/TYPE");
        std::string data = Field(message, "MSG/DATA");
        if (type == "NLS_COMMAND") {
            Reply(message, "OK");
        } else if (type == "DE_EVENT" && Field(message, "MSG/DATA/EVENT/TYPE") == "GET_TIMEOUT" &&
                   answerTimeOut_) {
            SendCommand(
                "<BXICOMMANDTYPE>SENDINGTIMEOUT</BXICOMMANDTYPE><TIMEOUT_VALUE>321</"
                "TIMEOUT_VALUE>");
        } else if (type == "DE_COMMAND" && (data.rfind("LIST_DEVICES:", 0) == 0 ||
                                            data.rfind("LIST_SYSINFO_DEVICES:", 0) == 0)) {
            Reply(message, kDeviceList);
        }
    }

    std::string directory_;
    std::string brokerFifo_;
    int readFd_ = -1;
    int keepFd_ = -1;
    int moduleFd_ = -1;
    std::unique_ptr<velk::testsupport::ChildProcess> child_;
    std::optional<int> status_;
    bool answerTimeOut_ = true;
    std::deque<std::string> pending_;
    std::vector<std::string> received_;
};

const std::string kDefFile = std::string("deffile=") + VELKTEST_DEFFILE;

TEST(ModuleSession, EnumerateSendsTheDevicesBetweenStartupAndShutdown) {
    ScriptedEngine engine;
    engine.Launch({"enumerate", "ref=ENUM7", kDefFile});
    pid_t pid = engine.child();
    engine.Serve();
    ASSERT_EQ(engine.Wait(), 0);

    const std::vector<std::string>& all = engine.received();
    ASSERT_GE(all.size(), 5u);
    EXPECT_EQ(Field(all[0], "STARTUP/NAME"), "velktest");
    EXPECT_EQ(Field(all[0], "STARTUP/CLASS"), "DIAGMODULE");
    EXPECT_EQ(Field(all[0], "STARTUP/NLSDATA"), VELKTEST_DEFFILE);
    EXPECT_EQ(engine.Commands(),
              std::vector<std::string>{"NLS_REGMOD:" + std::to_string(pid) + ":velktest.vkm"});

    std::vector<std::string> startup = engine.OfType("ENUM7");
    ASSERT_EQ(startup.size(), 1u);
    EXPECT_EQ(Field(startup[0], "MSG/DATA"), "<STARTUP>ENUM7</STARTUP><VERSION>1.2.3</VERSION>");
    EXPECT_EQ(Field(startup[0], "MSG/HDR/TO"), "DIAGENGINE");

    std::vector<std::string> enumeration = engine.OfType("DE_ENUMDATA");
    ASSERT_EQ(enumeration.size(), 1u);
    const std::string& reply = enumeration[0];
    // The devices' fields as the engine reads them: engine EnumerationTest.
    EXPECT_EQ(Count(reply, "<DEVICE>"), 4);

    std::vector<std::string> notices = engine.OfType("DE_NOTIFY");
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(Field(notices[0], "MSG/DATA"), "SHUTDOWN");
    EXPECT_EQ(all.back(), "<STOP><PID>" + std::to_string(pid) + "</PID></STOP>");
}

TEST(ModuleSession, FloodReachesAnEngineThatPausesLongerThanAFlushPeriodCompleteAndInOrder) {
    // At the first event the engine takes nothing for 3 s, while far more
    // than its FIFO holds waits in the module; the module waits for it.
    ScriptedEngine engine;
    engine.Launch({"run", "test=0", "device=1", "param=MODE,flood", "param=COUNT,1000", kDefFile});
    bool paused = false;
    engine.Serve([&paused](const std::string& message) {
        if (!paused && Field(message, "MSG/HDR/TYPE") == "DE_EVENT") {
            paused = true;
            std::this_thread::sleep_for(std::chrono::seconds(3));
        }
    });
    ASSERT_EQ(engine.Wait(), 0);
    std::vector<std::string> infos = engine.EventsOf("INFO");
    ASSERT_EQ(infos.size(), 1000u);
    for (size_t i = 0; i < infos.size(); ++i) {
        ASSERT_EQ(Field(infos[i], "MSG/DATA/EVENT/TEXT"),
                  "Flood event " + std::to_string(i + 1) + " of 1000");
    }
    EXPECT_EQ(engine.ResultNotice(), "PASS");
}

TEST(ModuleSession, TimeOutRequestsWithAndWithoutTheEnginesAnswer) {
    for (bool answer : {true, false}) {
        SCOPED_TRACE(answer ? "answered" : "unanswered");
        ScriptedEngine engine;
        if (!answer) {
            engine.IgnoreTimeOutRequests();
        }
        engine.Launch(
            {"run", "test=0", "device=1", "process=TP-5", "param=MODE,timeout", kDefFile});
        auto start = std::chrono::steady_clock::now();
        engine.Serve();
        ASSERT_EQ(engine.Wait(), 0);
        std::vector<std::string> set = engine.EventsOf("SET_TIMEOUT");
        ASSERT_EQ(set.size(), 1u);
        EXPECT_EQ(Field(set[0], "MSG/DATA/EVENT/TIMEOUT_VALUE"), "120");
        EXPECT_EQ(engine.EventsOf("GET_TIMEOUT").size(), 1u);
        std::vector<std::string> infos = engine.EventsOf("INFO");
        ASSERT_EQ(infos.size(), 1u);
        if (answer) {
            EXPECT_EQ(engine.EventsOf("CLEAR_TIMEOUT").size(), 1u);
            EXPECT_EQ(Field(infos[0], "MSG/DATA/EVENT/TEXT"), "Time-out 321 (status 0)");
            EXPECT_EQ(engine.ResultNotice(), "PASS");
        } else {
            // The module waits its 2000 ms for the answer (by a clock of its own),
            // then carries on.
            EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1900));
            EXPECT_EQ(Field(infos[0], "MSG/DATA/EVENT/TEXT"), "Time-out 0 (status 24)");
            EXPECT_EQ(engine.ResultNotice(), "FAIL");
        }
    }
}

}  // namespace
