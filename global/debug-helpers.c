/* Developer aids: a millisecond stopwatch and a debugger window attached to
 * this process. */
#include "tracing.h"

#include <stdatomic.h>
#include <stdio.h>
#include <time.h>

#include "process-helpers.h"
#include "test-common.h"

static atomic_ulong stopwatchStart;

/* Milliseconds of a clock that does not jump with the wall clock. */
static unsigned long MonotonicMilliseconds(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (unsigned long)now.tv_sec * 1000ul + (unsigned long)now.tv_nsec / 1000000ul;
}

void VelkTimeStamp(void) {
    atomic_store(&stopwatchStart, MonotonicMilliseconds());
}

unsigned long VelkTimeDiff(void) {
    return MonotonicMilliseconds() - atomic_load(&stopwatchStart);
}

void StartGdb(const char* programName, const char* commandFile) {
    const char* name = programName != NULL ? programName : "";
    const char* commands = commandFile != NULL ? commandFile : "";
    const char* binDirectory = VelkGetBinDirectory();
    char arguments[3 * VELK_MAX_DIR];
    snprintf(arguments, sizeof arguments,
             "-T gdb_%s -e /usr/bin/gdb -c %d --symbols=%s/%s --readnow --command=%s/%s ", name,
             (int)VelkGetPid(), binDirectory, name, binDirectory, commands);
    if (VelkExec("/usr/X11R6/bin/xterm", arguments) > 0) {
        /* Give the debugger time to attach before the program goes on. */
        VelkSleep(1000);
    }
}
