#include <Pegasus/Common/System.h>

#include <cerrno>
#include <ctime>

#include <unistd.h>

PEGASUS_NAMESPACE_BEGIN

void System::sleep(Uint32 seconds) {
    struct timespec remaining = {time_t(seconds), 0};
    // Resume after signals until the full time has passed.
    while (nanosleep(&remaining, &remaining) == -1 && errno == EINTR) {
    }
}

String System::getHostName() {
    char name[256] = {0};
    if (gethostname(name, sizeof(name) - 1) != 0 || name[0] == '\0')
        return String("localhost");
    return String(name);
}

Uint32 System::getPID() {
    return Uint32(getpid());
}

PEGASUS_NAMESPACE_END
