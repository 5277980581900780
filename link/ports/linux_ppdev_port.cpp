#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "link/link_timeout.h"
#include "link/ports/linux_ports.h"
#include "link/ports/linux_ppdev_ioctl.h"
#include "link/ports/port_argument.h"
#include "link/trace.h"

namespace ql {
namespace {

int SystemIoctl(int fd, unsigned long request, void* argument) { return ioctl(fd, request, argument); }

PpdevIoctl activeIoctl = SystemIoctl;

int Ioctl(int fd, unsigned long request, void* argument = nullptr) { return activeIoctl(fd, request, argument); }

class PpdevPort final : public PortIo {
 public:
  PpdevPort(int fd, std::uint8_t control) : fd_(fd), control_(control) {}
  ~PpdevPort() override {
    Ioctl(fd_, PPRELEASE);  // a port already gone has nothing left to release
    close(fd_);
  }
  PpdevPort(const PpdevPort&) = delete;
  PpdevPort& operator=(const PpdevPort&) = delete;

  void PortOut(std::uint16_t port, std::uint8_t value) override {
    switch (port & 3) {
      case kDataRegister:
        Write(PPWDATA, value);
        break;
      case kControlRegister:
        control_ = value;
        Write(PPWCONTROL, control_);
        break;
      default:
        break;  // the status register is read-only
    }
  }

  std::uint8_t PortIn(std::uint16_t port) override {
    switch (port & 3) {
      case kDataRegister:
        return Read(PPRDATA);
      case kStatusRegister:
        return Read(PPRSTATUS);
      case kControlRegister:
        return control_;
      default:
        return 0xFF;
    }
  }

  // From the shadow copy: one ioctl per STROBE toggle.
  void NotPortBit(std::uint16_t port, std::uint8_t bit) override {
    const auto mask = static_cast<std::uint8_t>(1u << (bit & 7));
    if ((port & 3) == kControlRegister) {
      control_ ^= mask;
      Write(PPWCONTROL, control_);
    } else if ((port & 3) == kDataRegister) {
      Write(PPWDATA, Read(PPRDATA) ^ mask);
    }
  }

  std::uint16_t IsDriverInstalled() override { return 1; }  // claimed at open

 private:
  // A failed write marks the port lost instead of raising: it may be the
  // parking at exit, outside any copier operation. The byte layer reads the
  // status after every byte it sends, and that read raises the time-out.
  void Write(unsigned long request, std::uint8_t value) {
    unsigned char byte = value;
    if (!lost_ && Ioctl(fd_, request, &byte) != 0) lost_ = true;
  }

  // A failed read, or any read once the port is lost, is the link time-out:
  // whatever value it returned would be a guess, and 0xFF reads as "ready".
  std::uint8_t Read(unsigned long request) {
    unsigned char value = 0;
    if (lost_ || Ioctl(fd_, request, &value) != 0) {
      lost_ = true;
      if (LinkTraceOn()) TraceTimeout();
      throw LinkTimeout{};
    }
    return value;
  }

  int fd_;
  unsigned char control_;
  bool lost_ = false;  // an ioctl failed: unplugged, or the driver removed
};

}  // namespace

std::vector<std::string> PresentParallelPorts() {
  std::vector<std::string> present;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator("/dev", ignored)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("parport", 0) == 0) present.push_back(entry.path().string());
  }
  std::sort(present.begin(), present.end());
  return present;
}

std::unique_ptr<PortIo> OpenPpdevPort(const std::string& path, std::string& error) {
  const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    const int openError = errno;
    error = DeviceOpenErrorText(openError, path, PresentParallelPorts());
    return nullptr;
  }
  // Exclusive: no other driver may touch the lines mid-transfer.
  if (Ioctl(fd, PPEXCL) != 0 || Ioctl(fd, PPCLAIM) != 0) {
    const int claimError = errno;
    close(fd);
    error = DeviceClaimErrorText(claimError, path);
    return nullptr;
  }
  int forward = 0;  // data lines driven by the PC
  unsigned char control = 0;
  if (Ioctl(fd, PPDATADIR, &forward) != 0 || Ioctl(fd, PPRCONTROL, &control) != 0) {
    const int readError = errno;
    Ioctl(fd, PPRELEASE);
    close(fd);
    error = DeviceClaimErrorText(readError, path);
    return nullptr;
  }
  return std::make_unique<PpdevPort>(fd, control);
}

PpdevIoctl SetPpdevIoctl(PpdevIoctl replacement) {
  const PpdevIoctl previous = activeIoctl;
  activeIoctl = replacement ? replacement : SystemIoctl;
  return previous;
}

}  // namespace ql
