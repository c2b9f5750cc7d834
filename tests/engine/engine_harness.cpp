#include "engine_harness.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "TestDirectory.h"

#include "client-connection-manager.h"
#include "gen-str.h"
#include "message-protocol.h"
#include "pipe-lowlevel.h"

namespace velk::enginetest {
namespace {

using testsupport::AllProcesses;
using testsupport::FifoHasReader;
using testsupport::ReadFile;

using Clock = std::chrono::steady_clock;

constexpr int kEngineReadyMs = 10000;
constexpr int kCleanupMs = 10000;
constexpr int kStatusPollMs = 50;
constexpr int kRunEndMs = 60000;

}  // namespace

// ---------------------------------------------------------------------------
// Sandbox

Sandbox::Sandbox() : root_(testsupport::MakePrivateDirectory("velk-engine")) {
    if (root_.empty()) {
        ADD_FAILURE() << "mkdtemp: " << std::strerror(errno);
        return;
    }
    mkdir(BinDir().c_str(), 0700);
    mkdir(PipeDir().c_str(), 0700);
    symlink(VELK_CORE_PATH, (BinDir() + "/velkcore").c_str());
}

Sandbox::~Sandbox() {
    testsupport::RemoveTree(root_);
}

void Sandbox::AddTestModule(const std::string& stem,
                            const std::optional<std::string>& definitions) const {
    std::string from = std::string(VELK_TESTMODULE_DIR) + "/velktest";
    symlink((from + ".linux").c_str(), (BinDir() + "/" + stem + ".linux").c_str());
    symlink((from + ".nls").c_str(), (BinDir() + "/" + stem + ".nls").c_str());
    if (definitions) {
        WriteFile("bin/" + stem + ".vkm", *definitions);
    } else {
        symlink((from + ".vkm").c_str(), (BinDir() + "/" + stem + ".vkm").c_str());
    }
}

void Sandbox::ReplaceDefinitions(const std::string& stem, const std::string& definitions) const {
    unlink((BinDir() + "/" + stem + ".vkm").c_str());
    WriteFile("bin/" + stem + ".vkm", definitions);
}

void Sandbox::AddFakeModule(const std::string& stem, const std::string& definitions) const {
    symlink(VELK_FAKE_MODULE_PATH, (BinDir() + "/" + stem + ".linux").c_str());
    WriteFile("bin/" + stem + ".vkm", definitions);
}

void Sandbox::WriteFile(const std::string& name, const std::string& text, int mode) const {
    std::string path = root_ + "/" + name;
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
    }
    chmod(path.c_str(), static_cast<mode_t>(mode));
}

std::string Sandbox::TestModuleDefinitions(const std::vector<std::string>& replacedLines) {
    std::istringstream original(ReadFile(std::string(VELK_TESTMODULE_DIR) + "/velktest.vkm"));
    std::string result;
    std::string line;
    while (std::getline(original, line)) {
        for (const std::string& replacement : replacedLines) {
            std::string key = replacement.substr(0, replacement.find('=') + 1);
            if (line.rfind(key, 0) == 0) {
                line = replacement;
            }
        }
        result += line + "\n";
    }
    return result;
}

std::vector<std::string> Sandbox::PipeDirEntries() const {
    return testsupport::ListDirectory(PipeDir());
}

// ---------------------------------------------------------------------------
// Processes

std::vector<pid_t> ProcessesUnder(const std::string& directory) {
    std::vector<pid_t> found;
    std::string prefix = directory + "/";
    for (pid_t pid : AllProcesses()) {
        std::string commandLine = ReadFile("/proc/" + std::to_string(pid) + "/cmdline");
        std::istringstream arguments(commandLine);
        std::string argument;
        while (std::getline(arguments, argument, '\0')) {
            if (argument.rfind(prefix, 0) == 0) {
                found.push_back(pid);
                break;
            }
        }
    }
    return found;
}

std::vector<std::string> DescriptorTargets(pid_t pid) {
    std::vector<std::string> targets;
    std::string directory = "/proc/" + std::to_string(pid) + "/fd";
    DIR* listing = opendir(directory.c_str());
    if (listing == nullptr) {
        return targets;
    }
    while (struct dirent* entry = readdir(listing)) {
        char target[4096];
        ssize_t length =
            readlink((directory + "/" + entry->d_name).c_str(), target, sizeof target - 1);
        if (length > 0) {
            targets.emplace_back(target, static_cast<std::size_t>(length));
        }
    }
    closedir(listing);
    return targets;
}

// ---------------------------------------------------------------------------
// Messages

std::optional<std::string> Field(const std::string& text, const char* path, int skip) {
    CGenStr content;
    if (!CGenStrInit(&content)) {
        return std::nullopt;
    }
    std::optional<std::string> value;
    if (VelkXmlGetFieldStr(text.c_str(), path, skip, &content) == 0) {
        value.emplace(CGenStrC_Str(&content));
    }
    CGenStrDelete(&content);
    return value;
}

std::vector<std::string> Fields(const std::string& text, const char* path) {
    std::vector<std::string> values;
    for (int skip = 0;; ++skip) {
        std::optional<std::string> value = Field(text, path, skip);
        if (!value) {
            return values;
        }
        values.push_back(std::move(*value));
    }
}

// ---------------------------------------------------------------------------
// EngineTest

void EngineTest::SetUp() {
    sandbox_ = std::make_unique<Sandbox>();
    sandbox_->AddTestModule("velktest");
    setenv("VELK_TMP", sandbox_->PipeDir().c_str(), 1);
    VelkSetServerFifoNameEx(nullptr);
    VelkInitPipes();
    ASSERT_EQ(VelkInitReadWriteThread(), 0);
}

void EngineTest::TearDown() {
    if (engine_ && engine_->Running()) {
        pid_t pid = engine_->Pid();
        EXPECT_TRUE(WaitUntil([&] { return ZombieChildren(pid).empty(); }, kCleanupMs))
            << "zombie children of velkcore";
    }
    Disconnect();
    while (VelkClientMessage* left = VelkClientGetNextMessage(nullptr)) {
        VelkClientFreeMessage(left);
    }
    if (engine_) {
        bool wasRunning = engine_->Running();
        int status = engine_->Stop(SIGTERM);
        std::string errors = engine_->ErrorOutput();
        if (wasRunning) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
                << "velkcore status " << status << ": " << errors;
        }
        EXPECT_EQ(errors.find("Sanitizer"), std::string::npos) << errors;
        EXPECT_EQ(errors.find("runtime error"), std::string::npos) << errors;
    }
    std::string bin = sandbox_->BinDir();
    EXPECT_TRUE(WaitUntil([&] { return ProcessesUnder(bin).empty(); }, kCleanupMs))
        << "a module process outlived the engine";
    for (pid_t stray : ProcessesUnder(bin)) {
        kill(stray, SIGKILL);
    }
    VelkStopReadWriteThread();
    VelkCleanupPipes();
    EXPECT_TRUE(WaitUntil([&] { return sandbox_->PipeDirEntries().empty(); }, kCleanupMs))
        << "FIFO left: " << sandbox_->PipeDirEntries().front();
    unsetenv("VELK_TMP");
    engine_.reset();
    sandbox_.reset();
}

EngineProcess& EngineTest::StartEngine(const std::vector<std::string>& words,
                                       const std::vector<std::string>& environment) {
    std::vector<std::string> entries =
        testsupport::EnvironmentWithout({"VELK_TMP=", "VELKOR_HOME=", "VELK_ENGINE_"});
    entries.push_back("VELK_TMP=" + sandbox_->PipeDir());
    entries.insert(entries.end(), environment.begin(), environment.end());
    static int counter = 0;
    engine_ =
        std::make_unique<EngineProcess>(sandbox_->BinDir() + "/velkcore", words, entries,
                                        sandbox_->Root() + "/velkcore" + std::to_string(++counter));
    bool multi = std::find(words.begin(), words.end(), "--multi") != words.end();
    std::string fifo = sandbox_->PipeDir() + "/VELKFIFO" +
                       (multi ? "_" + std::to_string(engine_->Pid()) : std::string());
    EXPECT_TRUE(WaitUntil([&] { return FifoHasReader(fifo); }, kEngineReadyMs))
        << "velkcore does not read " << fifo << ": " << engine_->ErrorOutput();
    return *engine_;
}

int EngineTest::Connect() {
    int result = VelkClient_I_OpenConnectionEx(0, "enginetest", "API", "", nullptr);
    connected_ = result == VELK_OPEN_OK || result == VELK_OPEN_ENUM_COMPLETE;
    return result;
}

void EngineTest::ConnectAndWaitForDevices() {
    int result = Connect();
    ASSERT_TRUE(connected_) << "connection result " << result;
    if (result == VELK_OPEN_OK) {
        ASSERT_EQ(VelkClientWaitForEnumCompleteMessage(60000, 0), 0);
    }
}

void EngineTest::Disconnect() {
    if (connected_) {
        VelkClientCloseConnection();
        connected_ = false;
    }
}

Reply EngineTest::Transact(const std::string& command, const char* to, int timeoutMs) {
    Reply reply;
    CGenStr message;
    CGenStr answer;
    if (!CGenStrInit(&message) || !CGenStrInit(&answer)) {
        ADD_FAILURE() << "no memory";
        return reply;
    }
    const char* type = std::strcmp(to, VELK_MSG_TO_NLSENGINE) == 0 ? VELK_MSG_TYPE_NLS_COMMAND
                                                                   : VELK_MSG_TYPE_DE_COMMAND;
    EXPECT_EQ(VelkClientCreateEngineCommand(to, nullptr, type, command.c_str(), &message), 0);
    reply.code = VelkClientSendTransactionStr(CGenStrC_Str(&message), &answer, timeoutMs, 0);
    if (reply.code == 0) {
        reply.message = CGenStrC_Str(&answer);
    }
    CGenStrDelete(&answer);
    CGenStrDelete(&message);
    return reply;
}

std::vector<std::string> EngineTest::ReceiveOfType(
    const char* type, const std::function<bool(const std::string&)>& last, int timeoutMs) {
    std::vector<std::string> received;
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
        VelkClientMessage* node = VelkClientFindMessageWithTypeField(type);
        if (node == nullptr) {
            VelkClientWaitForMessages(50, 0);
            continue;
        }
        node = VelkClientGetNextMessage(node);
        std::string text = node->pMessage;
        VelkClientFreeMessage(node);
        std::string data = Field(text, "MSG/DATA").value_or("");
        received.push_back(data);
        if (last(data)) {
            break;
        }
    }
    return received;
}

std::vector<std::string> EngineTest::Devices() {
    Reply reply = Transact("LIST_DEVICES_AND_TESTS");
    EXPECT_EQ(reply.code, 0);
    return Fields(reply.message, "MSG/DATA/DEVICE");
}

unsigned EngineTest::DeviceId(const std::string& hwLocator, const std::string& moduleId) {
    for (const std::string& device : Devices()) {
        if (Field(device, "HWLOCATOR") != hwLocator) {
            continue;
        }
        for (const std::string& component : Fields(device, "COMPONENT")) {
            if (Field(component, "ID") == moduleId) {
                return static_cast<unsigned>(std::stoul(Field(component, "DID").value_or("0")));
            }
        }
    }
    ADD_FAILURE() << "no device " << hwLocator << " of " << moduleId;
    return 0;
}

std::string EngineTest::StartTest(int test, const std::string& hwLocator,
                                  const std::vector<std::string>& parameters) {
    std::string command =
        "START_TEST:VeLkTest:" + std::to_string(test) + ":" + std::to_string(DeviceId(hwLocator));
    for (const std::string& parameter : parameters) {
        command += ":param=" + parameter;
    }
    Reply reply = Transact(command);
    EXPECT_EQ(reply.code, 0) << command;
    if (Field(reply.message, "MSG/DATA/RESULT") != "OK") {
        return {};
    }
    return Field(reply.message, "MSG/DATA/TESTPROCESSID").value_or("");
}

std::string EngineTest::WaitForEnd(const std::string& id) {
    std::string status;
    bool ended = WaitUntil(
        [&] {
            status = Field(Transact("GET_TEST_STATUS:" + id).message, "MSG/DATA/TESTSTATUS")
                         .value_or("");
            if (Field(status, "STATE") == "2") {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(kStatusPollMs));
            return false;
        },
        kRunEndMs);
    EXPECT_TRUE(ended) << "run " << id << " did not end: " << status;
    return status;
}

bool EngineTest::WaitUntilRunning(const std::string& id) {
    return WaitUntil(
        [&] { return Field(Transact("GET_TEST_STATUS:" + id).Data(), "TESTSTATUS/STATE") == "1"; },
        kEngineReadyMs);
}

std::vector<std::string> EngineTest::LogItems(const std::string& id) {
    Reply reply = Transact("GET_TEST_MESSAGES:" + id);
    EXPECT_EQ(reply.Data(), "<RESULT>OK</RESULT>");
    std::vector<std::string> items = ReceiveOfType(
        VELK_MSG_TYPE_DE_RETRIEVED_TEST_MESSAGE,
        [](const std::string& data) { return Field(data, "TESTLOGITEM/SEQUENCENO") == "-1"; },
        10000);
    for (std::string& item : items) {
        item = Field(item, "TESTLOGITEM").value_or("");
    }
    return items;
}

}  // namespace velk::enginetest
