#include "port_access.h"

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "sys_root.h"

namespace velk::parallelmodule {

PpdevPort::Opened PpdevPort::Open(const std::string& machinePath) {
    Opened opened;
    std::string path = velk::module::SysPath(machinePath);
    int raw;
    do {
        raw = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    } while (raw < 0 && errno == EINTR);
    if (raw < 0) {
        opened.error = errno;
        opened.failure = velk::module::ClassifyOpenError(opened.error, true);
        return opened;
    }
    velk::module::UniqueFd fd(raw);
    // An exclusive claim never waits: it fails at once while another driver
    // (the printer driver, another program) has the port.
    if (::ioctl(fd.Get(), PPEXCL) != 0 || ::ioctl(fd.Get(), PPCLAIM) != 0) {
        opened.error = errno;
        if (errno == ENOTTY || errno == EINVAL) {
            opened.notAParallelPort = true;
            opened.failure = velk::module::OpenFailure::kOther;
        } else {
            opened.failure = velk::module::ClassifyOpenError(opened.error, true);
        }
        return opened;
    }
    opened.port.reset(new PpdevPort(std::move(fd)));
    int forward = 0;
    ::ioctl(opened.port->fd_.Get(), PPDATADIR, &forward);
    ::ioctl(opened.port->fd_.Get(), PPRDATA, &opened.port->originalData_);
    ::ioctl(opened.port->fd_.Get(), PPRCONTROL, &opened.port->originalControl_);
    return opened;
}

PpdevPort::~PpdevPort() {
    ::ioctl(fd_.Get(), PPWDATA, &originalData_);
    ::ioctl(fd_.Get(), PPWCONTROL, &originalControl_);
    ::ioctl(fd_.Get(), PPRELEASE);
}

bool PpdevPort::ReadStatus(uint8_t& value) {
    return ::ioctl(fd_.Get(), PPRSTATUS, &value) == 0;
}

bool PpdevPort::WriteControl(uint8_t value) {
    return ::ioctl(fd_.Get(), PPWCONTROL, &value) == 0;
}

bool PpdevPort::WriteData(uint8_t value) {
    return ::ioctl(fd_.Get(), PPWDATA, &value) == 0;
}

bool PpdevPort::ReadData(uint8_t& value) {
    return ::ioctl(fd_.Get(), PPRDATA, &value) == 0;
}

}  // namespace velk::parallelmodule
