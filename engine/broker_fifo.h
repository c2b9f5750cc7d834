// The broker's own FIFO: created (or a stale one reused) in the pipe
// directory, read by exactly one broker, removed again when the broker ends.
#pragma once

#include <memory>
#include <string>

#include "pipe_descriptor.h"

namespace velk::engine {

class BrokerFifo {
  public:
    // Claims the FIFO at path for this process.  Refuses, with a one-line
    // reason in error, a path that holds anything but a FIFO (a regular file
    // or symbolic link planted there), a FIFO that another process reads
    // already, and an unsafe pipe directory.
    static std::unique_ptr<BrokerFifo> Claim(const std::string& path, std::string& error);

    int ReadDescriptor() const { return reader_.Get(); }
    const std::string& Path() const { return path_; }

  private:
    BrokerFifo() = default;

    std::string path_;
    // Declared so that the name goes last: descriptors close before removal.
    OwnedFifoName name_;
    PipeDescriptor reader_;
    // Our own writer keeps the FIFO from reporting hang-up whenever no client
    // holds it open.
    PipeDescriptor keepAliveWriter_;
};

}  // namespace velk::engine
