#include "broker_fifo.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "pipe-lowlevel.h"

namespace velk::engine {
namespace {

// True when some process holds the FIFO at path open for reading.
bool HasReader(const std::string& path) {
    int probe = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (probe < 0) {
        return false;  // ENXIO: nobody reads it
    }
    close(probe);
    return true;
}

std::string AnotherBroker(const std::string& path) {
    return "another message broker is already reading " + path;
}

}  // namespace

std::unique_ptr<BrokerFifo> BrokerFifo::Claim(const std::string& path, std::string& error) {
    struct stat status {};
    bool existed = lstat(path.c_str(), &status) == 0;
    if (existed) {
        if (!S_ISFIFO(status.st_mode)) {
            error = path + " exists and is not a FIFO; refusing to use it";
            return nullptr;
        }
        if (HasReader(path)) {
            error = AnotherBroker(path);
            return nullptr;
        }
    }
    if (VelkPipeMkFifo(path.c_str()) != 0) {
        int reason = errno;
        error = "cannot create " + path + ": " +
                (reason == EACCES ? std::string("the directory is writable by others and lacks the "
                                                "sticky bit")
                 : reason == EEXIST ? std::string("the name holds something other than a FIFO")
                                    : std::string(std::strerror(reason)));
        return nullptr;
    }
    std::unique_ptr<BrokerFifo> fifo(new BrokerFifo());
    fifo->path_ = path;
    fifo->reader_ = PipeDescriptor::Open(path, false);
    if (!fifo->reader_.IsOpen()) {
        error = "cannot open " + path + " for reading: " + std::strerror(errno);
        if (!existed) {
            OwnedFifoName::Adopt(path).Remove();
        }
        return nullptr;
    }
    // Two brokers starting at once both find no reader; the lock decides.
    if (flock(fifo->reader_.Get(), LOCK_EX | LOCK_NB) != 0) {
        error = AnotherBroker(path);
        return nullptr;
    }
    fifo->name_ = OwnedFifoName::Adopt(path);
    fifo->keepAliveWriter_ = PipeDescriptor::Open(path, true);
    if (!fifo->keepAliveWriter_.IsOpen()) {
        error = "cannot open " + path + " for writing: " + std::strerror(errno);
        return nullptr;
    }
    return fifo;
}

}  // namespace velk::engine
