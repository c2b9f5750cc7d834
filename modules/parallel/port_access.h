// The registers of a parallel port as a test drives them, and the ppdev
// port that drives the real ones: the port is claimed exclusively for the
// test and its data and control registers are put back when it is released.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "device_open.h"
#include "unique_fd.h"

namespace velk::parallelmodule {

class PortAccess {
  public:
    virtual ~PortAccess() = default;
    // Each returns false (errno set) when the port refuses.
    virtual bool ReadStatus(uint8_t& value) = 0;
    virtual bool WriteControl(uint8_t value) = 0;
    virtual bool WriteData(uint8_t value) = 0;
    virtual bool ReadData(uint8_t& value) = 0;
};

class PpdevPort : public PortAccess {
  public:
    struct Opened;
    // Opens /dev/parportN (a machine path) and claims the port exclusively.
    static Opened Open(const std::string& machinePath);
    ~PpdevPort() override;
    PpdevPort(const PpdevPort&) = delete;
    PpdevPort& operator=(const PpdevPort&) = delete;

    bool ReadStatus(uint8_t& value) override;
    bool WriteControl(uint8_t value) override;
    bool WriteData(uint8_t value) override;
    bool ReadData(uint8_t& value) override;

  private:
    explicit PpdevPort(velk::module::UniqueFd fd) : fd_(std::move(fd)) {}

    velk::module::UniqueFd fd_;
    uint8_t originalData_ = 0;
    uint8_t originalControl_ = 0;
};

struct PpdevPort::Opened {
    std::unique_ptr<PpdevPort> port;
    velk::module::OpenFailure failure = velk::module::OpenFailure::kNone;
    int error = 0;
    bool notAParallelPort = false;  // it opened but answers no parallel-port request
};

}  // namespace velk::parallelmodule
