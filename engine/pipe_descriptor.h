// Owning holders for what the engine opens and creates through the pipe layer:
// a FIFO descriptor (closed through the layer on destruction) and a FIFO name
// this process created (removed on destruction while it still names our FIFO).
#pragma once

#include <sys/types.h>

#include <string>

namespace velk::engine {

class PipeDescriptor {
  public:
    PipeDescriptor() = default;
    // Opens path through the pipe layer (non-blocking, close-on-exec, FIFOs
    // only); an empty holder when that fails.
    static PipeDescriptor Open(const std::string& path, bool forWriting);

    PipeDescriptor(PipeDescriptor&& other) noexcept;
    PipeDescriptor& operator=(PipeDescriptor&& other) noexcept;
    PipeDescriptor(const PipeDescriptor&) = delete;
    PipeDescriptor& operator=(const PipeDescriptor&) = delete;
    ~PipeDescriptor();

    bool IsOpen() const { return fd_ >= 0; }
    int Get() const { return fd_; }
    const std::string& Path() const { return path_; }
    // False once the pipe layer closed the descriptor itself (its reader has
    // gone); the number may then belong to another FIFO opened since.
    bool StillListed() const;
    // True once no process holds the FIFO open for reading any more, or the
    // layer has closed the descriptor: whoever read it has gone.
    bool ReaderGone() const;
    void Close();

  private:
    PipeDescriptor(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

    int fd_ = -1;
    std::string path_;
};

class OwnedFifoName {
  public:
    OwnedFifoName() = default;
    // Takes over the FIFO now at path: it is removed on destruction unless
    // the name has come to denote another file meanwhile.
    static OwnedFifoName Adopt(const std::string& path);

    OwnedFifoName(OwnedFifoName&& other) noexcept;
    OwnedFifoName& operator=(OwnedFifoName&& other) noexcept;
    OwnedFifoName(const OwnedFifoName&) = delete;
    OwnedFifoName& operator=(const OwnedFifoName&) = delete;
    ~OwnedFifoName();

    bool Owns() const { return !path_.empty(); }
    void Remove();

  private:
    std::string path_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

}  // namespace velk::engine
