#include "module_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "client-fifo-access.h"

extern char** environ;

namespace velk::engine {
namespace {

constexpr const char* kPipeDirectoryVariable = "VELK_PATH";

// The engine's environment with VELK_PATH set to the pipe directory.
std::vector<std::string> ModuleEnvironment(const std::string& pipeDirectory) {
    std::vector<std::string> environment;
    std::string prefix = std::string(kPipeDirectoryVariable) + "=";
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, prefix.c_str(), prefix.size()) != 0) {
            environment.emplace_back(*entry);
        }
    }
    environment.push_back(prefix + pipeDirectory);
    return environment;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    pointers.reserve(texts.size() + 1);
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// Owns the spawn attributes and file actions for the call.
class SpawnSetup {
  public:
    SpawnSetup() {
        posix_spawnattr_init(&attributes_);
        posix_spawn_file_actions_init(&actions_);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions_);
        posix_spawnattr_destroy(&attributes_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    bool Prepare() {
        sigset_t none;
        sigset_t defaults;
        sigemptyset(&none);
        sigemptyset(&defaults);
        // The engine ignores SIGPIPE, and an ignored signal would stay
        // ignored across exec.
        for (int signal : {SIGPIPE, SIGTERM, SIGINT, SIGCHLD, SIGHUP}) {
            sigaddset(&defaults, signal);
        }
        return posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETPGROUP |
                                                          POSIX_SPAWN_SETSIGMASK |
                                                          POSIX_SPAWN_SETSIGDEF) == 0 &&
               posix_spawnattr_setpgroup(&attributes_, 0) == 0 &&
               posix_spawnattr_setsigmask(&attributes_, &none) == 0 &&
               posix_spawnattr_setsigdefault(&attributes_, &defaults) == 0 &&
               posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY,
                                                0) == 0 &&
               posix_spawn_file_actions_addopen(&actions_, STDOUT_FILENO, "/dev/null", O_WRONLY,
                                                0) == 0;
    }
    const posix_spawnattr_t* Attributes() const { return &attributes_; }
    const posix_spawn_file_actions_t* Actions() const { return &actions_; }

  private:
    posix_spawnattr_t attributes_;
    posix_spawn_file_actions_t actions_;
};

}  // namespace

std::unique_ptr<ModuleProcess> ModuleProcess::Start(const std::string& executable,
                                                    const std::vector<std::string>& arguments,
                                                    const std::string& pipeDirectory,
                                                    std::string& error) {
    SpawnSetup setup;
    if (!setup.Prepare()) {
        error = "cannot prepare the launch of " + executable;
        return nullptr;
    }
    std::vector<std::string> argv;
    argv.push_back(executable);
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environment = ModuleEnvironment(pipeDirectory);
    std::vector<char*> argvPointers = Pointers(argv);
    std::vector<char*> environmentPointers = Pointers(environment);
    pid_t pid = -1;
    int result = posix_spawn(&pid, executable.c_str(), setup.Actions(), setup.Attributes(),
                             argvPointers.data(), environmentPointers.data());
    if (result != 0) {
        error = "cannot start " + executable + ": " + std::strerror(result);
        return nullptr;
    }
    std::string leftover =
        pipeDirectory + "/" + VELK_CLIENT_FIFO_PREFIX + std::to_string(static_cast<long>(pid));
    return std::unique_ptr<ModuleProcess>(new ModuleProcess(pid, std::move(leftover)));
}

ModuleProcess::~ModuleProcess() {
    if (Reaped()) {
        return;
    }
    Signal(SIGKILL);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    MarkReaped(status);
}

void ModuleProcess::MarkReaped(int status) {
    if (Reaped()) {
        return;
    }
    status_ = status;
    RemoveLeftoverFifo();
}

void ModuleProcess::Signal(int signal) {
    if (Reaped()) {
        return;
    }
    // The group is the process's own (set at spawn); the process itself too,
    // in case it has left its group.
    kill(-pid_, signal);
    kill(pid_, signal);
}

bool ModuleProcess::TryReap() {
    if (Reaped()) {
        return true;
    }
    int status = 0;
    pid_t result;
    do {
        result = waitpid(pid_, &status, WNOHANG);
    } while (result < 0 && errno == EINTR);
    if (result == pid_) {
        MarkReaped(status);
    }
    return Reaped();
}

void ModuleProcess::RemoveLeftoverFifo() {
    VelkClient_I_RemoveFifo(leftoverFifo_.c_str());
}

std::string DescribeWaitStatus(int status) {
    if (WIFSIGNALED(status)) {
        return "signal " + std::to_string(WTERMSIG(status));
    }
    if (WIFEXITED(status)) {
        return "exit status " + std::to_string(WEXITSTATUS(status));
    }
    return "wait status " + std::to_string(status);
}

}  // namespace velk::engine
