// A serial port opened for a test: opened without becoming the controlling
// terminal and without waiting for carrier, refused as busy when another
// process holds it (a BSD lock on the node or the tty's exclusive mode), and
// put back as it was found (line settings, exclusive mode) when closed.
#pragma once

#include <termios.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "device_open.h"
#include "unique_fd.h"

namespace velk::serialmodule {

class SerialLine {
  public:
    struct Opened;
    // Opens the node at the machine path.
    static Opened Open(const std::string& machinePath);

    ~SerialLine();
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;

    int Fd() const { return fd_.Get(); }
    const termios& Original() const { return original_; }

    // Raw 8N1 at the speed, receiver on, modem lines ignored, no flow
    // control; input and output queues flushed.  False (errno set) when the
    // port refuses.
    bool SetRaw(speed_t speed);
    // Writes all of data, waiting at most timeoutMs in total; the bytes
    // written.
    size_t Write(const uint8_t* data, size_t size, int timeoutMs);
    // Reads until size bytes came or timeoutMs passed since the last byte
    // arrived; the bytes read.
    size_t Read(uint8_t* data, size_t size, int timeoutMs);
    // Bytes still waiting in the output queue, -1 when the port cannot tell.
    int OutputQueued() const;

  private:
    explicit SerialLine(velk::module::UniqueFd fd, const termios& original)
        : fd_(std::move(fd)), original_(original) {}

    velk::module::UniqueFd fd_;
    termios original_;
};

struct SerialLine::Opened {
    std::unique_ptr<SerialLine> line;
    velk::module::OpenFailure failure = velk::module::OpenFailure::kNone;
    int error = 0;
    bool notATerminal = false;  // it opened but is no tty
};

// Transmission time of bytes at a speed in bits per second (10 bits a
// character), in milliseconds, rounded up.
int TransmitMs(size_t bytes, unsigned bitsPerSecond);

}  // namespace velk::serialmodule
