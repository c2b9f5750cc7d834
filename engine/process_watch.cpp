#include "process_watch.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#include <sys/wait.h>

#include <cerrno>
#include <string>

namespace velk::engine {

bool ProcessHasEnded(pid_t pid) {
    if (pid <= 0) {
        return true;
    }
    if (kill(pid, 0) != 0 && errno == ESRCH) {
        return true;
    }
    // The state letter follows the command name, which is in parentheses and
    // may itself hold blanks or parentheses.
    std::string path = "/proc/" + std::to_string(static_cast<long>(pid)) + "/stat";
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    char bytes[512];
    ssize_t got = read(fd, bytes, sizeof bytes);
    close(fd);
    if (got <= 0) {
        return false;
    }
    std::string line(bytes, static_cast<size_t>(got));
    std::string::size_type close = line.rfind(')');
    if (close == std::string::npos || close + 2 >= line.size()) {
        return false;
    }
    char state = line[close + 2];
    return state == 'Z' || state == 'X';
}

int ReapEndedChildren(const std::function<void(pid_t, int)>& onReaped) {
    int reaped = 0;
    for (;;) {
        int status = 0;
        pid_t child = waitpid(-1, &status, WNOHANG);
        if (child > 0) {
            ++reaped;
            if (onReaped) {
                onReaped(child, status);
            }
            continue;
        }
        if (child < 0 && errno == EINTR) {
            continue;
        }
        return reaped;
    }
}

}  // namespace velk::engine
