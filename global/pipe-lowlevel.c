/* FIFO creation, opening, closing and clean-up of the FIFO pipe layer. */
#include "pipe-lowlevel.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "pipe-state.h"
#include "test-common.h"
#include "tracing.h"

#define VELK_FIFO_MODE 0660

void VelkInitPipes(void) {
    /* The lists are zero-initialised chains and need no further set-up. */
}

/* A directory that others may write to lets them replace our FIFOs, unless
 * the sticky bit keeps them from removing or renaming names they do not own. */
static int DirectoryIsSafe(const char* path) {
    const char* slash = strrchr(path, '/');
    char directory[PATH_MAX];
    if (slash == NULL) {
        strcpy(directory, ".");
    } else if (slash == path) {
        strcpy(directory, "/");
    } else {
        size_t length = (size_t)(slash - path);
        if (length >= sizeof directory) {
            errno = ENAMETOOLONG;
            return 0;
        }
        memcpy(directory, path, length);
        directory[length] = '\0';
    }
    struct stat status;
    if (stat(directory, &status) != 0) {
        return 0;
    }
    if ((status.st_mode & S_IWOTH) != 0 && (status.st_mode & S_ISVTX) == 0) {
        errno = EACCES;
        return 0;
    }
    return 1;
}

/* Checks what lies at path without following a symbolic link: 1 our FIFO,
 * 0 nothing, -1 (errno set) something we must not use. */
static int ExistingFifo(const char* path) {
    struct stat status;
    if (lstat(path, &status) != 0) {
        return errno == ENOENT ? 0 : -1;
    }
    if (!S_ISFIFO(status.st_mode)) {
        errno = EEXIST;
        return -1;
    }
    if (status.st_uid != geteuid()) {
        errno = EPERM;
        return -1;
    }
    return 1;
}

/* Gives the FIFO just created its mode regardless of the process mask,
 * through a descriptor so that a name swapped meanwhile is not followed.  The
 * descriptor is a path descriptor: opening the FIFO for reading instead would
 * show a reader to a client probing for its broker. */
static int SetFifoMode(const char* path) {
    int fd = open(path, O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct stat status;
    int result = -1;
    if (fstat(fd, &status) == 0 && S_ISFIFO(status.st_mode)) {
        char viaDescriptor[64];
        snprintf(viaDescriptor, sizeof viaDescriptor, "/proc/self/fd/%d", fd);
        result = chmod(viaDescriptor, VELK_FIFO_MODE);
        struct stat named;
        if (result != 0 && errno == ENOENT && lstat(path, &named) == 0 &&
            named.st_ino == status.st_ino && named.st_dev == status.st_dev) {
            /* No /proc: the directory was found safe, so the name is ours. */
            result = chmod(path, VELK_FIFO_MODE);
        }
    } else {
        errno = EEXIST;
    }
    int saved = errno;
    close(fd);
    errno = saved;
    return result;
}

int VelkPipeMkFifo(const char* path) {
    if (path == NULL || path[0] == '\0') {
        errno = EINVAL;
        return -1;
    }
    if (!DirectoryIsSafe(path)) {
        VTRACE(VELK_TRACE_PIPE, "VelkPipeMkFifo() unsafe or missing directory for %s\n", path);
        return -1;
    }
    int existing = ExistingFifo(path);
    if (existing != 0) {
        if (existing < 0) {
            VTRACE(VELK_TRACE_PIPE, "VelkPipeMkFifo() %s holds something other than our FIFO\n",
                   path);
        }
        return existing > 0 ? 0 : -1;
    }
    if (mkfifo(path, VELK_FIFO_MODE) != 0) {
        return -1;
    }
    if (SetFifoMode(path) != 0) {
        int saved = errno;
        unlink(path);
        errno = saved;
        return -1;
    }
    return 0;
}

mode_t VelkPipeUMask(mode_t mask) {
    return umask(mask);
}

int VelkPipeUnLink(const char* path) {
    return unlink(path);
}

static VelkPipeFifoRecord* MakeFifoRecord(int fd, const char* path) {
    VelkPipeFifoRecord* fifo = calloc(1, sizeof *fifo);
    VELK_VERIFY(fifo != NULL);
    fifo->fd = fd;
    VelkSafeStrNCpy(fifo->path, path, sizeof fifo->path);
    return fifo;
}

static void Unlist(VelkPipeChain* fifos, VelkPipeFifoRecord* fifo) {
    VelkPipeChainRemove(fifos, &fifo->link);
    free(fifo);
}

/* Opens path as a FIFO only: a symbolic link or any other kind of file is
 * refused, so that a planted name cannot redirect the messages. */
static int OpenFifoOnly(const char* path, int forWriting) {
    int flags = (forWriting ? O_WRONLY : O_RDONLY) | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC;
    struct stat before;
    if (lstat(path, &before) != 0) {
        return -1;
    }
    if (!S_ISFIFO(before.st_mode)) {
        errno = ENXIO;
        return -1;
    }
    int fd = open(path, flags);
    if (fd < 0) {
        return -1;
    }
    struct stat after;
    if (fstat(fd, &after) != 0 || !S_ISFIFO(after.st_mode) || after.st_ino != before.st_ino ||
        after.st_dev != before.st_dev) {
        close(fd);
        errno = ENXIO;
        return -1;
    }
    return fd;
}

int VelkPipeOpen(const char* path, int forWriting) {
    if (path == NULL) {
        errno = EINVAL;
        return -1;
    }
    int fd = OpenFifoOnly(path, forWriting);
    if (fd < 0) {
        VTRACE(VELK_TRACE_PIPE, "VelkPipeOpen() %s: %s\n", path, strerror(errno));
        return -1;
    }
    VelkPipeLockBoth();
    /* A listing left under this number belongs to a descriptor closed
     * elsewhere; what was queued for it must not reach the new FIFO. */
    VelkPipeChain* fifos = forWriting ? &gVelkPipeWriteFifos : &gVelkPipeReadFifos;
    VelkPipeFifoRecord* stale = VelkPipeFindFifo(fifos, fd);
    if (stale != NULL) {
        Unlist(fifos, stale);
    }
    if (forWriting) {
        VelkPipeDropWriteRecords(fd);
    } else {
        VelkPipeDropReadRecords(fd, 0);
    }
    VelkPipeChainAppend(fifos, &MakeFifoRecord(fd, path)->link);
    VelkPipeUnlockBoth();
    return fd;
}

int VelkPipeClose(int fd) {
    int listed = 0;
    VelkPipeLockBoth();
    VelkPipeFifoRecord* fifo = VelkPipeFindFifo(&gVelkPipeReadFifos, fd);
    if (fifo != NULL) {
        Unlist(&gVelkPipeReadFifos, fifo);
        /* Whole messages stay deliverable; unfinished ones can never finish. */
        VelkPipeDropReadRecords(fd, 1);
        listed = 1;
    } else if ((fifo = VelkPipeFindFifo(&gVelkPipeWriteFifos, fd)) != NULL) {
        Unlist(&gVelkPipeWriteFifos, fifo);
        VelkPipeDropWriteRecords(fd);
        listed = 1;
    }
    VelkPipeUnlockBoth();
    return listed ? close(fd) : 0;
}

int VelkPipeIsListed(int fd, const char* path) {
    if (path == NULL) {
        return 0;
    }
    /* One side at a time: no need to hold both. */
    VelkPipeLockWrite();
    VelkPipeFifoRecord* fifo = VelkPipeFindFifo(&gVelkPipeWriteFifos, fd);
    int same = fifo != NULL && strcmp(fifo->path, path) == 0;
    VelkPipeUnlockWrite();
    if (fifo == NULL) {
        VelkPipeLockRead();
        fifo = VelkPipeFindFifo(&gVelkPipeReadFifos, fd);
        same = fifo != NULL && strcmp(fifo->path, path) == 0;
        VelkPipeUnlockRead();
    }
    return same;
}

/* Moves every record of a chain out, to be released without the locks. */
static VelkPipeLink* TakeAll(VelkPipeChain* chain) {
    VelkPipeLink* first = chain->first;
    chain->first = NULL;
    chain->last = NULL;
    chain->count = 0;
    return first;
}

void VelkCleanupPipes(void) {
    VelkPipeLockBoth();
    VelkPipeLink* readFifos = TakeAll(&gVelkPipeReadFifos);
    VelkPipeLink* writeFifos = TakeAll(&gVelkPipeWriteFifos);
    VelkPipeLink* readQueue = TakeAll(&gVelkPipeReadQueue);
    VelkPipeLink* writeQueue = TakeAll(&gVelkPipeWriteQueue);
    VelkPipePartialDiscardOf(-1, -1, "the pipe layer is cleaned up");
    VelkPipeUnlockBoth();

    VelkPipeLink* fifoLists[2] = {readFifos, writeFifos};
    for (int i = 0; i < 2; ++i) {
        for (VelkPipeLink* link = fifoLists[i]; link != NULL;) {
            VelkPipeLink* next = link->next;
            VelkPipeFifoRecord* fifo = (VelkPipeFifoRecord*)link;
            close(fifo->fd);
            free(fifo);
            link = next;
        }
    }
    for (VelkPipeLink* link = readQueue; link != NULL;) {
        VelkPipeLink* next = link->next;
        VelkPipeFreeReadRecord((VelkPipeReadRecord*)link);
        link = next;
    }
    for (VelkPipeLink* link = writeQueue; link != NULL;) {
        VelkPipeLink* next = link->next;
        VelkPipeFreeWriteRecord((VelkPipeWriteRecord*)link);
        link = next;
    }
}

void VelkPipeSignalHandle(void) {
    struct sigaction ignore;
    memset(&ignore, 0, sizeof ignore);
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, NULL);
}
