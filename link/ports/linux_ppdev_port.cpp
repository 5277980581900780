#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "link/ports/linux_ports.h"
#include "link/ports/port_argument.h"

namespace ql {
namespace {

class PpdevPort final : public PortIo {
 public:
  PpdevPort(int fd, std::uint8_t control) : fd_(fd), control_(control) {}
  ~PpdevPort() override {
    ioctl(fd_, PPRELEASE);
    close(fd_);
  }
  PpdevPort(const PpdevPort&) = delete;
  PpdevPort& operator=(const PpdevPort&) = delete;

  void PortOut(std::uint16_t port, std::uint8_t value) override {
    switch (port & 3) {
      case kDataRegister:
        ioctl(fd_, PPWDATA, &value);
        break;
      case kControlRegister:
        control_ = value;
        ioctl(fd_, PPWCONTROL, &control_);
        break;
      default:
        break;  // the status register is read-only
    }
  }

  std::uint8_t PortIn(std::uint16_t port) override {
    unsigned char value = 0xFF;
    switch (port & 3) {
      case kDataRegister:
        ioctl(fd_, PPRDATA, &value);
        break;
      case kStatusRegister:
        ioctl(fd_, PPRSTATUS, &value);
        break;
      case kControlRegister:
        value = control_;
        break;
      default:
        break;
    }
    return value;
  }

  // From the shadow copy: one ioctl per STROBE toggle.
  void NotPortBit(std::uint16_t port, std::uint8_t bit) override {
    const auto mask = static_cast<std::uint8_t>(1u << (bit & 7));
    if ((port & 3) == kControlRegister) {
      control_ ^= mask;
      ioctl(fd_, PPWCONTROL, &control_);
    } else if ((port & 3) == kDataRegister) {
      unsigned char value = 0;
      ioctl(fd_, PPRDATA, &value);
      value ^= mask;
      ioctl(fd_, PPWDATA, &value);
    }
  }

  std::uint16_t IsDriverInstalled() override { return 1; }  // claimed at open

 private:
  int fd_;
  unsigned char control_;
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
  if (ioctl(fd, PPEXCL) != 0 || ioctl(fd, PPCLAIM) != 0) {
    const int claimError = errno;
    close(fd);
    error = DeviceClaimErrorText(claimError, path);
    return nullptr;
  }
  int forward = 0;
  ioctl(fd, PPDATADIR, &forward);  // data lines driven by the PC
  unsigned char control = 0;
  if (ioctl(fd, PPRCONTROL, &control) != 0) {
    const int readError = errno;
    ioctl(fd, PPRELEASE);
    close(fd);
    error = DeviceClaimErrorText(readError, path);
    return nullptr;
  }
  return std::make_unique<PpdevPort>(fd, control);
}

}  // namespace ql
