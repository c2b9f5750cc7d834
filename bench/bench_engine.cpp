#include "bench_engine.h"

#include <fcntl.h>
#include <ftw.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "client-connection-manager.h"
#include "gen-str.h"
#include "message-protocol.h"
#include "pipe-lowlevel.h"

extern char** environ;

namespace velkbench {

namespace {

using Clock = std::chrono::steady_clock;

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
    return remove(path);
}

}  // namespace

BenchRoot::BenchRoot(const std::string& tag, const std::string& corePath,
                     const std::string& moduleDir, const std::string& module) {
    std::string pattern = "/tmp/velk-" + tag + "-XXXXXX";
    root_ = mkdtemp(pattern.data());
    chmod(root_.c_str(), 0700);
    mkdir(Bin().c_str(), 0700);
    mkdir(Pipes().c_str(), 0700);
    symlink(corePath.c_str(), Engine().c_str());
    for (const char* suffix : {".linux", ".vkm", ".nls"}) {
        std::string from = moduleDir + "/" + module + suffix;
        symlink(from.c_str(), (Bin() + "/" + module + suffix).c_str());
    }
}

BenchRoot::~BenchRoot() {
    nftw(root_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

BenchPipes::BenchPipes(const std::string& pipes) {
    setenv("VELK_TMP", pipes.c_str(), 1);
    VelkInitPipes();
    VelkInitReadWriteThread();
}

BenchPipes::~BenchPipes() {
    VelkStopReadWriteThread();
    VelkCleanupPipes();
    unsetenv("VELK_TMP");
}

pid_t Spawn(const std::string& program, std::vector<std::string> arguments,
            const std::string& errorFile) {
    std::vector<char*> argv;
    std::string name = program;
    argv.push_back(name.data());
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

bool ConnectAndWaitForEnumeration(const char* client, std::chrono::microseconds retry) {
    Clock::time_point deadline = Clock::now() + std::chrono::seconds(20);
    while (Clock::now() < deadline) {
        int result = VelkClient_I_OpenConnectionEx(0, client, "API", "", nullptr);
        if (result == VELK_OPEN_ENUM_COMPLETE) {
            return true;
        }
        if (result == VELK_OPEN_OK) {
            return VelkClientWaitForEnumCompleteMessage(60000, 0) == 0;
        }
        std::this_thread::sleep_for(retry);
    }
    return false;
}

void StopEngine(pid_t pid) {
    VelkClientCloseConnection();
    while (VelkClientMessage* left = VelkClientGetNextMessage(nullptr)) {
        VelkClientFreeMessage(left);
    }
    if (pid > 0) {
        kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
    }
}

std::string Transact(const std::string& command) {
    CGenStr message;
    CGenStr reply;
    CGenStrInit(&message);
    CGenStrInit(&reply);
    std::string answer;
    if (VelkClientCreateDiagnosticEngineCommandStr(command.c_str(), nullptr, &message) == 0 &&
        VelkClientSendTransactionStr(CGenStrC_Str(&message), &reply, 20000, 0) == 0) {
        answer = CGenStrC_Str(&reply);
    }
    CGenStrDelete(&reply);
    CGenStrDelete(&message);
    return answer;
}

std::string Field(const std::string& text, const char* path) {
    CGenStr value;
    CGenStrInit(&value);
    std::string result;
    if (VelkXmlGetFieldStr(text.c_str(), path, 0, &value) == 0) {
        result = CGenStrC_Str(&value);
    }
    CGenStrDelete(&value);
    return result;
}

}  // namespace velkbench
